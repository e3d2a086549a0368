// The simulated receiver without threads or ports: what it answers and what it sends.
#include "sim/Engine.h"
#include "support/Simclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

using namespace telvorsim;
using simtest::split;

namespace {

constexpr std::int64_t kStart = 1146668399000; // 2006-05-03 14:59:59 UTC

struct TFakeHost : TEngineHost {
    std::string out;
    std::vector<std::string> events; // what was asked of the host, with the output size then
    void send(std::string bytes, bool) override { out += bytes; }
    void switchRateAfterOutput(unsigned rate) override {
        events.push_back("rate " + std::to_string(rate) + " at " + std::to_string(out.size()));
    }
    void restartAfterOutput(bool clear) override {
        events.push_back(std::string(clear ? "nvram" : "reset") + " at " +
                         std::to_string(out.size()));
    }
};

struct Sim {
    explicit Sim(TSimOptions o = {})
        : options(std::move(o)), engine(options, host, "/dev/ser/a", kStart) {}
    // Sends one line as Telvor formats it and returns everything the receiver sent back.
    std::string say(const std::string& line) { return raw(telvor::formatCommandLine(line)); }
    std::string raw(const std::string& bytes) {
        host.out.clear();
        engine.receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        return host.out;
    }
    // The value of a "%%print," reply, or "ER" when refused.
    std::string print(const std::string& path) {
        std::string r = say("%%print," + path);
        if (r.compare(0, 2, "RE") != 0)
            return "ER";
        return r.substr(7, r.size() - 8);
    }
    std::string epochs(int n) {
        host.out.clear();
        for (int i = 0; i < n; ++i)
            engine.runEpoch(true);
        return host.out;
    }
    TSimOptions options;
    TFakeHost host;
    TEngine engine;
};

template <typename T> T field(const std::string& m, std::size_t offset) {
    T v;
    std::memcpy(&v, m.data() + 5 + offset, sizeof v);
    return v;
}

std::size_t bodyLength(const std::string& m) {
    return telvor::messageLength(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()) - 5;
}

const char* const kMonitorList =
    "/PG,/PV,/DP,/MS,/RT,/RD,/OO,/TT,/XA,/XB,/SG,/GA:0,/NA:0,/SI,/NN,/EL,/DO,/DC,/AZ,/EC,/E1,"
    "/E2,/TC,/SS,/GS,/NS,/EE";

// Enables a list the way the command engine does: lines of at most 124 characters.
void enableList(Sim& sim, const std::string& list) {
    std::string line = "em,,vxr{";
    std::size_t start = 0;
    bool first = true;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.size() + line.size() > 124) {
            ASSERT_EQ(sim.say("%command%" + line + "}").substr(0, 2), "RE");
            line = "em,,vxr{";
            first = true;
        }
        line += (first ? "" : ",") + item;
        first = false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    ASSERT_EQ(sim.say("%command%" + line + "}").substr(0, 2), "RE");
}

} // namespace

TEST(SimReplies, FramedWithEchoLengthAndLineFeed) {
    Sim sim;
    EXPECT_EQ(sim.say("%%print,/par/rcv/model"), "RE008%%VORNA\n");
    EXPECT_EQ(sim.say("dm"), "RE001\n");
    EXPECT_EQ(sim.say("%Wait_3%"), "RE009%Wait_3%\n");
    EXPECT_EQ(sim.say("%%"), "RE003%%\n");
    EXPECT_EQ(sim.say("%command%set,/par/pos/elm,10"), "RE00A%command%\n");
    for (const char* line : {"%%print,/par/rcv/model", "%%print,/nope", "bogus", "%%"}) {
        std::string r = sim.say(line);
        auto* p = reinterpret_cast<const std::uint8_t*>(r.data());
        ASSERT_TRUE(telvor::isMessageHeader(p)) << line;
        EXPECT_EQ(telvor::messageLength(p, r.size()), r.size()) << line;
        EXPECT_EQ(telvor::checkMessage(p, r.size()), telvor::CheckResult::Good) << line;
    }
    std::string er = sim.say("%%print,/par/nothing/here");
    EXPECT_EQ(er.substr(0, 2), "ER");
    EXPECT_NE(er.find("Unknown parameter"), std::string::npos);
    EXPECT_EQ(sim.say("frobnicate,/par").substr(0, 2), "ER");
}

TEST(SimReplies, ChecksumSuffixIsCheckedWhenPresent) {
    Sim sim;
    EXPECT_EQ(sim.raw("%%print,/par/rcv/model@9F\r\n"), "RE008%%VORNA\n");
    EXPECT_EQ(sim.raw("%%print,/par/rcv/model@9f\r\n"), "RE008%%VORNA\n");
    EXPECT_EQ(sim.raw("%%print,/par/rcv/model\r\n"), "RE008%%VORNA\n");
    std::string bad = sim.raw("%%print,/par/rcv/model@9E\r\n");
    EXPECT_EQ(bad, "ER00FChecksum error\n");
    // A single bit changed in the command is caught as well.
    EXPECT_EQ(sim.raw("%%print,/par/rcv/modem@9F\r\n").substr(0, 2), "ER");
}

TEST(SimReplies, JoinedCommandsAndLineEnds) {
    Sim sim;
    EXPECT_EQ(sim.say("%%dm||%%dm||%%dm"), "RE003%%\nRE003%%\nRE003%%\n");
    std::string two = sim.say("%a%print,/par/rcvid&&%b%print,/par/none");
    auto c = split(two);
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0], "RE00F%a%8PZCRG4KZ7E\n");
    EXPECT_EQ(c.messages[1].substr(0, 2), "ER");
    // The wake-up sequence: only "dm" is answered; CR and LF each end a line.
    EXPECT_EQ(sim.raw("##\n#OFF#\r\ndm\r\n"), "RE001\n");
    EXPECT_EQ(sim.raw("##\ndm\n%%"), "RE001\n");
    EXPECT_EQ(sim.raw("\r\n"), "RE003%%\n"); // the "%%" above ends here
    EXPECT_EQ(sim.raw("# a comment\r\n\r\n\n"), "");
    TSimOptions o;
    o.echoOff = "QUIET";
    Sim quiet(o);
    EXPECT_EQ(quiet.raw("QUIET\r\n"), "");
}

TEST(SimParams, SetValidatesAndReadsBack) {
    Sim sim;
    EXPECT_EQ(sim.say("%%set,/par/pwr/mode,mix").substr(0, 2), "RE");
    EXPECT_EQ(sim.print("/par/pwr/mode"), "mix");
    EXPECT_NE(sim.say("%%set,/par/pwr/mode,battery").find("Invalid value"), std::string::npos);
    EXPECT_EQ(sim.print("/par/pwr/mode"), "mix");
    EXPECT_EQ(sim.say("%%set,/par/pos/elm,91").substr(0, 2), "ER");
    EXPECT_EQ(sim.say("%%set,/par/pos/elm,+07").substr(0, 2), "RE");
    EXPECT_EQ(sim.print("/par/pos/elm"), "7");
    EXPECT_NE(sim.say("%%set,/par/rcv/model,X").find("Read only"), std::string::npos);
    EXPECT_NE(sim.say("%%set,/par/no/such,1").find("Unknown parameter"), std::string::npos);
    EXPECT_EQ(sim.say("%%set,/par/pos/elm").substr(0, 2), "ER");

    EXPECT_EQ(sim.say("%%init,/par/").substr(0, 2), "RE");
    EXPECT_EQ(sim.print("/par/pwr/mode"), "auto");
    EXPECT_EQ(sim.print("/par/pos/elm"), "5");
    EXPECT_EQ(sim.say("%%init,/par/nothing").substr(0, 2), "ER");
}

TEST(SimParams, CurrentTerminalAliasesAndAttributes) {
    Sim sim;
    EXPECT_EQ(sim.print("/cur/term"), "/dev/ser/a");
    EXPECT_EQ(sim.print("cur/term/rate"), "115200");
    EXPECT_EQ(sim.print("/par/cur/term/rate"), "115200");
    EXPECT_EQ(sim.print("/par/cur/term/rate&def"), "115200");
    EXPECT_EQ(sim.say("%%set,/par/out/elm/cur/term,-90").substr(0, 2), "RE");
    EXPECT_EQ(sim.print("/par/out/elm/dev/ser/a"), "-90");
    EXPECT_EQ(sim.print("/par/out/elm/cur/term"), "-90");
    EXPECT_EQ(sim.print("/par/dev/ser/b/rate"), "115200");
    EXPECT_EQ(sim.print("/par/rcv/ver/pow:on"), "{fw=1.30,hw=PB-2}");
    EXPECT_EQ(sim.print("/dev/blk/a&block_size"), "2048");
}

TEST(SimParams, EveryPathTheSessionAndReportReadAnswers) {
    TSimOptions o;
    o.model = "KESTA";
    o.serial = "12345678";
    o.firmware = "2.6";
    Sim sim(o);
    EXPECT_EQ(sim.print("/par/rcv/model"), "KESTA");
    EXPECT_EQ(sim.print("/par/rcv/sn"), "12345678");
    EXPECT_EQ(sim.print("/par/rcv/ver/main"), "2.6");
    EXPECT_EQ(sim.print("/par/version/main").substr(0, 4), "2.6 ");
    const char* const paths[] = {"/par/rcvid",
                                 "/par/pos/elm",
                                 "/par/out/elm/cur/term",
                                 "/par/base/mode",
                                 "/par/rover/mode",
                                 "/par/pos/pd/reset",
                                 "/par/rcv/ver/board",
                                 "/par/rcv/mem",
                                 "/par/pwr/ext",
                                 "/par/ant/curinp",
                                 "/par/ant/dc",
                                 "/par/pwr/mode",
                                 "/par/pwr/curmode",
                                 "/par/pwr/charge/bat",
                                 "/par/pwr/charge/curbat",
                                 "/par/pwr/charge/speed",
                                 "/par/pwr/charge/curspeed",
                                 "/par/pwr/bat/a",
                                 "/par/pwr/bat/b",
                                 "/par/pwr/board",
                                 "/par/pwr/charger",
                                 "/par/pwr/extports",
                                 "/par/pwr/chdc",
                                 "/par/pwr/d3v",
                                 "/par/pwr/a3v",
                                 "/par/pwr/d5v",
                                 "/par/pwr/a5v",
                                 "/par/dev/thermo/out",
                                 "/par/dev/blk/a/size",
                                 "/par/dev/blk/a/free",
                                 "/par/dev/blk/a/files",
                                 "/par/dev/blk/a/bad_blocks",
                                 "/par/dev/blk/a/verify",
                                 "/dev/blk/a&blocks",
                                 "/par/dev/ser/a/parity",
                                 "/par/dev/ser/a/stops",
                                 "/par/dev/ser/a/rtscts",
                                 "/par/dev/ser/a/ir",
                                 "/par/rcv/uptime",
                                 "/par/rcv/ver/hw",
                                 "/par/rcv/ver/boot",
                                 "/par/rcv/flash/waitstates",
                                 "/par/rcv/ver/pow/fw",
                                 "/par/rcv/ver/pow/hw",
                                 "/par/cpu/frq",
                                 "/par/raw/curmsint",
                                 "/par/pos/curmsint",
                                 "/par/opts/cur/_RAW",
                                 "/par/opts/cur/_POS",
                                 "/par/cur/term/imode"};
    for (const char* p : paths) {
        std::string v = sim.print(p);
        EXPECT_NE(v, "ER") << p;
        EXPECT_FALSE(v.empty()) << p;
    }
    EXPECT_EQ(std::stoul(sim.print("/dev/blk/a&block_size")) *
                  std::stoul(sim.print("/dev/blk/a&blocks")),
              std::stoul(sim.print("/par/dev/blk/a/size")));
}

TEST(SimParams, PortRateChangesOnlyAfterItsReply) {
    Sim sim;
    std::string r = sim.say("%%set,/par/cur/term/rate,9600");
    ASSERT_EQ(r, "RE003%%\n");
    ASSERT_EQ(sim.host.events.size(), 1u);
    EXPECT_EQ(sim.host.events[0], "rate 9600 at 8"); // queued behind the whole reply
    EXPECT_EQ(sim.print("cur/term/rate"), "9600");
    EXPECT_EQ(sim.say("%%set,cur/term/rate,12345").substr(0, 2), "ER");
    EXPECT_EQ(sim.host.events.size(), 1u);
    EXPECT_EQ(sim.say("set,cur/term/rate,57600"), "RE001\n");
    EXPECT_EQ(sim.host.events.back(), "rate 57600 at 6");
    // Initialising the parameters brings the factory rate back, again after the reply.
    sim.say("%%init,/par/");
    EXPECT_EQ(sim.host.events.back(), "rate 115200 at 8");
}

TEST(SimParams, LongValuesComeAsSeveralReplies) {
    Sim sim;
    std::string all = sim.say("%%print,/:on");
    auto c = split(all);
    ASSERT_GT(c.messages.size(), 1u);
    EXPECT_EQ(c.garbage, 0u);
    std::string value;
    for (auto& m : c.messages) {
        ASSERT_EQ(m.substr(0, 7), "RE" + m.substr(2, 3) + "%%");
        ASSERT_EQ(m.back(), '\n');
        value += m.substr(7, m.size() - 8);
    }
    int depth = 0;
    for (char ch : value)
        depth += ch == '{' ? 1 : ch == '}' ? -1 : 0;
    EXPECT_EQ(depth, 0);
    EXPECT_NE(value.find("model=VORNA"), std::string::npos);
    EXPECT_NE(value.find("version={main=\"3.1 "), std::string::npos);
}

TEST(SimMessages, ListsEnableAndDisablePerPort) {
    Sim sim;
    EXPECT_EQ(sim.say("%%em,,vxr{/PG,/SI:2}").substr(0, 2), "RE");
    EXPECT_EQ(sim.engine.enabledMessages(), (std::vector<std::string>{"SI", "PG"}));
    EXPECT_EQ(sim.say("em,/cur/term,vxr/EE:{1}").substr(0, 2), "RE");
    EXPECT_EQ(sim.say("em,,def:{1}").substr(0, 2), "RE");
    auto on = sim.engine.enabledMessages();
    EXPECT_EQ(on.front(), "RT");
    EXPECT_EQ(on.back(), "EE");
    EXPECT_EQ(sim.print("/par/out/cur/term/vxr/SI"), "{1.00,0.00}"); // def overrode the period

    // An unknown name refuses the whole list.
    EXPECT_NE(sim.say("%%em,,vxr{/MS,/ZZ}").find("Unknown message"), std::string::npos);
    EXPECT_EQ(std::count(on.begin(), on.end(), "MS"), 0);
    EXPECT_EQ(sim.engine.enabledMessages(), on);
    EXPECT_EQ(sim.say("%%em,/dev/ser/x,vxr/PG").substr(0, 2), "ER");
    EXPECT_EQ(sim.say("%%em,,vxr{/PG:x}").substr(0, 2), "ER");

    EXPECT_EQ(sim.say("%%dm,,vxr/SI").substr(0, 2), "RE");
    on = sim.engine.enabledMessages();
    EXPECT_EQ(std::count(on.begin(), on.end(), "SI"), 0);

    EXPECT_EQ(sim.say("%%em,/dev/ser/b,vxr{/PG:5}").substr(0, 2), "RE");
    EXPECT_EQ(sim.print("/par/out/dev/ser/b:on"), "{vxr/PG={5.00,0.00}}");
    EXPECT_EQ(sim.say("%Stop!%dm").substr(0, 2), "RE");
    EXPECT_TRUE(sim.engine.enabledMessages().empty());
    EXPECT_EQ(sim.engine.enabledMessages("/dev/ser/b"), std::vector<std::string>{"PG"});
    sim.say("dm,/dev/ser/b");
    EXPECT_TRUE(sim.engine.enabledMessages("/dev/ser/b").empty());
}

TEST(SimMessages, MonitoringEpochsPassTheSplitterAndFollowTheirLayouts) {
    TSimOptions o;
    o.solutionCycleS = 20;
    Sim sim(o);
    enableList(sim, kMonitorList);
    sim.say("%%set,/par/out/elm/cur/term,-90");
    auto c = split(sim.epochs(40));
    EXPECT_EQ(c.garbage, 0u);
    ASSERT_GT(c.messages.size(), 40u * 20);

    std::set<int> types;
    std::uint32_t lastTime = 0;
    std::size_t sats = 0, glonass = 0;
    int epoch = 0;
    for (std::size_t i = 0; i < c.messages.size(); ++i) {
        const std::string& m = c.messages[i];
        std::string id = m.substr(0, 2);
        std::size_t len = bodyLength(m);
        ASSERT_EQ(telvor::checkMessage(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()),
                  telvor::CheckResult::Good);
        if (id == "~~") {
            ASSERT_TRUE(i == 0 || c.messages[i - 1].substr(0, 2) == "||");
            std::uint32_t t = field<std::uint32_t>(m, 0);
            if (lastTime) {
                EXPECT_EQ(t, lastTime + 1000);
            }
            lastTime = t;
        } else if (id == "RD") {
            EXPECT_EQ(field<std::uint16_t>(m, 0), 2006);
            EXPECT_EQ(m[7], 5);
        } else if (id == "SI") {
            sats = len - 1;
            glonass = 0;
            for (std::size_t k = 0; k < sats; ++k) {
                int index = static_cast<std::uint8_t>(m[5 + k]);
                glonass += index >= 38 && index <= 70;
                EXPECT_TRUE((index >= 1 && index <= 37) || (index >= 38 && index <= 70) ||
                            (index >= 120 && index <= 138));
            }
            if (++epoch > 12) { // satellites are acquired over the first seconds
                EXPECT_GE(sats, 8u);
            }
        } else if (id == "NN") {
            EXPECT_EQ(len - 1, glonass);
        } else if (id == "EL" || id == "AZ" || id == "EC" || id == "E1" || id == "E2") {
            EXPECT_EQ(len - 1, sats) << id;
        } else if (id == "SS") {
            EXPECT_EQ(len - 2, sats);
        } else if (id == "TC") {
            EXPECT_EQ(len - 1, 2 * sats);
        } else if (id == "DC") {
            EXPECT_EQ(len - 1, 4 * sats);
        } else if (id == "PG") {
            ASSERT_EQ(len, 30u);
            int type = static_cast<std::uint8_t>(m[5 + 28]);
            types.insert(type);
            if (type > 0) {
                EXPECT_NEAR(field<double>(m, 0) * 180 / M_PI, o.latDeg, 1e-4);
                EXPECT_NEAR(field<double>(m, 8) * 180 / M_PI, o.lonDeg, 1e-4);
                EXPECT_NEAR(field<double>(m, 16), o.heightM, 30);
            }
        } else if (id == "PV") {
            EXPECT_EQ(len, 46u);
        } else if (id == "DP" || id == "SG") {
            EXPECT_GE(len, 13u);
        } else if (id == "MS") {
            EXPECT_EQ(m.substr(6, 6), "RTCMST");
        }
    }
    EXPECT_EQ(c.messages.back().substr(0, 2), "||");
    EXPECT_EQ(c.count("~~"), 40u);
    EXPECT_EQ(c.count("||"), 40u);
    // Over a short cycle the solution goes through several types.
    EXPECT_GE(types.size(), 3u);
}

TEST(SimMessages, TextMessagesKeepTheirFormats) {
    TSimOptions o;
    o.solutionCycleS = 10;
    Sim sim(o);
    sim.say("em,,vxr{/MS,/GS,/NS}");
    sim.say("%%set,/par/out/elm/cur/term,-90");
    auto c = split(sim.epochs(12));
    std::set<std::string> ms;
    for (auto& m : c.messages) {
        if (m.substr(0, 2) == "MS") {
            ms.insert(m);
            // The positions the link-status reader relies on.
            EXPECT_EQ(m.substr(6, 6), "RTCMST");
            for (std::size_t comma : {5u, 12u, 21u, 26u})
                EXPECT_EQ(m[comma], ',') << m;
            EXPECT_EQ(m[m.size() - 3], '@');
            continue;
        }
        // Satellite views: tag, count, then that many groups, then the checksum field.
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= m.size(); ++i)
            if (i == m.size() || m[i] == ',') {
                f.push_back(m.substr(start, i - start));
                start = i + 1;
            }
        bool gps = m.substr(0, 2) == "GS";
        EXPECT_EQ(f[1], gps ? "GPSVST" : "GLSVST");
        int n = std::stoi(f[2]);
        std::size_t group = gps ? 7 : 8;
        ASSERT_EQ(f.size(), 3 + n * group + 1) << m;
        EXPECT_EQ(f.back().size(), 3u);
        EXPECT_EQ(f.back()[0], '@');
        for (int k = 0; k < n; ++k)
            EXPECT_EQ(f[3 + k * group].size(), 3u); // satellite number, zero-padded
    }
    EXPECT_TRUE(ms.count("MS020,RTCMST,999,0000,0000,100.00,@1F"));
    EXPECT_GE(ms.size(), 2u); // a link appears once the solution is differential
}

TEST(SimMessages, PeriodsOnChangeAndOnce) {
    Sim sim;
    sim.say("em,,vxr{/RT,/SI:2,/GA:0,/PG:0}");
    auto c = split(sim.epochs(200));
    EXPECT_EQ(c.count("~~"), 200u);
    EXPECT_NEAR(static_cast<double>(c.count("SI")), 100, 1);
    // Almanacs arrive one satellite at a time, not every epoch.
    EXPECT_GT(c.count("GA"), 20u);
    EXPECT_LT(c.count("GA"), 60u);
    EXPECT_GT(c.count("PG"), 150u);

    sim.say("dm");
    std::string once = sim.say("%%out,,vxr/PG");
    auto o = split(once);
    ASSERT_EQ(o.messages.size(), 2u);
    EXPECT_EQ(o.messages[0], "RE003%%\n");
    EXPECT_EQ(o.messages[1].substr(0, 2), "PG");
    EXPECT_EQ(sim.epochs(2), "");
}

TEST(SimSky, SatellitesRiseSetAndFollowTheUser) {
    TSimOptions o;
    o.epochStepMs = 60000;
    Sim sim(o);
    sim.say("%%set,/par/out/elm/cur/term,-90");
    sim.say("%%set,/par/pos/gps/sat/3,off");
    sim.say("em,,vxr{/SI,/EL,/EC,/SS}");
    auto c = split(sim.epochs(180)); // three hours
    std::set<int> first, later, statuses;
    std::vector<std::pair<int, int>> elevationSnr;
    std::string si, el;
    int epoch = 0;
    for (auto& m : c.messages) {
        std::string id = m.substr(0, 2);
        std::string body = m.substr(5, bodyLength(m) - 1);
        if (id == "SI") {
            si = body;
            ++epoch;
            for (unsigned char s : body) {
                if (epoch == 10)
                    first.insert(s);
                if (epoch == 170)
                    later.insert(s);
            }
        } else if (id == "EL") {
            el = body;
        } else if (id == "EC") {
            for (std::size_t k = 0; k < body.size(); ++k)
                elevationSnr.emplace_back(static_cast<signed char>(el[k]),
                                          static_cast<unsigned char>(body[k]));
        } else if (id == "SS") {
            for (std::size_t k = 0; k + 1 < body.size(); ++k) {
                statuses.insert(static_cast<unsigned char>(body[k]));
                if (static_cast<unsigned char>(si[k]) == 3) {
                    EXPECT_EQ(static_cast<unsigned char>(body[k]), 13);
                }
            }
        }
    }
    EXPECT_NE(first, later); // the sky moved
    double lowSnr = 0, highSnr = 0;
    int lows = 0, highs = 0;
    for (auto [e, s] : elevationSnr) {
        if (e < 20)
            lowSnr += s, ++lows;
        if (e > 60)
            highSnr += s, ++highs;
    }
    ASSERT_GT(lows, 0);
    ASSERT_GT(highs, 0);
    EXPECT_GT(highSnr / highs, lowSnr / lows + 5);
    EXPECT_TRUE(statuses.count(0));                       // used
    EXPECT_TRUE(statuses.count(13));                      // excluded by the user
    EXPECT_TRUE(statuses.count(6) || statuses.count(10)); // unhealthy
}

TEST(SimSky, SameSeedAndTimeGiveTheSameBytes) {
    Sim a, b;
    a.say("em,,def:{1}");
    b.say("em,,def:{1}");
    EXPECT_EQ(a.epochs(20), b.epochs(20));
    TSimOptions o;
    o.seed = 2;
    Sim c(o);
    c.say("em,,def:{1}");
    EXPECT_NE(a.epochs(5), c.epochs(5));
}

TEST(SimRestart, ResetAndNvramClear) {
    TSimOptions o;
    o.defaultBaud = 9600;
    Sim sim(o);
    EXPECT_EQ(sim.print("cur/term/rate"), "115200");
    sim.say("%%set,/par/pos/elm,12");
    sim.say("em,,vxr/PG");
    EXPECT_EQ(sim.say("%%set,reset,no").substr(0, 2), "ER");
    EXPECT_TRUE(sim.host.events.empty());
    EXPECT_EQ(sim.say("%%set,reset,yes"), "RE003%%\n");
    EXPECT_EQ(sim.host.events.back(), "reset at 8");
    sim.engine.reboot(false);
    EXPECT_TRUE(sim.engine.enabledMessages().empty());
    EXPECT_EQ(sim.print("/par/pos/elm"), "12"); // kept in NVRAM
    EXPECT_EQ(sim.print("/par/rcv/uptime"), "0");

    EXPECT_EQ(sim.say("%%init,/dev/nvm/a"), "RE003%%\n");
    EXPECT_EQ(sim.host.events.back(), "nvram at 8");
    sim.engine.reboot(true);
    EXPECT_EQ(sim.print("/par/pos/elm"), "5");
    EXPECT_EQ(sim.print("cur/term/rate"), "9600");
    EXPECT_EQ(sim.engine.portRate(), 9600u);
    EXPECT_EQ(sim.engine.restarts(), 2);
}

// A powered-up engine answers and sends exactly what a new one does.
TEST(SimRestart, PowerUpIsANewEngine) {
    TSimOptions o;
    o.files = {{"alpha", 100, 1}};
    Sim fresh(o), used(o);
    used.say("%%set,/par/pos/elm,12");
    used.say("em,,def:{1}");
    used.say("%%remove,\"/log/alpha\"");
    used.say("%%create,\"/log/beta\"");
    used.epochs(30);
    used.raw("%%print,/par/rcv/mo"); // a partial line
    used.engine.powerUp(kStart);
    EXPECT_EQ(used.engine.receiverTimeMs(), kStart);
    EXPECT_EQ(used.engine.epochs(), 0u);
    EXPECT_TRUE(used.engine.enabledMessages().empty());
    EXPECT_TRUE(used.engine.commands().empty());
    ASSERT_EQ(used.engine.files().files().size(), 1u);
    EXPECT_EQ(used.engine.files().files()[0].name, "alpha");
    EXPECT_EQ(used.print("/par/pos/elm"), "5");
    for (Sim* s : {&fresh, &used})
        s->say("em,,def:{1}");
    EXPECT_EQ(used.epochs(20), fresh.epochs(20));
}

TEST(SimFaults, RefuseIgnoreAndInputMode) {
    TSimOptions o;
    o.faults.refuse = "^em";
    o.faults.ignore = "rcvid";
    Sim sim(o);
    EXPECT_EQ(sim.say("%%em,,vxr/PG"), "ER010Command refused\n");
    EXPECT_EQ(sim.say("%%print,/par/rcvid"), "");
    EXPECT_EQ(sim.say("%%print,/par/rcv/model").substr(0, 2), "RE");
    sim.engine.setFaults({});
    EXPECT_EQ(sim.say("%%em,,vxr/PG").substr(0, 2), "RE");
    // A port whose input mode is not commands ignores them, as the receiver would.
    EXPECT_EQ(sim.say("%%set,/par/cur/term/imode,none").substr(0, 2), "RE");
    EXPECT_EQ(sim.say("%%set,/par/cur/term/imode,cmd"), "");
    EXPECT_EQ(sim.engine.commands().back(), "%%set,/par/cur/term/imode,none");
}
