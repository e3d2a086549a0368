// The receiver's file list: elements as the receiver prints them, sorting by column, target
// names, and a whole list read from the simulated receiver.
#include "files/Receiverlist.h"
#include "links/Portio.h"
#include "sim/Receiver.h"
#include "support/Peers.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

TFileEntry parsed(const std::string& text) {
    TFileEntry e;
    EXPECT_TRUE(ParseFileListElement(text, e)) << text;
    return e;
}

std::vector<std::string> names(const TFileListView& list) {
    std::vector<std::string> out;
    for (const auto& e : list.entries)
        out.push_back(e.name);
    return out;
}

} // namespace

TEST(FileListElement, OneFileListKeepsBlanksInTheName) {
    TFileEntry e = parsed("{{abc def,1024,12345}}");
    EXPECT_EQ(e.name, "abc def");
    EXPECT_EQ(e.caption, "abc def.vxr");
    EXPECT_EQ(e.size, "1024");
    EXPECT_EQ(e.time, 12345);
    EXPECT_EQ(FileDate(e.time), "01/01/88");
    EXPECT_EQ(FileTimeOfDay(e.time), "03:25:45");
}

TEST(FileListElement, FirstMiddleAndLastElementsOfALongerList) {
    EXPECT_EQ(parsed("{{a,1,2},").name, "a");
    EXPECT_EQ(parsed("{b,3,4},").size, "3");
    TFileEntry c = parsed("{c,5,6}}");
    EXPECT_EQ(c.name, "c");
    EXPECT_EQ(c.time, 6);
    TFileEntry blanks = parsed(" { d e ,7, x },");
    EXPECT_EQ(blanks.name, "d e");
    EXPECT_EQ(blanks.time, 0); // a time that is no number reads 0
}

TEST(FileListElement, AnythingButThreeFieldsIsRefused) {
    TFileEntry e;
    for (const char* bad : {"{{a,1}}", "{{a,1,2,3}}", "{}", "", "{{noname}}", "{\"a,1,2}"})
        EXPECT_FALSE(ParseFileListElement(bad, e)) << bad;
}

TEST(FileListView, ColumnClicksFlipOrKeepTheDirection) {
    TFileListView list;
    list.entries = {parsed("{{b,30,1},"), parsed("{a,200,3},"), parsed("{c,4,2}}")};
    list.Sort();
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "b", "c"}));
    list.ColumnClick(1); // the same column flips
    EXPECT_EQ(names(list), (std::vector<std::string>{"c", "b", "a"}));
    list.ColumnClick(3); // another column keeps descending, by size as a number
    EXPECT_EQ(list.sortKey, -3);
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "b", "c"}));
    list.ColumnClick(3);
    list.ColumnClick(4); // ascending by time
    EXPECT_EQ(names(list), (std::vector<std::string>{"b", "c", "a"}));
    list.SetTargetName(0, "");
    list.SetTargetName(1, "day2");
    list.SetTargetName(2, "raw.bin");
    EXPECT_EQ(list.entries[0].caption, "b.vxr");
    EXPECT_EQ(list.entries[1].caption, "day2.vxr");
    EXPECT_EQ(list.entries[2].caption, "raw.bin");
}

class FileListSimTest : public telvor::testing::TLinkFixture {
protected:
    void start(std::vector<telvorsim::TSeedFile> files) {
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = std::move(files);
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty());
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
    }
    void TearDown() override {
        CloseReceiverConnection();
        sim.reset();
        TLinkFixture::TearDown();
    }
    std::unique_ptr<telvorsim::TSimReceiver> sim;
};

TEST_F(FileListSimTest, ListReadFromTheReceiver) {
    start({{"zeta", 10, 1}, {"day one", 70000, 2}, {"alpha", 0, 3}});
    TFileListView list;
    ASSERT_EQ(list.Fill(), "");
    EXPECT_EQ(names(list), (std::vector<std::string>{"alpha", "day one", "zeta"}));
    EXPECT_EQ(list.entries[1].size, "70000");
    EXPECT_EQ(list.entries[1].time, sim->file("day one")->time);
}

TEST_F(FileListSimTest, EmptyMemoryGivesAnEmptyList) {
    start({});
    TFileListView list;
    list.entries.push_back({});
    EXPECT_EQ(list.Fill(), "");
    EXPECT_TRUE(list.entries.empty());
}
