#include "rtlog/Setuprinex.h"

#include "rtlog/Convertthread.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <cstdlib>
#include <filesystem>
#include <utility>

namespace telvor {
namespace {

namespace fs = std::filesystem;

bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

std::string defaultConverterPath(const TProfile&) {
    return installedConverter();
}

bool converterExists(const std::string& application) {
    if (application.empty())
        return false;
    if (application.find('/') != std::string::npos)
        return isFile(application);
    // The worker starts a bare name through PATH, so the check looks there too.
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t colon = dirs.find(':', from);
        if (colon == std::string::npos)
            colon = dirs.size();
        const std::string dir = dirs.substr(from, colon - from);
        if (isFile(fs::path(dir.empty() ? "." : dir) / application))
            return true;
        from = colon + 1;
    }
    return false;
}

TSetupRINEX::TSetupRINEX(TProfile& profile) : profile_(profile) {
    RunByEdit.setText(profile.read(keys::Vxr2RinRunBy));
    ObserverEdit.setText(profile.read(keys::Vxr2RinObserver));
    AgencyEdit.setText(profile.read(keys::Vxr2RinAgency));
    AntennaNoEdit.setText(profile.read(keys::Vxr2RinAntNumber));
    AntennaTypeEdit.setText(profile.read(keys::Vxr2RinAntType));
    CommentEdit.setText(profile.read(keys::Vxr2RinComment));
    MarkerNameEdit.setText(profile.read(keys::Vxr2RinMarkerName));
    MarkerNumberEdit.setText(profile.read(keys::Vxr2RinMarkerNumber));
    std::string application = profile.read(keys::Vxr2RinApplication);
    ApplicationEdit.setText(application.empty() ? defaultConverterPath(profile) : application);
    OptionsEdit.setText(profile.read(keys::Vxr2RinOptions));
    DeleteVXRCheckBox.setChecked(profile.read(keys::Vxr2RinDeleteVXR));
    NoGPSCheckBox.setChecked(profile.read(keys::Vxr2RinNoGPS));
    NoGLOCheckBox.setChecked(profile.read(keys::Vxr2RinNoGLO));
    NoL1CheckBox.setChecked(profile.read(keys::Vxr2RinNoL1));
    NoL2CheckBox.setChecked(profile.read(keys::Vxr2RinNoL2));
}

std::vector<TControl*> TSetupRINEX::controls() {
    return {&RunByEdit,       &ObserverEdit, &AgencyEdit,        &AntennaNoEdit,
            &AntennaTypeEdit, &CommentEdit,  &MarkerNameEdit,    &MarkerNumberEdit,
            &ApplicationEdit, &OptionsEdit,  &DeleteVXRCheckBox, &NoGPSCheckBox,
            &NoGLOCheckBox,   &NoL1CheckBox, &NoL2CheckBox};
}

void TSetupRINEX::error(const std::string& text) {
    if (onError)
        onError(text);
}

bool TSetupRINEX::ButtonOKClick() {
    if (NoGPSCheckBox.checked() && NoGLOCheckBox.checked()) {
        error("At least one satellite system must be enabled!");
        return false;
    }
    if (!converterExists(ApplicationEdit.text())) {
        error("Converter application file not found!");
        ApplicationEdit.setFocus();
        return false;
    }
    profile_.write(keys::Vxr2RinRunBy, RunByEdit.text());
    profile_.write(keys::Vxr2RinObserver, ObserverEdit.text());
    profile_.write(keys::Vxr2RinAgency, AgencyEdit.text());
    profile_.write(keys::Vxr2RinAntNumber, AntennaNoEdit.text());
    profile_.write(keys::Vxr2RinAntType, AntennaTypeEdit.text());
    profile_.write(keys::Vxr2RinComment, CommentEdit.text());
    profile_.write(keys::Vxr2RinMarkerName, MarkerNameEdit.text());
    profile_.write(keys::Vxr2RinMarkerNumber, MarkerNumberEdit.text());
    profile_.write(keys::Vxr2RinApplication, ApplicationEdit.text());
    profile_.write(keys::Vxr2RinOptions, OptionsEdit.text());
    profile_.write(keys::Vxr2RinDeleteVXR, DeleteVXRCheckBox.checked());
    profile_.write(keys::Vxr2RinNoGPS, NoGPSCheckBox.checked());
    profile_.write(keys::Vxr2RinNoGLO, NoGLOCheckBox.checked());
    profile_.write(keys::Vxr2RinNoL1, NoL1CheckBox.checked());
    profile_.write(keys::Vxr2RinNoL2, NoL2CheckBox.checked());
    return true;
}

} // namespace telvor
