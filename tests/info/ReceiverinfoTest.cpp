// The report's texts from a table of answers: which lines each model and firmware gets, how
// missing and odd answers show, and the files' fixed layouts.
#include "support/Tempdir.h"

#include "info/Receiverinfo.h"
#include "info/Reportfile.h"
#include "info/Reportlayout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using namespace telvor;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class TTableSource : public TParamSource {
public:
    std::map<std::string, std::string> answers = {
        {"/par/rcv/model", "VORNA"},
        {"/par/rcv/sn", "12345678"},
        {"/par/rcvid", "ID1"},
        {"/par/version/main", "3.1 Mar,14,2007"},
        {"/par/pos/pd/reset", "off"},
        {"/par/rcv/ver/board", "MB-4"},
        {"/par/rcv/mem", "32768"},
        {"/par/rcv/ver/pow:on", "{1.30,PB-2}"},
        {"/par/pwr/ext", "12.4"},
        {"/par/pwr/chdc", "0.000"},
        {"/dev/blk/a&block_size", "2048"},
        {"/dev/blk/a&blocks", "100"},
        {"/cur/term", "/dev/ser/a"},
        {"/par/dev/ser/a/rate", "115200"},
        {"/par/rcv/flash/waitstates", "2"},
    };
    std::string value(const std::string& path) override {
        auto it = answers.find(path);
        return it == answers.end() ? "v(" + path + ")" : it->second;
    }
};

bool has(const std::vector<std::string>& memo, const std::string& prefix) {
    return std::any_of(memo.begin(), memo.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

int rules(const std::vector<std::string>& memo) {
    return int(std::count(memo.begin(), memo.end(), std::string(78, '-')));
}

} // namespace

TEST(ReceiverMemo, PowerModelGetsEverySection) {
    TTableSource s;
    auto memo = receiverMemo(s, 3001);
    EXPECT_EQ(memo.front(), "Receiver model:\tVORNA");
    EXPECT_THAT(memo, Contains("RTK support:\tyes"));
    EXPECT_THAT(memo, Contains("RAM size:\t\t32768KB"));
    EXPECT_THAT(memo, Contains("Power Board:\tPB-2 , 1.30"));
    EXPECT_THAT(memo, Contains("Power source:\tv(/par/pwr/mode)"));
    EXPECT_THAT(memo, Contains("On ports (V):\tv(/par/pwr/extports)"));
    EXPECT_FALSE(has(memo, "Charger speed:"));  // LUMIQ only
    EXPECT_FALSE(has(memo, "Charger current")); // 0 A
    EXPECT_THAT(memo, Contains("Temperature (\u00b0C):\tv(/par/dev/thermo/out)"));
    EXPECT_THAT(memo, Contains("Physical memory:\t204800 bytes"));
    EXPECT_THAT(memo, Contains("Speed:\t\t115200"));
    EXPECT_THAT(memo, Contains("Infrared:\t\tv(/par/dev/ser/a/ir)"));
    EXPECT_EQ(memo.back(), "Wait states:\t2");
    // After the version lines, around the power section, before memory, port and versions.
    EXPECT_EQ(rules(memo), 5);
}

TEST(ReceiverMemo, ModelNamesSelectSectionsByTheirOwnRules) {
    TTableSource s;
    s.answers["/par/rcv/model"] = "vorna"; // upper-cased for the power section only
    auto memo = receiverMemo(s, 3001);
    EXPECT_TRUE(has(memo, "Power source:"));
    EXPECT_FALSE(has(memo, "Power Board:"));

    s.answers["/par/rcv/model"] = "LUMIQ"; // charger speed, but no power board
    memo = receiverMemo(s, 3001);
    EXPECT_TRUE(has(memo, "Charger speed:\t"));
    EXPECT_TRUE(has(memo, "Charger cur.speed:\t"));
    EXPECT_FALSE(has(memo, "Power Board:"));

    s.answers["/par/rcv/model"] = "ORBEX";
    memo = receiverMemo(s, 3001);
    EXPECT_FALSE(has(memo, "Power source:"));
    EXPECT_FALSE(has(memo, "Battery A(V):"));
    EXPECT_FALSE(has(memo, "Power Board:"));
    EXPECT_TRUE(has(memo, "Digital part 3.3V (V):\t"));
    EXPECT_EQ(rules(memo), 4);
}

TEST(ReceiverMemo, VersionThresholds) {
    TTableSource s;
    EXPECT_FALSE(has(receiverMemo(s, 2001), "Power Board:"));
    EXPECT_TRUE(has(receiverMemo(s, 2002), "Power Board:"));

    auto old = receiverMemo(s, 1008);
    EXPECT_FALSE(has(old, "Power source:"));
    EXPECT_FALSE(has(old, "Digital part 3.3V"));
    EXPECT_FALSE(has(old, "Wait states:"));
    EXPECT_EQ(rules(old), 3);
    EXPECT_TRUE(has(receiverMemo(s, 1009), "Wait states:"));
}

TEST(ReceiverMemo, MissingAndOddAnswers) {
    TTableSource s;
    s.answers["/par/pos/pd/reset"] = kUnknownValue;
    s.answers["/par/rcv/ver/pow:on"] = kUnknownValue;
    s.answers["/dev/blk/a&blocks"] = "12x";
    s.answers["/cur/term"] = "/dev/prl/a";
    s.answers["/par/pwr/chdc"] = "0.5";
    auto memo = receiverMemo(s, 3001);
    EXPECT_THAT(memo, Contains("RTK support:\tno"));
    EXPECT_THAT(memo, Contains("Power Board:\t<unknown>"));
    EXPECT_THAT(memo, Contains("Physical memory:\t<unknown> bytes"));
    EXPECT_THAT(memo, Contains("Charger current (A):\t0.500"));
    EXPECT_THAT(memo, Contains("Current port:\t/dev/prl/a"));
    for (const char* gone : {"Speed:", "Parity:", "Stop bits:", "RTS/CTS:", "Infrared:"})
        EXPECT_FALSE(has(memo, gone)) << gone;

    s.answers["/cur/term"] = kUnknownValue;
    memo = receiverMemo(s, 3001);
    EXPECT_FALSE(has(memo, "Current port:"));
    EXPECT_EQ(rules(memo), 4);
}

TEST(ReportValues, ChargerCurrentPhysicalMemoryAndFileName) {
    EXPECT_EQ(chargerCurrent("0"), "");
    EXPECT_EQ(chargerCurrent("7.5"), "");
    EXPECT_EQ(chargerCurrent("0.0009"), "");
    EXPECT_EQ(chargerCurrent("0.001"), "0.001");
    EXPECT_EQ(chargerCurrent("5"), "5.000");
    for (const char* odd : {"", "inf", "nan", "0x1p-1", "1.2A", "<unknown>"})
        EXPECT_EQ(chargerCurrent(odd), "") << odd;

    EXPECT_EQ(physicalMemory("2048", "16128"), "33030144");
    EXPECT_EQ(physicalMemory("-1", "2"), kUnknownValue);
    EXPECT_EQ(physicalMemory("4294967296", "4294967296"), kUnknownValue); // would wrap
    EXPECT_EQ(physicalMemory("99999999999999999999", "1"), kUnknownValue);

    EXPECT_EQ(proposedReportName("12345678"), "r_345678.txt");
    EXPECT_EQ(proposedReportName(" 1234 \r\n"), "r_1234.txt");
    EXPECT_EQ(proposedReportName("<unknown>"), "report.txt");
    EXPECT_EQ(proposedReportName("  "), "report.txt");
}

TEST(ReportFiles, HeaderAndFixedLayouts) {
    EXPECT_EQ(buildDateText("Oct 10 2006"), "October 10, 2006");
    EXPECT_EQ(buildDateText("Dec  8 2026"), "December 8, 2026");
    EXPECT_EQ(buildDateText("later"), "later");
    std::tm now{};
    now.tm_year = 107, now.tm_mon = 2, now.tm_mday = 4, now.tm_hour = 9, now.tm_min = 5;
    EXPECT_EQ(headerLines("Telvor", versionAndBuild("1.2.3", "March 1, 2007"), now),
              "Created by Telvor Version 1.2.3 (Build: March 1, 2007)  \n"
              "Current Date: March 04, 2007 09:05:00  \n");

    TTableSource s;
    std::string fixed = fixedLayout(s, 2001);
    const std::string rule(68, '-');
    EXPECT_EQ(fixed.rfind("Receiver model:        VORNA\n"
                          "Receiver ID:           ID1\n"
                          "Firmware version:      3.1 Mar,14,2007\n",
                          0),
              0u);
    EXPECT_THAT(fixed, HasSubstr("\nRTK support:           yes\n"));
    EXPECT_THAT(fixed, HasSubstr("\nCharger speed:       v(/par/pwr/charge/speed)\n"));
    EXPECT_THAT(fixed, HasSubstr("\nPhysical memory:    204800 bytes\n" + rule +
                                 "\nCurrent port:  /dev/ser/a\nSpeed:        115200\n"));
    EXPECT_THAT(fixed, Not(HasSubstr("RTS/CTS")));
    const std::string tail = "\nWait states:           2\n" + rule + "\n";
    EXPECT_EQ(fixed.substr(fixed.size() - tail.size()), tail);

    std::string report = reportLayout(s, 2001);
    EXPECT_EQ(report.rfind("Receiver parameters\n"
                           "Serial number:             12345678\n"
                           "Receiver model:            VORNA\n",
                           0),
              0u);
    EXPECT_THAT(report, HasSubstr("\nExtternal power (V):       12.4\n"));
    EXPECT_THAT(report, HasSubstr("\nPhysical memory (bytes):   204800\n"));
    EXPECT_THAT(report, HasSubstr("\nWait states:               2\n"));
    EXPECT_THAT(reportLayout(s, 1008), Not(HasSubstr("Wait states")));
}

TEST(ReportFiles, AFailedWriteIsReportedAndLeavesNoFile) {
    telvor::testing::TTempDir tmp("telvor-report");
    TTableSource s;
    TReportRequest r;
    r.kind = TReportKind::Report;
    r.path = (tmp.path / "missing" / "r.txt").string();
    bool ok = true;
    EXPECT_EQ(writeReport(r, s, ok), "Unable to create " + r.path);
    EXPECT_FALSE(ok);

    r.path = (tmp.path / "r.txt").string();
    EXPECT_EQ(writeReport(r, s, ok), "Saved to " + r.path);
    EXPECT_TRUE(ok);

    // A full device: the file is opened, the write fails, nothing half-written stays.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(writeTextFile("/dev/full", std::string(1 << 16, 'x')));
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
}
