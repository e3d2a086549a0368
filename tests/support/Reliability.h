#pragma once
// Many downloads from telvor-sim over a paced pty whose line is noisy and now and then goes
// dead: every failed attempt is followed by another that appends to what the target holds,
// until the file is whole. The reliability benchmark and its short test both run it.
#include "files/Transferprotocol.h"
#include "links/Portio.h"
#include "links/Serialconnection.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace telvor::testing {

struct TReliabilityOptions {
    std::filesystem::path dir; // targets and settings go here
    int files = 100;
    std::vector<std::size_t> sizes; // when given, these files instead of random ones
    int bigFiles = 3;               // of 2 MB up to `bigMax`
    std::size_t bigMax = 3 << 20;
    std::size_t smallMax = 96 << 10;
    std::uint64_t seed = 1;
    unsigned baud = 921600;
    double corrupt = 0.01;   // share of the receiver's bytes damaged
    int burst = 64;          // in runs of this many bytes
    double dropChance = 0.3; // of an attempt having its line go dead at a random moment
    int attemptsPerFile = 60;
    std::function<void(const std::string&)> log;
    std::function<void(const std::string&)> trace; // every status text
};

struct TReliabilityResult {
    // Resumes: attempts that appended to a partial target.
    int files = 0, identical = 0, attempts = 0, resumes = 0, naks = 0, crcErrors = 0, timeouts = 0,
        lineDrops = 0;
    std::int64_t bytes = 0;
    double seconds = 0;
    std::vector<std::string> failures; // files that did not end byte-identical, and why
    bool allIdentical() const { return files > 0 && identical == files && failures.empty(); }
};

namespace reliability {

// The serial link, counting the NAKs the transfer sends.
class TCountingLink : public TSerialConnection {
public:
    explicit TCountingLink(const std::string& port) : TSerialConnection(port, false) {}
    int Write(const std::uint8_t* bytes, int count) override {
        if (count == 1 && bytes[0] == 0x15)
            ++naks;
        return TSerialConnection::Write(bytes, count);
    }
    std::atomic<int> naks{0};
};

// Plays the user: presses Stop once the transfer has waited in vain twice without a good block
// between, as it would for ever once the line went dead under it.
class TUserView : public TTransferView {
public:
    void setProgress(int) override {}
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    void bytesDone(std::int64_t, std::int64_t) override { waitsThisAttempt = 0; }
    void setStatus(const std::string& text) override {
        last = text;
        if (trace)
            trace(text);
        if (text.starts_with("Last error: CRC error"))
            ++crcErrors;
        if (text == "Last error: Timeout" || text == "Last warning: Waiting for the 1st block" ||
            text.starts_with("COM error: ")) {
            ++timeouts;
            if (++waitsThisAttempt >= 2 && transfer)
                transfer->RequestAbort();
        }
    }
    TTransferProtocol* transfer = nullptr;
    std::function<void(const std::string&)> trace;
    std::string last;
    int crcErrors = 0, timeouts = 0, waitsThisAttempt = 0;
};

inline std::vector<std::size_t> sizes(const TReliabilityOptions& o, std::mt19937_64& random) {
    // The edges first: empty, one byte, around and on whole blocks of every length.
    std::vector<std::size_t> s = {0, 1, 511, 512, 513, 1024, 2048, 3 * 1024, 4 * 2048, 1030};
    s.resize(std::min<std::size_t>(s.size(), static_cast<std::size_t>(o.files)));
    std::uniform_int_distribution<std::size_t> big(2 << 20,
                                                   std::max<std::size_t>(2 << 20, o.bigMax));
    std::uniform_int_distribution<std::size_t> small(0, o.smallMax);
    std::uniform_int_distribution<int> blocks(1, 64);
    for (int i = 0; static_cast<int>(s.size()) < o.files; ++i) {
        if (i < o.bigFiles)
            s.push_back(big(random));
        else if (i % 4 == 0)
            s.push_back(static_cast<std::size_t>(blocks(random)) * (512u << (i % 3)));
        else
            s.push_back(small(random));
    }
    std::shuffle(s.begin(), s.end(), random);
    return s;
}

inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace reliability

inline TReliabilityResult runReliability(const TReliabilityOptions& o) {
    using namespace reliability;
    TReliabilityResult r;
    std::mt19937_64 random(o.seed);
    const std::vector<std::size_t> fileSizes = o.sizes.empty() ? sizes(o, random) : o.sizes;

    telvorsim::TSimOptions so;
    so.baud = o.baud;
    so.epochWallMs = 3600000; // no messages between the transfers
    so.seed = o.seed;
    for (std::size_t i = 0; i < fileSizes.size(); ++i)
        so.files.push_back({"rel" + std::to_string(i), fileSizes[i], o.seed * 1000 + i});
    telvorsim::TSimReceiver sim(so);
    const std::string slave = sim.startPty();
    if (slave.empty()) {
        r.failures.push_back("no simulator: " + sim.lastError());
        return r;
    }
    TPlainBridge bridge;
    setUiBridge(&bridge);
    SetLatencyAllowance(0);
    TProfile profile((o.dir / "telvor.ini").string());
    profile.write(keys::CommBaud, std::to_string(o.baud));
    auto* link = new TCountingLink(slave);
    CurrentConnection = link;
    link->SetSpeed(o.baud);
    link->ResumeThread();
    SetInputMode(TInputMode::Idle);

    TUserView view;
    TTransferProtocol transfer(view, profile);
    view.transfer = &transfer;
    view.trace = o.trace;
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> blockIndex(0, 2), downMs(50, 1500);
    const auto started = std::chrono::steady_clock::now();
    auto stamp = [&] {
        char text[32];
        std::snprintf(
            text, sizeof text, "%8.3f s  ",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        return std::string(text);
    };

    for (std::size_t i = 0; i < fileSizes.size(); ++i) {
        const std::string name = "rel" + std::to_string(i);
        const std::filesystem::path target = o.dir / (name + ".vxr");
        bool done = false;
        int attempts = 0;
        while (!done && attempts < o.attemptsPerFile) {
            telvorsim::TFaults faults;
            faults.corrupt = o.corrupt;
            faults.corruptBurst = o.burst;
            std::error_code ec;
            const auto have =
                static_cast<std::int64_t>(attempts ? std::filesystem::file_size(target, ec) : 0);
            // A big file always loses its line once, so a long transfer is resumed midway.
            const bool big = fileSizes[i] >= (1u << 20) && attempts == 0;
            if (unit(random) < o.dropChance || big) {
                // Anywhere from the first command to just past the last block.
                const auto left = static_cast<double>(fileSizes[i]) - have;
                faults.lineDownAfterBytes =
                    static_cast<std::int64_t>(unit(random) * (left * 1.02 + 300));
                faults.lineDownMs = downMs(random);
                ++r.lineDrops;
            }
            sim.setFaults(faults);
            transfer.SetBlockSizeIndex(blockIndex(random));
            view.waitsThisAttempt = 0;
            if (have > 0)
                ++r.resumes;
            ++attempts;
            FileAccess access(target.string(), false, true, attempts > 1, nullptr);
            if (!access.isOpen()) {
                r.failures.push_back(name + ": " + access.errorText);
                break;
            }
            done = transfer.Download(access, name, true);
            if (o.log && !done)
                o.log(stamp() + name + " attempt " + std::to_string(attempts) + ": " + view.last);
        }
        r.attempts += attempts;
        ++r.files;
        const std::string got = readAll(target);
        const auto original = sim.file(name);
        r.bytes += static_cast<std::int64_t>(got.size());
        if (!done)
            r.failures.push_back(name + ": not done after " + std::to_string(attempts) +
                                 " attempts, " + view.last);
        else if (!original || got != original->data)
            r.failures.push_back(name + ": differs from the receiver's file (" +
                                 std::to_string(got.size()) + " of " +
                                 std::to_string(fileSizes[i]) + " bytes)");
        else
            ++r.identical;
        if (o.log)
            o.log(stamp() + name + " " + std::to_string(fileSizes[i]) + " bytes, " +
                  std::to_string(attempts) + " attempt(s)");
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    r.naks = link->naks.load();
    r.crcErrors = view.crcErrors;
    r.timeouts = view.timeouts;
    CloseReceiverConnection();
    sim.stop();
    setUiBridge(nullptr);
    return r;
}

} // namespace telvor::testing
