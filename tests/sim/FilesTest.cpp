// The simulated receiver's file memory and its side of the block transfer, driven byte by byte
// over a socket pair.
#include "protocol/Crc16.h"
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Simclient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

using namespace telvorsim;
using simtest::TClient;
using telvor::testing::eventually;

namespace {

// 2020-01-01 00:00:00 UTC; the receiver counts file times from 1988-01-01.
constexpr std::int64_t kStartMs = 1577836800000;
constexpr std::uint32_t kStartFileTime = 1577836800 - 567993600;

TSimOptions withFiles(std::vector<TSeedFile> files) {
    TSimOptions o;
    o.startMs = kStartMs;
    o.epochWallMs = 600000; // no epochs in the way
    o.files = std::move(files);
    return o;
}

// A reply as framed on the wire: id, three hexadecimal digits of the body's length, body.
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

struct TBlock {
    std::uint8_t kind = 0;
    std::uint16_t number = 0;
    std::string data;
    std::uint16_t crc = 0;
    std::uint16_t computed(std::uint16_t running) const {
        std::string head{static_cast<char>(kind), static_cast<char>(number & 0xFF),
                         static_cast<char>(number >> 8)};
        return telvor::crc16(telvor::crc16(running, head.data(), 3), data.data(), data.size());
    }
};

// Reads the raw blocks that follow the reply to "get".
class TBlockReader {
public:
    TBlockReader(TClient& c, std::size_t length) : c_(c), length_(length) {}
    bool start(const std::string& command) {
        auto r = c_.ask(command);
        if (!r || r->compare(0, 2, "RE") != 0)
            return false;
        at_ = c_.raw.find(*r) + r->size();
        return true;
    }
    // Sends a control byte and reads the block it brings, if one comes within `ms`.
    std::optional<TBlock> answer(std::uint8_t control, int ms = 1000) {
        c_.write(std::string(1, static_cast<char>(control)));
        std::size_t need = at_ + length_ + 6;
        if (!c_.waitFor([&] { return c_.raw.size() >= need; }, ms))
            return std::nullopt;
        const std::string w = c_.raw.substr(at_, length_ + 6);
        at_ = need;
        TBlock b;
        b.kind = static_cast<std::uint8_t>(w[0]);
        b.number = static_cast<std::uint16_t>(static_cast<std::uint8_t>(w[1]) |
                                              static_cast<std::uint8_t>(w[2]) << 8);
        b.data = w.substr(3, length_);
        b.crc = static_cast<std::uint16_t>(static_cast<std::uint8_t>(w[3 + length_]) |
                                           static_cast<std::uint8_t>(w[4 + length_]) << 8);
        return b;
    }
    std::string rest() const { return c_.raw.substr(at_); }

private:
    TClient& c_;
    std::size_t length_;
    std::size_t at_ = 0;
};

} // namespace

TEST(SimFiles, ListAndMemoryFollowTheFiles) {
    TSimReceiver sim(withFiles({{"alpha", 5000, 1}, {"b c", 10, 2}}));
    TClient c(sim.startSocketpair());
    ASSERT_GE(c.fd(), 0);
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/files"), re("2"));
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/size"), re("33030144"));
    // Files take whole 2048-byte blocks: 3 + 1.
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/free"), re("33021952"));
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/block_size"), re("2048"));

    std::size_t from = c.got.messages.size();
    ASSERT_TRUE(c.command("%%print,/log/&[name,size,time]"));
    ASSERT_TRUE(c.waitFor([&] { return c.got.count("RE", from) == 2; }, 2000));
    EXPECT_EQ(c.got.messages[from],
              re("{{alpha,5000," + std::to_string(kStartFileTime - 7200) + "},"));
    EXPECT_EQ(c.got.messages[from + 1],
              re("{b c,10," + std::to_string(kStartFileTime - 3600) + "}}"));
    EXPECT_EQ(c.ask("%%print,\"/log/b c&size\""), re("10"));

    EXPECT_EQ(c.ask("%%create,\"/log/new one\""), re(""));
    EXPECT_EQ(c.ask("%%create,\"/log/new one\""), er("File exists"));
    EXPECT_EQ(c.ask("%%create,\"/log/x,y\""), er("Invalid file name"));
    EXPECT_EQ(c.ask("%%remove,\"/log/alpha\""), re(""));
    EXPECT_EQ(c.ask("%%remove,\"/log/alpha\""), er("File not found"));
    EXPECT_EQ(sim.fileNames(), (std::vector<std::string>{"b c", "new one"}));
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/files"), re("2"));
    EXPECT_EQ(c.ask("%%print,\"/log/alpha&size\""), er("File not found"));
}

TEST(SimFiles, BlocksFromAnOffsetWithRunningCrcAndFinalCount) {
    TSimReceiver sim(withFiles({{"f", 1500, 7}}));
    TClient c(sim.startSocketpair());
    const std::string file = sim.file("f")->data;
    TBlockReader r(c, 512);
    ASSERT_TRUE(r.start("%%get,\"/log/f\":{300},100"));
    std::uint16_t running = 0;
    std::string got;
    for (std::uint16_t n = 0; n < 2; ++n) {
        auto b = r.answer(n == 0 ? 0x15 : 0x06);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->kind, 0x02);
        EXPECT_EQ(b->number, n);
        ASSERT_EQ(b->crc, b->computed(running)) << "block " << n;
        running = b->crc;
        got += b->data;
    }
    auto last = r.answer(0x06);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->kind, 0x04);
    EXPECT_EQ(last->number, 1400 - 1024);
    EXPECT_EQ(last->crc, last->computed(running));
    got += last->data.substr(0, last->number);
    EXPECT_EQ(got, file.substr(100));
    // The final ACK ends the transfer with a reply; commands work again.
    c.write("\x06");
    EXPECT_TRUE(c.nextReply(c.got.messages.size(), 1000));
    EXPECT_EQ(c.ask("%%print,/par/dev/blk/a/files"), re("1"));
}

TEST(SimFiles, NakResendsCancelEndsAndLongFormSetsLength) {
    TSimReceiver sim(withFiles({{"f", 5000, 3}}));
    TClient c(sim.startSocketpair());
    TBlockReader r(c, 1024);
    ASSERT_TRUE(r.start("%%get,\"/log/f\":{300,1024},0"));
    auto first = r.answer(0x15);
    auto again = r.answer(0x15);
    ASSERT_TRUE(first && again);
    EXPECT_EQ(first->data, again->data);
    EXPECT_EQ(first->crc, again->crc);
    c.write("#");
    // A late NAK after the cancel is not the start of a line.
    c.write("\x15");
    EXPECT_EQ(c.ask("%%"), re(""));
    EXPECT_EQ(c.ask("%%get,\"/log/f\":{300,9000},0"), er("Invalid block size"));
    EXPECT_EQ(c.ask("%%get,\"/log/f\":{300},5001"), er("Invalid offset"));
}

TEST(SimFiles, MissingFileGetsAnErrorBlock) {
    TSimReceiver sim(withFiles({}));
    TClient c(sim.startSocketpair());
    TBlockReader r(c, 512);
    ASSERT_TRUE(r.start("%%get,\"/log/none\":{300},0"));
    auto b = r.answer(0x15);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->kind, 0x04);
    EXPECT_EQ(b->number, 0xFFFF);
    EXPECT_EQ(std::string(b->data.c_str()), "File not found");
}

TEST(SimFiles, TransferFaultsStrikeTheFirstSendingOnly) {
    TSimOptions o = withFiles({{"f", 4000, 5}});
    o.faults.transfer.damageBlock = 1;
    o.faults.transfer.jumpBlock = 2;
    o.faults.transfer.loseBlock = 3;
    o.faults.transfer.repeatBlock = 4;
    o.faults.transfer.silentNaks = 1;
    TSimReceiver sim(o);
    TClient c(sim.startSocketpair());
    TBlockReader r(c, 512);
    ASSERT_TRUE(r.start("%%get,\"/log/f\":{300},0"));
    EXPECT_FALSE(r.answer(0x15, 300)); // the first request goes unanswered
    auto b0 = r.answer(0x15);
    ASSERT_TRUE(b0);
    EXPECT_EQ(b0->crc, b0->computed(0));
    auto damaged = r.answer(0x06);
    ASSERT_TRUE(damaged);
    EXPECT_NE(damaged->crc, damaged->computed(b0->crc));
    auto b1 = r.answer(0x15);
    ASSERT_TRUE(b1);
    EXPECT_EQ(b1->crc, b1->computed(b0->crc));
    auto jumped = r.answer(0x06);
    ASSERT_TRUE(jumped);
    EXPECT_EQ(jumped->number, 3);
    auto b2 = r.answer(0x15);
    ASSERT_TRUE(b2);
    EXPECT_EQ(b2->number, 2);
    EXPECT_FALSE(r.answer(0x06, 300)); // block 3 is lost
    auto b3 = r.answer(0x15);
    ASSERT_TRUE(b3);
    EXPECT_EQ(b3->number, 3);
    auto b4 = r.answer(0x06);
    ASSERT_TRUE(b4);
    auto repeated = r.answer(0x06);
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->number, 4);
    EXPECT_EQ(repeated->data, b4->data);
    auto b5 = r.answer(0x15);
    ASSERT_TRUE(b5);
    EXPECT_EQ(b5->number, 5);
    EXPECT_EQ(b5->crc, b5->computed(b4->crc));
}

TEST(SimFiles, CrcRestartedPerBlockAndErrorBlockOnDemand) {
    TSimOptions o = withFiles({{"f", 2000, 5}});
    o.faults.transfer.crcPerBlock = true;
    o.faults.transfer.errorBlock = 2;
    o.faults.transfer.errorText = "Flash read failed";
    TSimReceiver sim(o);
    TClient c(sim.startSocketpair());
    TBlockReader r(c, 512);
    ASSERT_TRUE(r.start("%%get,\"/log/f\":{300},0"));
    auto b0 = r.answer(0x15);
    auto b1 = r.answer(0x06);
    ASSERT_TRUE(b0 && b1);
    EXPECT_EQ(b1->crc, b1->computed(0));
    EXPECT_NE(b1->crc, b1->computed(b0->crc));
    auto e = r.answer(0x06);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number, 0xFFFF);
    EXPECT_EQ(std::string(e->data.c_str()), "Flash read failed");
}

TEST(SimFiles, APeerThatGoesAwayMidTransferLeavesTheReceiverAnswering) {
    TSimReceiver sim(withFiles({{"f", 20000, 5}}));
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    auto open = [&] {
        int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ::tcsetattr(fd, TCSANOW, &t);
        return fd;
    };
    {
        TClient c(open());
        TBlockReader r(c, 512);
        ASSERT_TRUE(r.start("%%get,\"/log/f\":{300},0"));
        ASSERT_TRUE(r.answer(0x15));
    } // closed in the middle of the transfer
    ASSERT_TRUE(eventually([&] { return !sim.peerConnected(); }, 3000));
    TClient again(open());
    EXPECT_EQ(again.ask("%%print,/par/dev/blk/a/files"), re("1"));
}
