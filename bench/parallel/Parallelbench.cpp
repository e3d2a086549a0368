// Download throughput through the simulated ECP port (blocks over the parallel link's raw mode,
// and download via print) against the same file through a socket pair, with telvor-sim
// unpaced behind both. Prints bytes a second and the ratio to the socket pair; asserts nothing.
#include "files/Transferprotocol.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Ecpbus.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace telvor;

namespace {

constexpr std::size_t kFileSize = 256 * 1024;

// A link on one end of a socket pair: the fastest byte channel a receiver can sit behind.
class TSocketLink : public TReceiverConnection {
public:
    explicit TSocketLink(int fd) : TReceiverConnection(kLinkEthernet), fd_(fd) {}
    ~TSocketLink() override {
        StopThread();
        ::close(fd_);
    }
    int Read(std::uint8_t* buffer, int count) override {
        const ssize_t n = ::recv(fd_, buffer, std::size_t(count), MSG_DONTWAIT);
        return n > 0 ? int(n) : 0;
    }
    int Write(const std::uint8_t* bytes, int count) override {
        const ssize_t n = ::send(fd_, bytes, std::size_t(count), MSG_NOSIGNAL);
        return n > 0 ? int(n) : 0;
    }
    void WaitEvent(std::uint32_t& word) override {
        word = 0;
        pollfd fds[2] = {{fd_, POLLIN, 0}, {WakeFd(), POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents) {
            ResetWake();
            return;
        }
        word = kEventData;
    }

private:
    int fd_;
};

class TQuiet : public TTransferView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { status = text; }
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    std::string status;
};

telvorsim::TSimOptions options() {
    telvorsim::TSimOptions o;
    o.epochWallMs = 600000;
    o.files = {{"bench", kFileSize, 9}};
    return o;
}

// Bytes a second of one download over the current link; 0 when it failed.
double download(const std::filesystem::path& dir, int blockIndex, bool viaPrint) {
    TProfile profile((dir / "telvor.ini").string());
    profile.write(keys::CommBaud, "921600");
    TQuiet view;
    TTransferProtocol transfer(view, profile);
    transfer.SetBlockSizeIndex(blockIndex);
    transfer.SetViaPrint(viaPrint);
    const std::string target = (dir / "bench.vxr").string();
    std::filesystem::remove(target);
    const auto start = std::chrono::steady_clock::now();
    bool ok;
    {
        FileAccess access(target, true, true, false, nullptr);
        ok = transfer.Download(access, "bench", true);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok || std::filesystem::file_size(target) != kFileSize) {
        std::printf("  download failed: %s\n", view.status.c_str());
        return 0;
    }
    return double(kFileSize) / seconds;
}

} // namespace

int main() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("telvor-bench-lpt-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    SetLatencyAllowance(0);
    std::printf("%zu-byte file, telvor-sim unpaced (whole download: commands, blocks, ends)\n",
                kFileSize);
    for (int index = 0; index < 3; ++index) {
        const int length = 512 << index;
        double socketRate = 0;
        {
            telvorsim::TSimReceiver sim(options());
            auto* link = new TSocketLink(sim.startSocketpair());
            CurrentConnection = link;
            link->ResumeThread();
            SetInputMode(TInputMode::Idle);
            socketRate = download(dir, index, false);
            CloseReceiverConnection();
        }
        double blockRate = 0, printRate = 0;
        {
            telvor::testing::TSimParallelBus bus(options());
            if (CreateReceiverConnection("LPT1", {}).empty()) {
                CurrentConnection->SetEventMask(kEventData | kEventError);
                SetInputMode(TInputMode::Idle);
                blockRate = download(dir, index, false);
                if (index == 0)
                    printRate = download(dir, index, true);
            }
            CloseReceiverConnection();
        }
        std::printf("%4d-byte blocks: socket pair %9.0f B/s  ECP port %9.0f B/s  ratio %.3f\n",
                    length, socketRate, blockRate, socketRate > 0 ? blockRate / socketRate : 0);
        if (printRate > 0)
            std::printf("      via print: ECP port %9.0f B/s  ratio %.3f to blocks of 512\n",
                        printRate, socketRate > 0 ? printRate / socketRate : 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
