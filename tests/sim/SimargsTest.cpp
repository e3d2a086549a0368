// telvor-sim's command line: a bad port or a stray word is a usage error, never a guess.
#include "sim/Simargs.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

telvorsim::TSimArgs parse(std::vector<const char*> args) {
    args.insert(args.begin(), "telvor-sim");
    std::vector<char*> argv;
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    return telvorsim::parseSimArgs(int(args.size()), argv.data());
}

TEST(SimArgs, TcpPortAndStrayWords) {
    EXPECT_EQ(parse({"--tcp"}).tcpPort, 8002);
    EXPECT_EQ(parse({"--tcp", "9000"}).tcpPort, 9000);
    EXPECT_EQ(parse({"--tcp=0"}).tcpPort, 0);
    EXPECT_EQ(parse({"--tcp", "--baud", "9600"}).options.baud, 9600u);
    for (auto bad : {std::vector<const char*>{"--tcp", "99999"},
                     {"--tcp", "abc"},
                     {"--tcp=-1"},
                     {"--pty", "/tmp/x", "extra"},
                     {"--pty", "/tmp/x", "--tcp"},
                     {"--bogus"}}) {
        telvorsim::TSimArgs a = parse(bad);
        EXPECT_EQ(a.action, telvorsim::TSimArgs::Usage) << bad.back();
        EXPECT_EQ(a.text.rfind("telvor-sim: ", 0), 0u) << a.text;
    }
    EXPECT_EQ(parse({"--version"}).action, telvorsim::TSimArgs::Version);
    EXPECT_EQ(parse({"--help"}).action, telvorsim::TSimArgs::Help);
}

} // namespace
