// telvor-cli record against telvor-sim on a pty: the file it starts grows until record stop,
// and what it refuses, with the exit codes.
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

namespace {

using telvor::testing::TRun;

class CliRecordTest : public telvor::testing::TCliPtyTest {
protected:
    CliRecordTest() : TCliPtyTest("telvor-cli-record") {}
    void SetUp() override {
        telvorsim::TSimOptions o;
        o.epochWallMs = 20;
        o.files = {{"kept", 700, 1}};
        startReceiver(o);
    }
    std::size_t size(const std::string& name) const {
        auto f = sim->file(name);
        return f ? f->data.size() : 0;
    }
};

} // namespace

TEST_F(CliRecordTest, StartRecordsUntilStop) {
    TRun r = run("record start \"day two\" --interval 2 --elevation-mask 15");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "Data collection started\n");
    EXPECT_EQ(sim->param("/par/out/elm/cur/log"), "15");
    EXPECT_TRUE(telvor::testing::eventually([&] { return size("day two") > 1000; }));
    EXPECT_NE(tmp.read("telvor.ini").find("RecordingIntervalFile=2.00"), std::string::npos);

    r = run("record stop");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "Data collection stopped\n");
    EXPECT_EQ(sim->printed("/cur/log"), "");
}

TEST_F(CliRecordTest, RefusalsAndTheirExitCodes) {
    TRun r = run("record start a,b");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find("File name contains not allowed characters"), std::string::npos);
    EXPECT_EQ(run("record start x --interval 1,5").code, 2);
    EXPECT_EQ(run("record begin x").code, 2);

    // The receiver measures once a second: half a second cannot be recorded.
    r = run("record start x --interval 0.5");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Recording interval 0.5 s is not supported by the receiver's current "
                         "settings (raw data every 1000 ms, positions every 1000 ms)"),
              std::string::npos)
        << r.out;
    r = run("record start kept");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("File already exists"), std::string::npos);
    EXPECT_EQ(size("kept"), 700u);
    for (const auto& c : sim->commands())
        EXPECT_EQ(c.find("create"), std::string::npos) << c;
}
