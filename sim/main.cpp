// telvor-sim: a simulated receiver on a pseudo-terminal, a TCP port or both ends of nothing.
#include "sim/Corrports.h"
#include "sim/Receiver.h"
#include "sim/Simargs.h"

#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    telvorsim::TSimArgs args = telvorsim::parseSimArgs(argc, argv);
    if (args.action != telvorsim::TSimArgs::Run) {
        std::fputs(args.text.c_str(), args.action == telvorsim::TSimArgs::Usage ? stderr : stdout);
        return args.action == telvorsim::TSimArgs::Usage ? 2 : 0;
    }
    telvorsim::TSimOptions& o = args.options;
    const std::string& ptyPath = args.ptyPath;
    if (o.verbose)
        o.log = [](const std::string& line) { std::cerr << "telvor-sim: " << line << std::endl; };

    std::FILE* record = nullptr;
    if (!args.recordPath.empty()) {
        record = std::fopen(args.recordPath.c_str(), "ab");
        if (!record) {
            std::perror(args.recordPath.c_str());
            return 1;
        }
        o.onOutput = [record](const std::uint8_t* bytes, std::size_t count) {
            std::fwrite(bytes, 1, count, record);
        };
    }

    std::FILE* truth = nullptr;
    if (!args.truthPath.empty()) {
        truth = std::fopen(args.truthPath.c_str(), "a");
        if (!truth) {
            std::perror(args.truthPath.c_str());
            return 1;
        }
        o.onTruth = [truth](const std::string& line) {
            std::fputs(line.c_str(), truth);
            std::fflush(truth);
        };
    }

    // Block the signals before any thread starts, then wait for them here. SIGUSR1 switches
    // the modem off and on, as a surveyor would to reach its start-up window.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    telvorsim::TCorrPorts corr;
    if (!args.corrPty.empty() || !args.corrOutPty.empty()) {
        std::string error = corr.start({args.corrPty, args.corrRecord, args.corrOutPty});
        if (!error.empty()) {
            std::fprintf(stderr, "telvor-sim: %s\n", error.c_str());
            return 1;
        }
        o.onEpoch = [&corr](telvorsim::TEpoch& e) { corr.onEpoch(e); };
    }

    telvorsim::TSimReceiver receiver(o);
    if (!ptyPath.empty()) {
        std::string slave = receiver.startPty(ptyPath);
        if (slave.empty()) {
            std::fprintf(stderr, "telvor-sim: %s\n", receiver.lastError().c_str());
            return 1;
        }
        std::printf("ready pty %s %s\n", slave.c_str(), ptyPath.c_str());
    } else {
        int port = receiver.startTcp(args.tcpPort, args.bind);
        if (port < 0) {
            std::fprintf(stderr, "telvor-sim: %s\n", receiver.lastError().c_str());
            return 1;
        }
        std::printf("ready tcp %d\n", port);
    }
    if (!corr.inSlave().empty())
        std::printf("ready corr-pty %s %s\n", corr.inSlave().c_str(), args.corrPty.c_str());
    if (!corr.outSlave().empty())
        std::printf("ready corr-out-pty %s %s\n", corr.outSlave().c_str(), args.corrOutPty.c_str());
    std::fflush(stdout);

    for (int sig = 0; sigwait(&signals, &sig) == 0 && sig == SIGUSR1;) {
        if (!receiver.powerCycleModem())
            std::fprintf(stderr, "telvor-sim: no modem to power-cycle (--modem)\n");
        else if (o.verbose)
            std::fprintf(stderr, "telvor-sim: modem power cycle\n");
    }
    receiver.stop();
    corr.stop();
    if (record)
        std::fclose(record);
    if (truth)
        std::fclose(truth);
    return 0;
}
