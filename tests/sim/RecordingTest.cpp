// The simulated receiver's recording into its current log file, its event records and the
// measurement intervals the recording interval wizard reads and sets.
#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"
#include "sim/Receiver.h"
#include "support/Simclient.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace telvorsim;
using simtest::TClient;

namespace {

std::string reply(const char* id, const std::string& body) {
    char head[8];
    std::snprintf(head, sizeof head, "%s%03X", id, static_cast<unsigned>(body.size()));
    return head + body;
}
std::string re(const std::string& value) {
    return reply("RE", "%%" + value + "\n");
}
std::string er(const std::string& text) {
    return reply("ER", text + "\n");
}

TSimOptions fastEpochs() {
    TSimOptions o;
    o.epochWallMs = 20;
    return o;
}

std::size_t sizeOf(const TSimReceiver& sim, const std::string& name) {
    auto f = sim.file(name);
    return f ? f->data.size() : 0;
}

TEST(SimRecording, CurrentFileGrowsWhileRecordingAndStopsGrowingAfterDm) {
    TSimReceiver sim(fastEpochs());
    TClient c(sim.startSocketpair());
    ASSERT_GE(c.fd(), 0);
    EXPECT_EQ(c.ask("%%print,/cur/log"), re(""));
    EXPECT_EQ(c.ask("%%print,/cur/log&size"), er("No log file"));
    // Nothing created yet: nothing to record into.
    EXPECT_EQ(c.ask("%%em,/cur/log,/msg/def:0.05"), er("No log file"));

    EXPECT_EQ(c.ask("%%create,\"/log/day one\""), re(""));
    EXPECT_EQ(c.ask("%%em,/cur/log,/msg/def:0.05"), re(""));
    EXPECT_EQ(c.ask("%%print,/cur/log"), re("/log/day one"));
    ASSERT_TRUE(c.waitFor([&] { return sizeOf(sim, "day one") > 2000; }, 5000));
    // The file holds whole, checked messages and nothing reached the port. The splitter skips
    // the raw measurements ("rM": it takes no lower-case ids), and nothing else.
    const auto file = sim.file("day one");
    ASSERT_TRUE(file);
    const std::string& data = file->data;
    auto recorded = simtest::split(data);
    EXPECT_GT(recorded.messages.size(), 10u);
    std::size_t raw = 0;
    for (std::size_t at = data.find("rM"); at != std::string::npos; at = data.find("rM", at)) {
        // The header test refuses lower-case ids: length and CRC-16 by hand.
        std::size_t length = at + 5 <= data.size()
                                 ? std::strtoul(data.substr(at + 2, 3).c_str(), nullptr, 16) + 5
                                 : 0;
        std::uint16_t crc = length > 7 && at + length <= data.size()
                                ? telvor::crc16(0, data.data() + at, length - 2)
                                : 1;
        if (length <= 7 || at + length > data.size() ||
            static_cast<unsigned char>(data[at + length - 2]) != (crc & 0xFF) ||
            static_cast<unsigned char>(data[at + length - 1]) != (crc >> 8)) {
            at += 2;
            continue;
        }
        raw += length;
        at += length;
    }
    EXPECT_GT(raw, 0u);
    // Up to four bytes at the end of the file stay pending in the splitter, never reported.
    EXPECT_LE(recorded.garbage, raw);
    EXPECT_GE(recorded.garbage + 4, raw);
    EXPECT_EQ(c.got.count("PG"), 0u);

    EXPECT_EQ(c.ask("%%dm,/cur/log"), re(""));
    const std::size_t stopped = sizeOf(sim, "day one");
    c.drain(200);
    EXPECT_EQ(sizeOf(sim, "day one"), stopped);
    EXPECT_EQ(c.ask("%%print,/cur/log"), re(""));
    EXPECT_EQ(c.ask("%%print,\"/log/day one&size\""), re(std::to_string(stopped)));
}

TEST(SimRecording, RemovingTheCurrentFileEndsRecording) {
    TSimReceiver sim(fastEpochs());
    TClient c(sim.startSocketpair());
    ASSERT_EQ(c.ask("%%create,\"/log/a\""), re(""));
    ASSERT_EQ(c.ask("%%em,/cur/log,/msg/def:{0.05}"), re(""));
    // A file created meanwhile does not take over the recording.
    ASSERT_EQ(c.ask("%%create,\"/log/b\""), re(""));
    EXPECT_EQ(c.ask("%%print,/cur/log"), re("/log/a"));
    EXPECT_EQ(c.ask("%%remove,\"/log/a\""), re(""));
    EXPECT_EQ(c.ask("%%print,/cur/log"), re(""));
    EXPECT_EQ(c.ask("%%em,/cur/log,/msg/def:1"), er("No log file"));
}

TEST(SimRecording, JoinedEventRecordsCarryTheirOwnChecksums) {
    TSimReceiver sim(fastEpochs());
    TClient c(sim.startSocketpair());
    auto record = [](const std::string& text) {
        std::string r = text + "@";
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", telvor::rotatingChecksum(r.data(), r.size()));
        return r + hex;
    };
    const std::size_t from = c.got.messages.size();
    ASSERT_TRUE(c.write(record("%%event,\"_SIT=North\"") + "&&" + record("%%event,\"_ANH=1.5S\"") +
                        "\r\n"));
    ASSERT_TRUE(c.waitFor([&] { return c.got.count("RE", from) == 2; }, 2000));
    EXPECT_EQ(c.got.count("ER", from), 0u);

    std::string damaged = record("%%event,\"_DYM=STATIC\"");
    damaged.back() = damaged.back() == '0' ? '1' : '0';
    const std::size_t before = c.got.messages.size();
    ASSERT_TRUE(c.write(damaged + "\r\n"));
    EXPECT_EQ(c.nextReply(before, 2000), er("Checksum error"));
    EXPECT_EQ(c.ask("%%event,_SIT=x"), er("Invalid event"));
}

TEST(SimRecording, CurrentMeasurementIntervalsFollowTheirSettings) {
    TSimReceiver sim(fastEpochs());
    TClient c(sim.startSocketpair());
    EXPECT_EQ(c.ask("%%print,/par/raw/curmsint"), re("1000"));
    EXPECT_EQ(c.ask("%%set,/par/raw/msint,200"), re(""));
    EXPECT_EQ(c.ask("%%print,/par/raw/curmsint"), re("200"));
    EXPECT_EQ(c.ask("%%print,/par/pos/curmsint"), re("1000"));
    EXPECT_EQ(c.ask("%%set,/par/pos/curmsint,200").value().substr(0, 2), "ER");
    EXPECT_EQ(c.ask("%%set,/par/pos/msint,5").value().substr(0, 2), "ER");
}

} // namespace
