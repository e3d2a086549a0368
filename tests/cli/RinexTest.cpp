// telvor-cli rinex with the converter it finds by default: the files, the exclusions, and
// what a failing file does to the others and to the exit code.
#include "support/Run.h"
#include "support/Simraw.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using telvor::testing::runCommand;
using telvor::testing::TTempDir;

TEST(CliRinex, ConvertsEachFileWithTheDefaultConverterAndGoesOnAfterAFailure) {
    TTempDir tmp("telvor-cli-rinex");
    std::ofstream(tmp / "site 1.vxr", std::ios::binary)
        << telvor::testing::simulateRaw({}, 5).bytes;
    std::filesystem::create_directory(tmp / "out");
    const std::string cli =
        std::string(TELVOR_CLI_EXE) + " --settings \"" + tmp.path.string() + "\" rinex ";
    const std::string in =
        "\"" + (tmp / "missing.vxr").string() + "\" \"" + (tmp / "site 1.vxr").string() + "\"";
    auto r = runCommand(cli + in + " --no-glonass --dir \"" + (tmp / "out").string() + "\" 2>&1");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("(Error opening/reading file),Input:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Converted "), std::string::npos) << r.out;
    const std::string obs = tmp.read("out/SITE00XXX_R_20263440201_01M_01S_GO.rnx");
    ASSERT_FALSE(obs.empty()) << r.out;
    EXPECT_EQ(obs.find("\nR"), std::string::npos);
    EXPECT_NE(obs.find("\nG"), std::string::npos);

    r = runCommand(cli + in + " --no-gps --no-glonass 2>&1");
    EXPECT_EQ(r.code, 2) << r.out;
}

} // namespace
