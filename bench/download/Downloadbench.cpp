// Downloads from telvor-sim over a pty paced at 115200 and 460800 baud with 512, 1024 and
// 2048-byte blocks: the throughput as a share of what the line can carry, L / (L + 6) of
// baud / 10 bytes a second, and the turnaround from the read that completed a block to the
// acknowledgement written. Prints figures only.
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
#include <mutex>
#include <unistd.h>
#include <vector>

using namespace telvor;

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The serial link, with the time of the last read and of each acknowledgement.
class TTimedLink : public TSerialConnection {
public:
    explicit TTimedLink(const std::string& port) : TSerialConnection(port, false) {}
    int Read(std::uint8_t* buffer, int count) override {
        int n = TSerialConnection::Read(buffer, count);
        if (n > 0)
            lastRead_.store(nowNs());
        return n;
    }
    int Write(const std::uint8_t* bytes, int count) override {
        int n = TSerialConnection::Write(bytes, count);
        if (count == 1 && bytes[0] == 0x06 && lastRead_.load() != 0) {
            std::lock_guard lock(mu_);
            turnaroundUs.push_back(double(nowNs() - lastRead_.load()) / 1000);
        }
        return n;
    }
    std::mutex mu_;
    std::vector<double> turnaroundUs;

private:
    std::atomic<std::int64_t> lastRead_{0};
};

class TQuiet : public TTransferView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string&) override {}
    void showBlocks(int) override {}
    void showRetries(int count) override { retries = count; }
    void enableStop(bool) override {}
    void bytesDone(std::int64_t done, std::int64_t) override {
        if (firstNs == 0) {
            firstNs = nowNs();
            firstBytes = done;
        }
        lastNs = nowNs();
        lastBytes = done;
    }
    std::int64_t firstNs = 0, lastNs = 0, firstBytes = 0, lastBytes = 0;
    int retries = 0;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

void run(unsigned baud, int index, const std::filesystem::path& dir) {
    const int length = 512 << index;
    const std::size_t size = baud / 10 * 3; // about three seconds of line time
    telvorsim::TSimOptions o;
    o.baud = baud;
    o.epochWallMs = 600000;
    o.files = {{"bench", size, 9}};
    telvorsim::TSimReceiver sim(o);
    const std::string slave = sim.startPty();
    TProfile profile((dir / "telvor.ini").string());
    profile.write(keys::CommBaud, std::to_string(baud));
    auto* link = new TTimedLink(slave);
    CurrentConnection = link;
    link->SetSpeed(baud);
    link->ResumeThread();
    SetInputMode(TInputMode::Idle);

    TQuiet view;
    TTransferProtocol transfer(view, profile);
    transfer.SetBlockSizeIndex(index);
    const std::string target = (dir / "bench.vxr").string();
    std::filesystem::remove(target);
    bool ok;
    {
        FileAccess access(target, true, true, false, nullptr);
        ok = transfer.Download(access, "bench", true);
    }
    const double seconds = double(view.lastNs - view.firstNs) / 1e9;
    const double rate = seconds > 0 ? double(view.lastBytes - view.firstBytes) / seconds : 0;
    const double limit = double(length) / (length + 6) * baud / 10;
    std::vector<double> turn;
    {
        std::lock_guard lock(link->mu_);
        turn = link->turnaroundUs;
    }
    std::printf("%7u baud  %4d-byte blocks  %8.0f B/s of %8.0f  %5.1f%%  turnaround p50 %6.1f us  "
                "p99 %7.1f us  (%zu blocks, %d retries%s)\n",
                baud, length, rate, limit, 100 * rate / limit, percentile(turn, 0.5),
                percentile(turn, 0.99), turn.size(), transfer.retryCount, ok ? "" : ", FAILED");
    std::fflush(stdout);
    CloseReceiverConnection();
    sim.stop();
}

} // namespace

int main() {
    TPlainBridge bridge;
    setUiBridge(&bridge);
    char pattern[] = "/tmp/telvor-bench-download-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::filesystem::path dir = pattern;
    for (unsigned baud : {115200u, 460800u})
        for (int index = 0; index < 3; ++index)
            run(baud, index, dir);
    setUiBridge(nullptr);
    std::filesystem::remove_all(dir);
    return 0;
}
