#include "config/Siteparams.h"

#include "config/Listnotation.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Messageformat.h"
#include "settings/Profile.h"

#include <cstdlib>

namespace telvor {
namespace {

constexpr int kReplyMs = 2000;

struct TRecord {
    std::string body;
    const char* failure;
};

// Inside the quotes a backslash keeps a typed quote or backslash from ending the value.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::vector<TRecord> records(const TSiteParams& site) {
    std::vector<TRecord> out;
    if (!site.siteName.empty())
        out.push_back({"event,\"_SIT=" + escaped(site.siteName) + "\"", "Error write Site name"});
    if (!site.antennaHeight.empty())
        out.push_back(
            {"event,\"_ANH=" + escaped(site.antennaHeight) + (site.slant ? "S" : "") + "\"",
             "Error write Antenna height"});
    out.push_back({std::string("event,\"_DYM=") + (site.status == 1 ? "DYNAMIC" : "STATIC") + "\"",
                   "Error write Antenna status"});
    if (site.antennaType >= 1 && site.antennaType <= kLastSentAntennaType)
        out.push_back({std::string("event,\"_ANT=") + kAntennaTypes[site.antennaType] + "\"",
                       "Error write Antenna type"});
    return out;
}

std::string withChecksum(std::string text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    text.push_back('@');
    const std::uint8_t c = rotatingChecksum(text.data(), text.size());
    text.push_back(kHex[c >> 4]);
    text.push_back(kHex[c & 15]);
    return text;
}

void consumeFront() {
    if (TReceiverConnection* link = CurrentConnection)
        if (int length = link->Input.FrontMessage())
            link->Input.Consume(length);
}

} // namespace

TSiteParams LoadSiteParams(const TProfile& profile) {
    TSiteParams site;
    site.siteName = TrimText(profile.read(keys::SiteName));
    site.antennaHeight = profile.read(keys::SiteAntenaHeight);
    site.slant = profile.read(keys::SiteHeightType);
    site.status = siteStatus(profile.read(keys::SiteStatus));
    site.antennaType = siteAntennaType(profile.read(keys::SiteAntennaType),
                                       static_cast<int>(kAntennaTypes.size()));
    site.autoSend = profile.read(keys::SiteAutoSend);
    return site;
}

void SaveSiteParams(TProfile& profile, const TSiteParams& site) {
    profile.write(keys::SiteName, TrimText(site.siteName));
    profile.write(keys::SiteAntenaHeight, site.antennaHeight);
    profile.write(keys::SiteHeightType, site.slant);
    profile.write(keys::SiteStatus, site.status);
    profile.write(keys::SiteAntennaType, site.antennaType);
    profile.write(keys::SiteAutoSend, site.autoSend);
}

std::string siteEventCommand(const TSiteParams& site, bool withPrefix) {
    std::string out;
    for (const TRecord& r : records(site)) {
        if (!out.empty())
            out += "&&";
        out += withChecksum((withPrefix ? "%%" : "") + r.body);
    }
    return out;
}

int siteEventCount(const TSiteParams& site) {
    return static_cast<int>(records(site).size());
}

std::string SendSiteParams(const TSiteParams& site) {
    if (TrimText(site.siteName).empty())
        return "Invalid Site name";
    if (!IsNumber(site.antennaHeight))
        return "Invalid Antenna height value";
    TSiteParams sent = site;
    sent.siteName = TrimText(site.siteName);
    if (!SendLine(siteEventCommand(sent, true)))
        return "Error write Site parameters";
    for (const TRecord& r : records(sent)) {
        if (!AwaitReply("RE", kReplyMs))
            return r.failure;
        consumeFront();
    }
    return {};
}

TSiteConfig::TSiteConfig(TProfile& profile) : profile_(profile) {
    const TSiteParams site = LoadSiteParams(profile);
    EditSiteName.setText(site.siteName);
    EditAntenna.setText(site.antennaHeight);
    CheckBoxTypeHeight.setChecked(site.slant);
    AntennaStatusComboBox.setItems({"Fixed", "Moving"});
    AntennaStatusComboBox.setItemIndex(site.status);
    AntTypeComboBox.setItems({kAntennaTypes.begin(), kAntennaTypes.end()});
    AntTypeComboBox.setItemIndex(site.antennaType);
    AutoSendCheckBox.setChecked(site.autoSend);
    SendButton.setEnabled(CurrentConnection != nullptr);
}

std::vector<TControl*> TSiteConfig::controls() {
    return {&EditSiteName,    &EditAntenna,      &CheckBoxTypeHeight, &AntennaStatusComboBox,
            &AntTypeComboBox, &AutoSendCheckBox, &SendButton};
}

TSiteParams TSiteConfig::params() const {
    TSiteParams site;
    site.siteName = TrimText(EditSiteName.text());
    site.antennaHeight = TrimText(EditAntenna.text());
    site.slant = CheckBoxTypeHeight.checked();
    site.status = siteStatus(AntennaStatusComboBox.itemIndex());
    site.antennaType =
        siteAntennaType(AntTypeComboBox.itemIndex(), static_cast<int>(kAntennaTypes.size()));
    site.autoSend = AutoSendCheckBox.checked();
    return site;
}

void TSiteConfig::setStatus(const std::string& text) {
    status_ = text;
    if (onStatus)
        onStatus(text);
}

bool TSiteConfig::validateAndStore() {
    const TSiteParams site = params();
    if (site.siteName.empty()) {
        setStatus("Incorrect Site Name value");
        EditSiteName.setFocus();
        return false;
    }
    if (!IsNumber(site.antennaHeight)) {
        setStatus("Incorrect Antenna Height value");
        EditAntenna.setFocus();
        return false;
    }
    if (site.slant && std::strtod(site.antennaHeight.c_str(), nullptr) == 0) {
        setStatus("Incorrect Antenna Height slant value");
        EditAntenna.setFocus();
        return false;
    }
    SaveSiteParams(profile_, site);
    return true;
}

bool TSiteConfig::ButtonOKClick() {
    return validateAndStore();
}

bool TSiteConfig::SendButtonClick() {
    if (!validateAndStore())
        return false;
    const std::string error = SendSiteParams(params());
    if (!error.empty())
        setStatus(error);
    return error.empty();
}

} // namespace telvor
