// The site parameters: the event records, the window's checks and what it stores.
#include "config/Siteparams.h"

#include "protocol/Messageformat.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

namespace telvor {
namespace {

// Each record ends in "@" and the checksum of everything before it, upper-case hex.
void expectChecksummed(const std::string& record) {
    ASSERT_GE(record.size(), 3u);
    const std::size_t at = record.size() - 3;
    ASSERT_EQ(record[at], '@') << record;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", rotatingChecksum(record.data(), at + 1));
    EXPECT_EQ(record.substr(at + 1), hex) << record;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("&&", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    out.push_back(text.substr(from));
    return out;
}

TEST(Siteparams, SlantHeightMovingAndNoTypeGiveThreeRecords) {
    TSiteParams site{.siteName = "North", .antennaHeight = "1.5", .slant = true, .status = 1};
    auto records = split(siteEventCommand(site, false));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].substr(0, records[0].size() - 3), "event,\"_SIT=North\"");
    EXPECT_EQ(records[1].substr(0, records[1].size() - 3), "event,\"_ANH=1.5S\"");
    EXPECT_EQ(records[2].substr(0, records[2].size() - 3), "event,\"_DYM=DYNAMIC\"");
    for (const auto& r : records)
        expectChecksummed(r);
    EXPECT_EQ(siteEventCount(site), 3);

    // With the prefix the checksum covers it too.
    for (const auto& r : split(siteEventCommand(site, true))) {
        EXPECT_EQ(r.substr(0, 2), "%%");
        expectChecksummed(r);
    }
}

TEST(Siteparams, AntennaTypeRecordOnlyForEntriesOneToTwenty) {
    TSiteParams site{.siteName = "", .antennaHeight = "", .status = 0, .antennaType = 20};
    EXPECT_EQ(split(siteEventCommand(site, false)).size(), 2u);
    EXPECT_NE(siteEventCommand(site, false).find(std::string("_ANT=") + kAntennaTypes[20]),
              std::string::npos);
    EXPECT_NE(siteEventCommand(site, false).find("_DYM=STATIC"), std::string::npos);
    site.antennaType = 21;
    EXPECT_EQ(siteEventCommand(site, false).find("_ANT="), std::string::npos);
    site.antennaType = 0;
    EXPECT_EQ(siteEventCount(site), 1);
}

TEST(Siteparams, QuoteInTheSiteNameStaysInsideTheRecord) {
    TSiteParams site{.siteName = "A\"B"};
    EXPECT_EQ(split(siteEventCommand(site, false))[0].substr(0, 18), "event,\"_SIT=A\\\"B\"@");
}

class SiteConfigTest : public ::testing::Test {
protected:
    testing::TTempDir tmp{"telvor-site"};
    TProfile profile{(tmp.path / "telvor.ini").string()};
};

TEST_F(SiteConfigTest, ChecksKeepTheWindowOpenAndStoreNothing) {
    TSiteConfig site(profile);
    site.EditSiteName.setText("  ");
    EXPECT_FALSE(site.ButtonOKClick());
    EXPECT_EQ(site.status(), "Incorrect Site Name value");
    EXPECT_TRUE(site.EditSiteName.focused());

    site.EditSiteName.setText(" Base 1 ");
    site.EditAntenna.setText("1.5m");
    EXPECT_FALSE(site.ButtonOKClick());
    EXPECT_EQ(site.status(), "Incorrect Antenna Height value");

    site.EditAntenna.setText("0");
    site.CheckBoxTypeHeight.setChecked(true);
    EXPECT_FALSE(site.ButtonOKClick());
    EXPECT_EQ(site.status(), "Incorrect Antenna Height slant value");
    EXPECT_EQ(profile.read(keys::SiteName), "Site");

    site.CheckBoxTypeHeight.setChecked(false);
    EXPECT_TRUE(site.ButtonOKClick());
}

TEST_F(SiteConfigTest, StoredValuesComeBackAndOutOfRangeIndicesAreClamped) {
    {
        TSiteConfig site(profile);
        site.EditSiteName.setText(" Base 1 ");
        site.EditAntenna.setText("2.25");
        site.CheckBoxTypeHeight.setChecked(true);
        site.AntennaStatusComboBox.setItemIndex(1);
        site.AntTypeComboBox.setItemIndex(7);
        site.AutoSendCheckBox.setChecked(false);
        ASSERT_TRUE(site.ButtonOKClick());
    }
    TSiteParams stored = LoadSiteParams(profile);
    EXPECT_EQ(stored.siteName, "Base 1");
    EXPECT_EQ(stored.antennaHeight, "2.25");
    EXPECT_TRUE(stored.slant);
    EXPECT_EQ(stored.status, 1);
    EXPECT_EQ(stored.antennaType, 7);
    EXPECT_FALSE(stored.autoSend);

    profile.write(keys::SiteStatus, 5);
    profile.write(keys::SiteAntennaType, 40);
    stored = LoadSiteParams(profile);
    EXPECT_EQ(stored.status, 1);
    EXPECT_EQ(stored.antennaType, static_cast<int>(kAntennaTypes.size()) - 1);
}

} // namespace
} // namespace telvor
