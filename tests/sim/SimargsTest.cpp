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

TEST(SimArgs, WorldOptionsAndTheirBadValues) {
    auto a = parse({"--pty", "/tmp/x", "--antenna-offset", "10,-5.5,1.25", "--truth", "t.txt",
                    "--slips", "0.01", "--multipath", "2", "--lat", "-33.9", "-v"});
    ASSERT_EQ(a.action, telvorsim::TSimArgs::Run) << a.text;
    EXPECT_EQ(a.options.antennaEast, 10);
    EXPECT_EQ(a.options.antennaNorth, -5.5);
    EXPECT_EQ(a.options.antennaUp, 1.25);
    EXPECT_EQ(a.truthPath, "t.txt");
    EXPECT_EQ(a.options.faults.slipRate, 0.01);
    EXPECT_EQ(a.options.faults.multipath, 2);
    EXPECT_EQ(a.options.latDeg, -33.9);
    EXPECT_TRUE(a.options.verbose);
    for (auto bad : {std::vector<const char*>{"--antenna-offset", "1,2"},
                     {"--antenna-offset", "1,2,3,4"},
                     {"--antenna-offset", "1,2,x"},
                     {"--slips", "1.5"},
                     {"--multipath", "-1"},
                     {"--truth", ""},
                     {"--lat", "91"},
                     {"--baud", "10"},
                     {"--modem", "/dev/ser/bb"}}) {
        bad.insert(bad.begin(), {"--pty", "/tmp/x"});
        telvorsim::TSimArgs r = parse(bad);
        EXPECT_EQ(r.action, telvorsim::TSimArgs::Usage) << bad[2];
        EXPECT_NE(r.text.find(std::string("--") + (bad[2] + 2)), std::string::npos) << r.text;
    }
    // --help is written from the option table: every option is in it.
    std::string help = parse({"--help"}).text;
    for (const char* name :
         {"--pty PATH", "--tcp [PORT]", "--antenna-offset E,N,U", "--truth FILE", "--slips P",
          "--multipath M", "-v, --verbose", "--record FILE", "--file NAME:SIZE[:SEED]"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

} // namespace
