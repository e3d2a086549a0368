// RTKLIB's rnx2rtkp on the converter's files: standalone positions against the simulator's
// truth, and a 1 km rover-base baseline with the ambiguities fixed, in both RINEX versions.
#include "rinex/Converter.h"
#include "support/Run.h"
#include "support/Simraw.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace telvor {
namespace {

using testing::TTempDir;

struct TSolution {
    int epochs = 0, fixed = 0;
    double mean[3] = {0, 0, 0};      // of every epoch
    double fixedMean[3] = {0, 0, 0}; // of the fixed epochs
};

TSolution readPos(const std::string& text) {
    TSolution s;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '%')
            continue;
        std::istringstream l(line);
        std::string date, time;
        double x, y, z;
        int q;
        if (!(l >> date >> time >> x >> y >> z >> q))
            continue;
        double p[3] = {x, y, z};
        ++s.epochs;
        for (int i = 0; i < 3; ++i)
            s.mean[i] += p[i];
        if (q == 1) {
            ++s.fixed;
            for (int i = 0; i < 3; ++i)
                s.fixedMean[i] += p[i];
        }
    }
    for (int i = 0; i < 3; ++i) {
        s.mean[i] /= std::max(s.epochs, 1);
        s.fixedMean[i] /= std::max(s.fixed, 1);
    }
    return s;
}

// East, north, up of an Earth-fixed difference at the simulator's default place.
std::vector<double> enu(const double d[3]) {
    const double lat = 50.0875 * M_PI / 180, lon = 14.4213 * M_PI / 180;
    return {-std::sin(lon) * d[0] + std::cos(lon) * d[1],
            -std::sin(lat) * std::cos(lon) * d[0] - std::sin(lat) * std::sin(lon) * d[1] +
                std::cos(lat) * d[2],
            std::cos(lat) * std::cos(lon) * d[0] + std::cos(lat) * std::sin(lon) * d[1] +
                std::sin(lat) * d[2]};
}

class RnxCheck : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (testing::runCommand("command -v rnx2rtkp >/dev/null").code != 0)
            GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is not installed";
    }
    // Converts a simulated run into `name`/ and gives the observation and navigation files.
    std::string convert(const telvorsim::TSimOptions& options, const std::string& name,
                        std::vector<double>& truth) {
        testing::TSimRaw raw = testing::simulateRaw(options, kEpochs);
        truth = testing::truthPosition(raw.truth.front());
        std::filesystem::create_directory(tmp / name);
        std::ofstream(tmp / (name + ".vxr"), std::ios::binary) << raw.bytes;
        TConverterArgs a;
        a.input = (tmp / (name + ".vxr")).string();
        a.outputFolder = (tmp / name).string();
        a.rinex.version = GetParam();
        a.longNames = GetParam() == 304;
        TConverterResult r = convertFile(a);
        EXPECT_EQ(r.code, 0) << r.text;
        std::string files;
        for (const auto& f : r.written)
            files += " \"" + f + "\"";
        return files;
    }
    std::string rnx2rtkp(const std::string& conf, const std::string& args) {
        std::ofstream(tmp / "run.conf") << conf << "pos1-ionoopt=brdc\npos1-tropopt=saas\n"
                                        << "out-solformat=xyz\n";
        auto r = testing::runCommand("rnx2rtkp -k \"" + (tmp / "run.conf").string() + "\" -o \"" +
                                     (tmp / "out.pos").string() + "\" " + args + " 2>/dev/null");
        EXPECT_EQ(r.code, 0);
        return tmp.read("out.pos");
    }

    static constexpr int kEpochs = 120;
    TTempDir tmp{"rnxcheck"};
};

TEST_P(RnxCheck, StandalonePositionsLieWithinMetresOfTheTruth) {
    std::vector<double> truth;
    const std::string files = convert({}, "base", truth);
    TSolution s = readPos(rnx2rtkp("pos1-posmode=single\npos1-navsys=5\n", files));
    EXPECT_EQ(s.epochs, kEpochs);
    double d[3] = {s.mean[0] - truth[0], s.mean[1] - truth[1], s.mean[2] - truth[2]};
    auto e = enu(d);
    std::printf("SPP RINEX %d: %d epochs, mean - truth E %.3f N %.3f U %.3f m\n", GetParam(),
                s.epochs, e[0], e[1], e[2]);
    EXPECT_LT(std::hypot(e[0], e[1]), 3.0);
    EXPECT_LT(std::fabs(e[2]), 5.0);
}

TEST_P(RnxCheck, OneKilometreBaselineIsFixedToCentimetres) {
    std::vector<double> base, rover;
    const std::string baseFiles = convert({}, "base", base);
    telvorsim::TSimOptions r;
    r.antennaEast = 600;
    r.antennaNorth = 800;
    r.antennaUp = 5;
    const std::string roverFiles = convert(r, "rover", rover);
    std::string roverObs = roverFiles.substr(0, roverFiles.find("\" \"") + 1);
    char ref[96];
    std::snprintf(ref, sizeof ref, "-r %.4f %.4f %.4f ", base[0], base[1], base[2]);
    TSolution s = readPos(rnx2rtkp("pos1-posmode=kinematic\npos1-frequency=l1+l2\n"
                                   "pos1-navsys=5\npos2-armode=continuous\n",
                                   ref + roverObs + baseFiles));
    double d[3] = {s.fixedMean[0] - rover[0], s.fixedMean[1] - rover[1], s.fixedMean[2] - rover[2]};
    auto e = enu(d);
    std::printf("RTK RINEX %d: %d of %d epochs fixed, baseline error E %.4f N %.4f U %.4f m\n",
                GetParam(), s.fixed, s.epochs, e[0], e[1], e[2]);
    EXPECT_EQ(s.epochs, kEpochs);
    EXPECT_GE(s.fixed, kEpochs * 95 / 100);
    EXPECT_LT(std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]), 0.02);
}

INSTANTIATE_TEST_SUITE_P(Versions, RnxCheck, ::testing::Values(304, 211));

} // namespace
} // namespace telvor
