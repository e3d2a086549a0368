// The conversion worker: the converter's command line, folder and exit texts, and the merge.
#include "rtlog/Convertthread.h"

#include "protocol/Bridge.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace telvor::testing {
namespace {

TConverterSettings settingsIn(const TTempDir& tmp, const std::string& options) {
    TConverterSettings s;
    s.application = TELVOR_FAKE_CONVERTER;
    s.settingsFile = (tmp / "telvor.ini").string();
    s.workingFolder = tmp.path.string();
    s.options = options;
    return s;
}

TEST(ConvertThread, CommandLineAndExitTexts) {
    TConverterSettings s;
    s.application = "/opt/conv/vxr2rin";
    s.settingsFile = "/home/u/telvor.ini";
    s.noGps = s.noL2 = true;
    EXPECT_EQ(converterCommandLine(s, "/data/a b.vxr"),
              "/opt/conv/vxr2rin -i \"/data/a b.vxr\" -p \"/home/u/telvor.ini\" -q -G -2 ");
    EXPECT_EQ(splitCommandLine(converterCommandLine(s, "/data/a b.vxr")),
              (std::vector<std::string>{"/opt/conv/vxr2rin", "-i", "/data/a b.vxr", "-p",
                                        "/home/u/telvor.ini", "-q", "-G", "-2"}));
    EXPECT_EQ(exitCodeText(13), "Terminated with error code 13");
    EXPECT_EQ(exitCodeText(-1), "Terminated with error code -1 (Invalid command line?)");
    EXPECT_EQ(exitCodeText(12), "Terminated with error code 12 (Error opening output file)");
}

TEST(ConvertThread, RunsTheConverterInTheOutputFolderAndReportsItsExitCode) {
    TTempDir tmp("telvor-convert");
    const std::string raw = (tmp / "site0001.vxr").string();
    std::ofstream(raw) << "raw";
    TConvertThread ok(settingsIn(tmp, "-x \"two words\""), raw, TConvertThread::kConvert, "");
    ok.Execute();
    EXPECT_EQ(ok.errorText, "");
    EXPECT_EQ(tmp.read("args.txt"), tmp.path.string() + "\n-i\n" + raw + "\n-p\n" +
                                        (tmp / "telvor.ini").string() + "\n-q\n-x\ntwo words\n");

    TConvertThread failed(settingsIn(tmp, "--exit=3"), raw, TConvertThread::kConvert, "");
    failed.Execute();
    EXPECT_EQ(failed.errorText,
              "Terminated with error code 3 (Inconsistent or corrupt data in VXR file)");
    TConvertThread minusOne(settingsIn(tmp, "--exit=-1"), raw, TConvertThread::kConvert, "");
    minusOne.Execute();
    EXPECT_EQ(minusOne.errorText, exitCodeText(-1));

    TConverterSettings missing = settingsIn(tmp, "");
    missing.application = (tmp / "no-such-converter").string();
    TConvertThread absent(missing, raw, TConvertThread::kConvert, "");
    absent.Execute();
    EXPECT_EQ(absent.errorText, "No such file or directory");
}

TEST(ConvertThread, AnEmptyApplicationMeansTheInstalledConverter) {
    TTempDir tmp("telvor-convert");
    TProfile profile((tmp / "telvor.ini").string());
    EXPECT_EQ(readConverterSettings(profile).application, installedConverter());
    // Beside this test there is none, so the worker asks PATH for it by name.
    EXPECT_EQ(installedConverter(), "telvor-vxr2rin");
    profile.writeString("VXR2RIN", "Application", "/opt/x/conv");
    EXPECT_EQ(readConverterSettings(profile).application, "/opt/x/conv");
}

TEST(ConvertThread, MergeAppendsTheSourceAndRemovesIt) {
    TTempDir tmp("telvor-convert");
    const std::string target = (tmp / "s61231500.vxr").string();
    const std::string source = (tmp / "s61231500a.vxr").string();
    std::string big(200000, 'b');
    std::ofstream(target) << "first";
    std::ofstream(source) << big;
    TConvertThread w(settingsIn(tmp, ""), target, TConvertThread::kMerge | TConvertThread::kConvert,
                     source);
    TPlainBridge bridge; // the worker posts its end to the window program's thread
    w.Start();
    w.WaitFor();
    ASSERT_TRUE(w.finished());
    EXPECT_EQ(w.errorText, "");
    EXPECT_EQ(tmp.read("s61231500.vxr"), "first" + big);
    EXPECT_FALSE(std::filesystem::exists(source));
    // Converted after the merge: the merged file is the one handed over.
    EXPECT_NE(tmp.read("args.txt").find(target), std::string::npos);

    // A source that went away: no merge, no conversion.
    std::filesystem::remove(tmp / "args.txt");
    TConvertThread gone(settingsIn(tmp, ""), target,
                        TConvertThread::kMerge | TConvertThread::kConvert, source);
    gone.Execute();
    EXPECT_EQ(gone.errorText, "Error: Can't open File " + source);
    EXPECT_FALSE(std::filesystem::exists(tmp / "args.txt"));
    TConvertThread unnamed(settingsIn(tmp, ""), target, TConvertThread::kMerge, "");
    unnamed.Execute();
    EXPECT_EQ(unnamed.errorText, "Error: No File Name");
}

} // namespace
} // namespace telvor::testing
