// One hand-written monitor epoch through the program's whole path: the splitter, the input
// thread's almanac and event notes, the latest-message table, one display tick. What the main
// window then shows must be exactly the texts written down in tests/data/epoch.txt.
#include "support/Golden.h"
#include "monitor/Displaytick.h"
#include "monitor/Monitorstate.h"
#include "monitor/Parsers.h"
#include "monitor/Satview.h"
#include "protocol/Latestmsgs.h"
#include "protocol/Splitter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace telvor;
using namespace telvor::testing;

namespace {

// The input thread's share in monitoring mode: notes for almanacs and events, then the slot.
struct InputThread : TSplitterSink, TSlotSource {
    explicit InputThread(TMonitorDecoder& d) : decoder(d) {}

    void onMessage(const std::uint8_t* m, std::size_t n) override {
        ++messages;
        if (m[0] == 'X')
            decoder.countEvent(m, n);
        if (m[1] == 'A' && (m[0] == 'G' || m[0] == 'N'))
            decoder.noteAlmanac(m, n);
        table.Store(m, n);
    }
    void onSkipped(const std::uint8_t* b, std::size_t n, bool) override {
        skipped.append(reinterpret_cast<const char*>(b), n);
    }
    void takeSlots(TSlotCopies& out) override {
        for (int row = 0; row < TLatestMessages::kRows; ++row) {
            auto& s = out.rows[static_cast<std::size_t>(row)];
            s.length = table.Length(row);
            std::memcpy(s.bytes.data(), table.Slot(row), s.length);
            table.ClearRow(row);
        }
    }

    TMonitorDecoder& decoder;
    TLatestMessages table;
    int messages = 0;
    std::string skipped;
};

std::vector<std::vector<std::string>> rowsOf(const TSatTable& t) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : t.rows)
        out.push_back(r.cells);
    return out;
}

std::vector<std::vector<std::string>> expectedRows(const TGoldenCase& c, std::string_view key) {
    std::vector<std::vector<std::string>> out;
    for (const auto* e : c.all(key))
        out.push_back(e->tokens);
    return out;
}

class GoldenMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        const auto cases = loadGolden("epoch.txt");
        epoch_ = goldenCase(cases, "epoch");
        next_ = goldenCase(cases, "epoch-2");
        std::istringstream target(epoch_.raw("target"));
        double lat = 0, lon = 0;
        ASSERT_TRUE(target >> lat >> lon) << epoch_.where();
        decoder_.setTarget(lat, lon);
    }

    // Feeds every frame of an epoch as one chunk and runs one display tick.
    void runEpoch(const TGoldenCase& epoch) {
        std::string stream;
        int frames = 0;
        input_.messages = 0;
        for (const auto* e : epoch.all("frame")) {
            stream += e->bytes();
            ++frames;
        }
        TMessageSplitter splitter(input_);
        ASSERT_TRUE(
            splitter.feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()));
        ASSERT_EQ(input_.messages, frames) << epoch.where() << " skipped: " << input_.skipped;
        ASSERT_EQ(display_.tick(true), TMonitorDisplay::TTick::Done);
        ASSERT_EQ(display_.stats().badChecksum, 0u);
    }

    TGoldenCase epoch_, next_;
    TMonitorView view_;
    TTargetPoint target_;
    TMonitorDecoder decoder_{view_, target_};
    InputThread input_{decoder_};
    TQuietMonitorHost host_;
    TMonitorDisplay display_{decoder_, host_, input_};
};

} // namespace

TEST_F(GoldenMonitor, LabelsShowExactlyTheWrittenTexts) {
    runEpoch(epoch_);
    std::map<std::string, std::string> expected;
    for (const auto* e : epoch_.all("label"))
        expected[e->arg] = e->bytes();
    std::map<std::string, std::string> shown;
    for (const auto& [name, text] : view_.visibleLabels())
        if (isMonitorControl(name))
            shown[name] = text;
    for (const auto& [name, text] : expected)
        EXPECT_EQ(shown.count(name) ? shown[name] : "(hidden)", text) << name;
    // Nothing else shows.
    for (const auto& [name, text] : shown)
        EXPECT_TRUE(expected.count(name)) << name << " shows " << text;
    for (const auto* e : epoch_.all("debug"))
        EXPECT_EQ(view_.text(e->arg), e->bytes()) << e->arg;
}

TEST_F(GoldenMonitor, SatelliteListsShowTheWrittenRows) {
    runEpoch(epoch_);
    EXPECT_EQ(rowsOf(view_.gps()), expectedRows(epoch_, "gps"));
    EXPECT_EQ(rowsOf(view_.glonass()), expectedRows(epoch_, "glonass"));
}

TEST_F(GoldenMonitor, NextEpochMarksTrendsWithTheClockRateAndCarrier) {
    runEpoch(epoch_);
    runEpoch(next_);
    EXPECT_EQ(rowsOf(view_.gps()), expectedRows(next_, "gps"));
    EXPECT_EQ(rowsOf(view_.glonass()), expectedRows(next_, "glonass"));
}

TEST_F(GoldenMonitor, SatelliteViewsParseAsWritten) {
    std::vector<std::string> parsed;
    for (const auto* e : epoch_.all("frame")) {
        const std::string m = e->bytes();
        if (m.compare(0, 2, "GS") != 0 && m.compare(0, 2, "NS") != 0)
            continue;
        auto view = parseSatView(m, 0);
        ASSERT_TRUE(view) << "epoch.txt:" << e->line;
        EXPECT_EQ(view->glonass, m[0] == 'N');
        EXPECT_EQ(view->count, static_cast<int>(view->entries.size()));
        for (const auto& s : view->entries) {
            std::ostringstream row;
            row << (view->glonass ? "glonass" : "gps") << ' ' << int(s.number) << ' '
                << int(s.frequency) << ' ' << int(s.elevation) << ' ' << s.azimuth << ' '
                << int(s.ca) << ' ' << int(s.p1) << ' ' << int(s.p2) << ' ' << int(s.status);
            parsed.push_back(row.str());
        }
    }
    std::vector<std::string> expected;
    for (const auto* e : epoch_.all("sky"))
        expected.push_back(e->raw);
    EXPECT_EQ(parsed, expected);
}
