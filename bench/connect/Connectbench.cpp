// Time from Connect to monitoring against telvor-sim at the configured speed, over a pty and
// over TCP (a receiver on Ethernet with its login). Target: under 2 s. Prints figures only.
#include "app/Session.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <vector>

using namespace telvor;
namespace fs = std::filesystem;

namespace {

class TQuietView : public TSessionView {
public:
    void setStatusLine(const std::string&) override {}
    void setStatusPanel(const std::string&) override {}
    void setTitle(const std::string&, const std::string&) override {}
    void showSearch(bool) override {}
    void setProgress(int, int) override {}
    void enableMainMenus(bool) override {}
    void enableItem(TMenuItem, bool) override {}
    void showDisplayData(bool) override {}
    bool runConnectDialog() override { return true; }
    TBoxResult messageBox(const std::string&, const std::string&, TBoxButtons, TBoxIcon) override {
        return TBoxResult::Ok;
    }
    void showNotice(const std::string&) override {}
    void closeNotice() override {}
    void setMonitorTimer(bool) override {}
    void setElapsedTimer(bool) override {}
    void post(TSessionCommand) override {}
};

struct TFigures {
    std::vector<double> ms;
    int failed = 0;
};

TFigures run(TProfile& profile, int rounds) {
    TFigures f;
    TQuietView view;
    for (int i = 0; i < rounds; ++i) {
        TSession session(profile, view);
        auto start = std::chrono::steady_clock::now();
        bool up = session.connect();
        auto end = std::chrono::steady_clock::now();
        if (up)
            f.ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        else
            ++f.failed;
        session.disconnect();
    }
    return f;
}

void print(const char* name, const TFigures& f) {
    if (f.ms.empty()) {
        std::printf("%-28s all %d attempts failed\n", name, f.failed);
        return;
    }
    auto sorted = f.ms;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double v : sorted)
        sum += v;
    std::printf("%-28s n=%zu  min %7.1f ms  median %7.1f ms  max %7.1f ms  mean %7.1f ms  "
                "(target < 2000 ms, %.2fx of it)%s\n",
                name, sorted.size(), sorted.front(), sorted[sorted.size() / 2], sorted.back(),
                sum / double(sorted.size()), sum / double(sorted.size()) / 2000.0,
                f.failed ? "  some attempts failed" : "");
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    fs::path dir = fs::temp_directory_path() / ("telvor-bench-connect-" + std::to_string(getpid()));
    fs::create_directories(dir);
    TProfile profile((dir / "telvor.ini").string());
    setProfile(&profile);

    {
        telvorsim::TSimReceiver sim;
        std::string slave = sim.startPty();
        if (slave.empty()) {
            std::printf("pty: %s\n", sim.lastError().c_str());
        } else {
            profile.write(keys::CommPort, slave);
            profile.write(keys::CommBaud, "115200");
            print("connect, pty at 115200", run(profile, rounds));
        }
    }
    {
        telvorsim::TSimOptions options;
        options.password = "bench";
        telvorsim::TSimReceiver sim(options);
        int port = sim.startTcp(0);
        if (port <= 0) {
            std::printf("tcp: %s\n", sim.lastError().c_str());
        } else {
            profile.write(keys::CommPort, "ETHR");
            profile.write(keys::CommEthrDHost, "127.0.0.1");
            profile.write(keys::CommEthrDTCPPort, port);
            profile.write(keys::CommEthrDPassw, "bench");
            print("connect, Ethernet over TCP", run(profile, rounds));
        }
    }
    setProfile(nullptr);
    fs::remove_all(dir);
    return 0;
}
