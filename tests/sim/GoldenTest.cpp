// The simulated receiver held to the hand-written streams of tests/data: its framing of every
// checksum kind, its replies to golden command lines, and its encoders for one epoch. The
// simulator frames with the program's own checksum routines, so only data written without
// them can catch a misunderstanding the two share.
#include "support/Golden.h"
#include "sim/Encoders.h"
#include "sim/Engine.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace telvorsim;
using namespace telvor::testing;

namespace {

struct THost : TEngineHost {
    std::string out;
    void send(std::string bytes, bool) override { out += bytes; }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

std::vector<std::string> words(const std::string& raw) {
    std::istringstream in(raw);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// The epoch of epoch.txt as the sky would hand it to the encoders.
struct TGoldenEpoch {
    explicit TGoldenEpoch(const TGoldenCase& c) {
        std::map<std::string, std::string> v;
        for (const auto* e : c.all("value"))
            v[e->arg] = e->raw;
        auto num = [&](const char* name) {
            if (!v.count(name))
                throw std::runtime_error(c.where() + ": no value " + name);
            return std::stod(v[name]);
        };
        epoch.todMs = static_cast<std::uint32_t>(num("todMs"));
        epoch.uptimeS = static_cast<std::uint32_t>(num("uptimeS"));
        epoch.oscOffset = static_cast<float>(num("oscOffset"));
        epoch.clockRate = static_cast<float>(num("clockRate"));
        TFix& f = epoch.fix;
        f.type = static_cast<int>(num("type"));
        f.latRad = num("lat");
        f.lonRad = num("lon");
        f.height = num("height");
        f.x = num("x");
        f.y = num("y");
        f.z = num("z");
        f.posRms = static_cast<float>(num("posRms"));
        f.vx = static_cast<float>(num("vx"));
        f.vy = static_cast<float>(num("vy"));
        f.vz = static_cast<float>(num("vz"));
        f.velRms = static_cast<float>(num("velRms"));
        f.hRms = static_cast<float>(num("hRms"));
        f.vRms = static_cast<float>(num("vRms"));
        f.hvRms = static_cast<float>(num("hvRms"));
        f.vvRms = static_cast<float>(num("vvRms"));
        f.hdop = static_cast<float>(num("hdop"));
        f.vdop = static_cast<float>(num("vdop"));
        f.tdop = static_cast<float>(num("tdop"));
        epoch.rtcmLink = true;
        epoch.rtcmMessages = static_cast<int>(num("rtcmMessages"));
        epoch.rtcmErrors = static_cast<int>(num("rtcmErrors"));
        epoch.linkQuality = num("linkQuality");
        for (char e : v["events"])
            if (e == 'A' || e == 'B')
                events.push_back(e);

        for (const auto* e : c.all("sat")) {
            auto w = words(e->raw);
            if (w.size() != 11)
                throw std::runtime_error(c.where() + ": a sat line has 11 words");
            TSat s;
            s.system = w[0] == "glonass" ? TSystem::Glonass
                       : w[0] == "sbas"  ? TSystem::Sbas
                                         : TSystem::Gps;
            s.number = std::stoi(w[1]);
            s.index = std::stoi(w[2]);
            s.freq = s.system == TSystem::Glonass ? s.index - 45 : 0;
            s.elDeg = std::stod(w[3]);
            s.azDeg = std::stod(w[4]);
            s.ca = std::stoi(w[5]);
            s.p1 = std::stoi(w[6]);
            s.p2 = std::stoi(w[7]);
            s.trackS = std::stoi(w[8]);
            s.status = std::stoi(w[9]);
            s.dopplerHz = std::stod(w[10]);
            epoch.sats.push_back(s);
        }
    }

    TEpoch epoch;
    std::vector<char> events;
};

std::string escaped(const std::string& s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            out += std::string("<") + digits[c >> 4] + digits[c & 15] + ">";
    }
    return out;
}

} // namespace

TEST(GoldenSim, FramesEveryChecksumKindAsWritten) {
    int framed = 0;
    for (const auto& c : loadGolden("frames.txt")) {
        if (!c.has("kind") || c.raw("check") != "good")
            continue;
        const std::string f = c.bytes("frame");
        const long kind = c.number("kind");
        const std::size_t tail = kind == 0 ? 0 : kind == 1 ? 1 : 2;
        const std::string body = f.substr(5, f.size() - 5 - tail);
        EXPECT_EQ(escaped(frameMessage(f.substr(0, 2), body)), escaped(f)) << c.where();
        if (kind == 0) {
            EXPECT_EQ(escaped(frameReply(f[0] == 'R', body)), escaped(f)) << c.where();
        }
        ++framed;
    }
    EXPECT_GE(framed, 8);
}

TEST(GoldenSim, AnswersGoldenCommandLinesWithGoldenReplies) {
    for (const auto& c : loadGolden("replies.txt")) {
        TSimOptions options;
        THost host;
        TEngine engine(options, host, "/dev/ser/a", 1146668399000);
        const std::string send = c.bytes("send");
        engine.receive(reinterpret_cast<const std::uint8_t*>(send.data()), send.size());
        EXPECT_EQ(escaped(host.out), escaped(c.bytes("reply"))) << c.where();
    }
}

TEST(GoldenSim, RefusedLineIsNotCarriedOut) {
    const auto cases = loadGolden("replies.txt");
    TSimOptions options;
    THost host;
    TEngine engine(options, host, "/dev/ser/a", 1146668399000);
    auto say = [&](const TGoldenCase& c) {
        host.out.clear();
        const std::string send = c.bytes("send");
        engine.receive(reinterpret_cast<const std::uint8_t*>(send.data()), send.size());
        return escaped(host.out) == escaped(c.bytes("reply"));
    };
    const std::string before = engine.param("/par/pos/elm").value_or("");
    ASSERT_NE(before, "15");
    EXPECT_TRUE(say(goldenCase(cases, "set-mask-wrong-suffix"))) << host.out;
    EXPECT_EQ(engine.param("/par/pos/elm").value_or(""), before);
    EXPECT_TRUE(say(goldenCase(cases, "set-mask"))) << host.out;
    EXPECT_EQ(engine.param("/par/pos/elm").value_or(""), "15");
}

TEST(GoldenSim, EncodesTheGoldenEpoch) {
    const TGoldenCase c = goldenCase(loadGolden("epoch.txt"), "epoch");
    TGoldenEpoch golden(c);
    TEpochView view{golden.epoch, {}, golden.events, false};
    for (const auto& s : golden.epoch.sats)
        view.sats.push_back(&s);
    int compared = 0;
    for (const auto* e : c.all("frame")) {
        if (e->arg.empty())
            continue; // written by hand only, no receiver message name
        const TMessageDef* def = findMessage(e->arg);
        ASSERT_NE(def, nullptr) << e->arg;
        std::vector<std::string> out;
        def->encode(view, out);
        ASSERT_EQ(out.size(), 1u) << e->arg;
        EXPECT_EQ(escaped(out[0]), escaped(e->bytes())) << "epoch.txt:" << e->line << " " << e->arg;
        ++compared;
    }
    EXPECT_GE(compared, 20);
}

TEST(GoldenSim, NoLinkStatusIsTheWrittenLine) {
    // Without an RTCM link the receiver sends the one status line the monitor hides.
    const TGoldenCase c = goldenCase(loadGolden("frames.txt"), "rtcm-status-no-link");
    TEpoch epoch;
    TEpochView view{epoch, {}, {}, false};
    std::vector<std::string> out;
    findMessage("MS")->encode(view, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], c.bytes("frame"));
}
