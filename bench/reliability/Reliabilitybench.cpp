// A hundred downloads from telvor-sim over a noisy pty that now and then goes dead; failed
// attempts are resumed by appending until every file is whole. Prints the figures and whether
// every target ended byte-identical to the receiver's file.
//   bench_reliability [FILES [SEED [BAUD]]]  (-v lists every file and failed attempt)
#include "support/Reliability.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    telvor::testing::TReliabilityOptions o;
    int arg = 1;
    const bool verbose = argc > 1 && std::strcmp(argv[1], "-v") == 0;
    if (verbose)
        ++arg;
    if (argc > arg)
        o.files = std::atoi(argv[arg]);
    if (argc > arg + 1)
        o.seed = std::strtoull(argv[arg + 1], nullptr, 10);
    if (argc > arg + 2)
        o.baud = static_cast<unsigned>(std::atoi(argv[arg + 2]));
    if (verbose)
        o.log = [](const std::string& line) { std::printf("  %s\n", line.c_str()); };
    char pattern[] = "/tmp/telvor-bench-reliability-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    o.dir = pattern;
    std::printf("%d files, seed %llu, %u baud, %.1f%% of the receiver's bytes corrupted in runs of "
                "%d, line dead in %.0f%% of the attempts\n",
                o.files, static_cast<unsigned long long>(o.seed), o.baud, 100 * o.corrupt, o.burst,
                100 * o.dropChance);
    std::fflush(stdout);
    const auto r = telvor::testing::runReliability(o);
    std::printf("files %d  bytes %lld  attempts %d  resumes %d  line drops armed %d\n", r.files,
                static_cast<long long>(r.bytes), r.attempts, r.resumes, r.lineDrops);
    std::printf("NAKs %d  CRC errors %d  timeouts %d  time %.1f s  (%.0f B/s)\n", r.naks,
                r.crcErrors, r.timeouts, r.seconds, r.seconds > 0 ? r.bytes / r.seconds : 0);
    for (const auto& failure : r.failures)
        std::printf("FAILED %s\n", failure.c_str());
    std::printf("byte-identical: %s\n", r.allIdentical() ? "yes" : "no");
    std::filesystem::remove_all(o.dir);
    return r.allIdentical() ? 0 : 1;
}
