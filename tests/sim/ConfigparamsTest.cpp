// The configuration pages' parameters in the simulated receiver: satellite lists as y/n lists,
// the datum records only the user datums take, and a model that lacks parts of the tree.
#include "sim/Engine.h"
#include "support/Simclient.h"

#include <gtest/gtest.h>

using namespace telvorsim;

namespace {

struct TQuietEngineHost : TEngineHost {
    std::string out;
    void send(std::string bytes, bool) override { out += bytes; }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

struct Sim {
    explicit Sim(TSimOptions o = {})
        : options(std::move(o)), engine(options, host, "/dev/ser/a", 1146668399000) {}
    // The value of the reply, or "ER" when refused.
    std::string say(const std::string& command) {
        host.out.clear();
        const std::string line = telvor::formatCommandLine("%%" + command);
        engine.receive(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        if (host.out.compare(0, 2, "RE") != 0)
            return "ER";
        return host.out.substr(7, host.out.size() - 8);
    }
    TSimOptions options;
    TQuietEngineHost host;
    TEngine engine;
};

std::string yn(int count, int no = 0) {
    std::string out = "{";
    for (int i = 1; i <= count; ++i)
        out += std::string(i > 1 ? "," : "") + (i == no ? "n" : "y");
    return out + "}";
}

TEST(ConfigparamsTest, SatelliteListsAreTheLeavesAsOneList) {
    Sim sim;
    EXPECT_EQ(sim.say("print,/par/lock/gps/sat"), yn(32));
    EXPECT_EQ(sim.say("set,/par/pos/gps/sat/5,off"), "");
    EXPECT_EQ(sim.say("print,/par/pos/gps/sat"), yn(37, 5));
    // Taken with or without the slash; a shorter list sets the first ones.
    EXPECT_EQ(sim.say("set,/par/lock/glo/fcn/," + yn(24, 3)), "");
    EXPECT_EQ(sim.say("print,/par/lock/glo/fcn/3"), "off");
    EXPECT_EQ(sim.say("set,/par/pos/gps/sat,{y,y,y,y,y}"), "");
    EXPECT_EQ(sim.say("print,/par/pos/gps/sat/5"), "on");
    for (const char* bad : {"{y,x}", "{y,{n}}", "y,n", "{}"})
        EXPECT_EQ(sim.say(std::string("set,/par/pos/glo/sat,") + bad), "ER") << bad;
    EXPECT_EQ(sim.say("set,/par/lock/gps/sat," + yn(33)), "ER");
    EXPECT_EQ(sim.say("set,/par/pos/sys,{on,off}"), "");
    EXPECT_EQ(sim.say("set,/par/pos/sys,{on,off,on}"), "ER");
    EXPECT_EQ(sim.say("set,/par/pos/sys,{on,yes}"), "ER");
}

TEST(ConfigparamsTest, OnlyUserDatumsChangeAndKeepTheirShape) {
    Sim sim;
    EXPECT_EQ(sim.say("set,/par/pos/datum/P90/par,{P90,0,1,2,3,4,5,6,7}"), "");
    EXPECT_EQ(sim.say("print,/par/pos/datum/P90"),
              "{{P90,6378136.000,298.257839303},{P90,0,1,2,3,4,5,6,7}}");
    EXPECT_EQ(sim.say("set,/par/pos/datum/P90/par,{P90,0,1,2,3,4,5,6}"), "ER");
    EXPECT_EQ(sim.say("set,/par/pos/datum/P90/par,{USER,0,1,2,3,4,5,6,7}"), "ER");
    EXPECT_EQ(sim.say("set,/par/pos/datum/USER,{{U-,6378000,300},{USER,1,0,0,0,0,0,0,x}}"), "ER");
    EXPECT_EQ(sim.say("set,/par/pos/datum/USER,{{U-,6378000,300},{USER,1,0,0,0,0,0,0,1}}"), "");
    EXPECT_EQ(sim.say("print,/par/pos/datum/USER"), "{{U-,6378000,300},{USER,1,0,0,0,0,0,0,1}}");
    EXPECT_EQ(sim.say("set,/par/pos/datum/W84,{{W84,1,1},{W84,0,0,0,0,0,0,0,0}}"), "ER");
    EXPECT_EQ(sim.say("init,/par/"), "");
    EXPECT_EQ(sim.say("print,/par/pos/datum/USER").substr(0, 17), "{{U-,6378137.000,");
}

TEST(ConfigparamsTest, SmallerModelLacksPartsAndTheDatumOption) {
    Sim full;
    EXPECT_EQ(full.say("print,/par/opts/cur/_DTM"), "1");
    EXPECT_EQ(full.say("print,/par/dev/pps/b/out"), "off");
    TSimOptions o;
    o.model = "LUMIQ_E";
    Sim small(o);
    EXPECT_EQ(small.say("print,/par/opts/cur/_DTM"), "0");
    for (const char* lacked : {"/par/dev/pps/b/out", "/par/dev/event/b/in", "/par/hd/mode",
                               "/par/lock/pcode", "/par/waas/2/sat"})
        EXPECT_EQ(small.say(std::string("print,") + lacked), "ER") << lacked;
    EXPECT_EQ(small.say("set,/par/dev/pps/b/out,on"), "ER");
    EXPECT_EQ(small.say("print,/par/dev/pps/a/out"), "off");
}

} // namespace
