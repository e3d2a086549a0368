// The converter's file layout, options, exit codes and damaged input, on simulated raw files.
#include "rinex/Converter.h"
#include "support/Run.h"
#include "support/Simraw.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace telvor {
namespace {

using testing::TTempDir;

const testing::TSimRaw& shortRun() {
    static const testing::TSimRaw raw = testing::simulateRaw({}, 20);
    return raw;
}

TVxrContent content(const std::string& bytes) {
    return readVxr(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

std::string headerOf(const std::string& text) {
    return text.substr(0, text.find('\n', text.find("END OF HEADER")));
}

std::string lineWith(const std::string& text, const std::string& label) {
    for (const auto& l : lines(text))
        if (l.size() >= 60 && l.compare(60, label.size(), label) == 0)
            return l;
    return {};
}

int countEpochs(const std::string& obs) {
    int n = 0;
    for (const auto& l : lines(obs))
        n += l.rfind("> ", 0) == 0;
    return n;
}

TEST(RinexLayout, HeaderAndEpochLinesKeepTheirColumns) {
    TRinexOptions o;
    const std::string obs = rinexObservations(content(shortRun().bytes), o);
    for (const auto& l : lines(headerOf(obs))) {
        EXPECT_LE(l.size(), 80u) << l;
        EXPECT_GE(l.size(), 61u) << l;
    }
    const std::string version = lineWith(obs, "RINEX VERSION / TYPE");
    EXPECT_EQ(version.substr(0, 9), "     3.04");
    EXPECT_EQ(version[20], 'O');
    EXPECT_EQ(version[40], 'M');
    EXPECT_EQ(lineWith(obs, "TIME OF FIRST OBS").substr(0, 6), "  2026");
    EXPECT_EQ(lineWith(obs, "TIME OF FIRST OBS").substr(48, 3), "GPS");
    EXPECT_EQ(lineWith(obs, "SYS / # / OBS TYPES").substr(0, 38),
              "G    8 C1C L1C D1C S1C C2P L2P D2P S2P");
    EXPECT_NE(lineWith(obs, "GLONASS SLOT / FRQ #"), "");
    const std::string epoch = obs.substr(obs.find("\n> ") + 1, 35);
    EXPECT_EQ(epoch.substr(0, 29), "> 2026 12 10 02 01 19.0000000");
    EXPECT_EQ(epoch[31], '0');
    // One observation: 14 columns of value, loss of lock, signal strength.
    const std::string sat = lines(obs.substr(obs.find("\n> ") + 1))[1];
    ASSERT_GE(sat.size(), 3u + 16 * 8);
    EXPECT_EQ(sat[3 + 16 + 10], '.'); // L1C has three decimals
}

TEST(RinexLayout, Version211UsesItsOwnEpochAndTypeLines) {
    TRinexOptions o;
    o.version = 211;
    const std::string obs = rinexObservations(content(shortRun().bytes), o);
    EXPECT_EQ(lineWith(obs, "RINEX VERSION / TYPE").substr(0, 9), "     2.11");
    EXPECT_EQ(lineWith(obs, "# / TYPES OF OBSERV").substr(0, 54),
              "     8    C1    L1    D1    S1    P2    L2    D2    S2");
    const std::string epoch =
        lines(headerOf(obs).size() < obs.size() ? obs.substr(headerOf(obs).size() + 1) : "")[0];
    EXPECT_EQ(epoch.substr(0, 26), " 26 12 10  2  1 19.0000000");
    EXPECT_EQ(epoch[28], '0');
    EXPECT_TRUE(epoch[32] == 'G' || epoch[32] == 'R') << epoch;
    const std::string nav = rinexNavigation(content(shortRun().bytes), o, 'G');
    EXPECT_NE(nav.find("N: GPS NAV DATA"), std::string::npos);
    EXPECT_NE(lineWith(nav, "ION ALPHA"), "");
    EXPECT_NE(rinexNavigation(content(shortRun().bytes), o, 'R').find("G: GLONASS NAV DATA"),
              std::string::npos);
}

TEST(RinexLayout, ObservationValuesAreRoundedAndSignedAsF143) {
    TVxrContent c;
    TRawSat sat;
    sat.prn = 7;
    sat.l1 = {123456789.125, 0.25, -12.5f, 45.0, 1000, false};
    c.epochs.push_back({2448, 352800000, {sat}});
    TRinexOptions o;
    o.l2 = false;
    const std::string obs = rinexObservations(c, o);
    EXPECT_NE(obs.find("\nG07 123456789.125 7         0.250 7       -12.500 7        45.000 7\n"),
              std::string::npos)
        << obs;
}

TEST(RinexOptions, SystemAndBandSwitchesLeaveTheirObservationsOut) {
    const TVxrContent c = content(shortRun().bytes);
    TRinexOptions noGps;
    noGps.gps = false;
    std::string obs = rinexObservations(c, noGps);
    EXPECT_EQ(obs.find("\nG"), std::string::npos);
    EXPECT_NE(obs.find("\nR"), std::string::npos);
    EXPECT_EQ(lineWith(obs, "RINEX VERSION / TYPE")[40], 'R');
    TRinexOptions noGlo;
    noGlo.glo = false;
    obs = rinexObservations(c, noGlo);
    EXPECT_EQ(obs.find("\nR"), std::string::npos);
    EXPECT_EQ(lineWith(obs, "GLONASS SLOT / FRQ #"), "");
    TRinexOptions noL1;
    noL1.l1 = false;
    EXPECT_EQ(lineWith(rinexObservations(c, noL1), "SYS / # / OBS TYPES").substr(0, 22),
              "G    4 C2P L2P D2P S2P");
    TRinexOptions noL2;
    noL2.l2 = false;
    EXPECT_EQ(lineWith(rinexObservations(c, noL2), "SYS / # / OBS TYPES").substr(0, 22),
              "G    4 C1C L1C D1C S1C");
    TRinexOptions every5;
    every5.decimateMs = 5000;
    EXPECT_EQ(countEpochs(rinexObservations(c, every5)), 4);
}

TEST(RinexInput, DamagedMessagesAreDroppedAndTheRestConverts) {
    std::string bytes = shortRun().bytes;
    EXPECT_EQ(content(bytes).epochs.size(), 20u);
    std::size_t rm = bytes.find("rM");
    rm = bytes.find("rM", rm + 1);
    bytes[rm + 30] ^= 0x40;
    TVxrContent damaged = content(bytes);
    EXPECT_EQ(damaged.epochs.size(), 19u);
    EXPECT_GE(damaged.damaged, 1u);
    // Cut in the middle of a message: what came before it still converts.
    std::string cut = shortRun().bytes.substr(0, shortRun().bytes.size() / 2 + 7);
    TVxrContent half = content(cut);
    EXPECT_GT(half.epochs.size(), 5u);
    EXPECT_LT(half.epochs.size(), 20u);
    EXPECT_FALSE(rinexObservations(half, {}).empty());
}

TEST(RinexInput, SiteRecordsOverrideTheSettingsTexts) {
    TTempDir tmp("vxr2rin");
    std::ofstream(tmp / "telvor.ini") << "[VXR2RIN]\nRUN BY=Survey crew\nMARKER NAME=FROMINI\n"
                                         "MARKER NUMBER=1234M001\nAGENCY=Office\n";
    TRinexOptions o;
    o.header = readHeaderTexts((tmp / "telvor.ini").string());
    EXPECT_EQ(o.header.runBy, "Survey crew");
    std::string obs = rinexObservations(content(shortRun().bytes), o);
    EXPECT_EQ(lineWith(obs, "MARKER NAME").substr(0, 8), "FROMINI ");
    EXPECT_EQ(lineWith(obs, "MARKER NUMBER").substr(0, 8), "1234M001");
    EXPECT_EQ(lineWith(obs, "PGM / RUN BY / DATE").substr(20, 11), "Survey crew");
    const std::string records = "event,\"_SIT=PILLAR7\"@3A&&event,\"_ANH=1.5\"@11\r\n";
    obs = rinexObservations(content(records + shortRun().bytes), o);
    EXPECT_EQ(lineWith(obs, "MARKER NAME").substr(0, 8), "PILLAR7 ");
    EXPECT_EQ(lineWith(obs, "ANTENNA: DELTA H/E/N").substr(0, 14), "        1.5000");
}

// The executable, as the logging worker runs it.
struct TConverterRun : ::testing::Test {
    TTempDir tmp{"vxr2rin"};
    testing::TRun run(const std::string& args) {
        return testing::runCommand(std::string(TELVOR_VXR2RIN_EXE) + " " + args + " 2>" +
                                   (tmp / "err.txt").string());
    }
    std::string err() { return tmp.read("err.txt"); }
    long errLines() {
        const std::string e = err();
        return std::count(e.begin(), e.end(), '\n');
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(tmp / name, std::ios::binary) << bytes;
    }
    std::vector<std::string> files() {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(tmp.path))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(TConverterRun, ExitCodesTellWhatWentWrongWithOneLineOnStderr) {
    const std::string q = "\"" + tmp.path.string() + "/";
    EXPECT_EQ(run("-i " + q + "missing.vxr\" -q").code, 1);
    EXPECT_EQ(errLines(), 1) << err();
    write("text.vxr", "RE005hello\nnot a raw file at all\n");
    EXPECT_EQ(run("-i " + q + "text.vxr\" -q").code, 2);
    std::string bad = shortRun().bytes;
    for (std::size_t at = bad.find("rM"); at != std::string::npos; at = bad.find("rM", at + 1))
        bad[at + 12] ^= 1;
    write("bad.vxr", bad);
    EXPECT_EQ(run("-i " + q + "bad.vxr\" -q").code, 3);
    write("good.vxr", shortRun().bytes);
    EXPECT_EQ(run("-i " + q + "good.vxr\" -q --out " + q + "no/such/folder\"").code, 12);
    EXPECT_EQ(errLines(), 1) << err();
    EXPECT_EQ(run("-i " + q + "good.vxr\" --bogus").code, 255);
    EXPECT_EQ(run("-i " + q + "good.vxr\" -G -R").code, 255);
    EXPECT_EQ(run("-i " + q + "good.vxr\" --version 4").code, 255);
}

TEST_F(TConverterRun, NamesWithSpacesConvertIntoTheWorkingFolderWithoutLeftovers) {
    std::filesystem::create_directory(tmp / "my site");
    write("my site/day one.vxr", shortRun().bytes);
    auto r = testing::runCommand("cd \"" + (tmp / "my site").string() + "\" && " +
                                 TELVOR_VXR2RIN_EXE + " -i \"day one.vxr\" -q");
    ASSERT_EQ(r.code, 0) << r.out;
    std::vector<std::string> made;
    for (const auto& e : std::filesystem::directory_iterator(tmp / "my site"))
        made.push_back(e.path().filename().string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made,
              (std::vector<std::string>{"DAYO00XXX_R_20263440201_01M_01S_MO.rnx",
                                        "DAYO00XXX_R_20263440201_01M_MN.rnx", "day one.vxr"}));
    r = run("-i \"" + (tmp / "my site/day one.vxr").string() + "\" --version 2.11 --out \"" +
            tmp.path.string() + "\"");
    ASSERT_EQ(r.code, 0) << err();
    EXPECT_EQ(files(), (std::vector<std::string>{"dayo344c.26G", "dayo344c.26N", "dayo344c.26O",
                                                 "err.txt", "my site"}));
}

} // namespace
} // namespace telvor
