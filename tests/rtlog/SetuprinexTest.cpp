// The converter setup dialog's rules: what OK refuses, and the keys it writes under the names
// the converter looks for in the settings file.
#include "rtlog/Setuprinex.h"

#include "rtlog/Convertthread.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace telvor::testing {
namespace {

class SetupRINEX : public ::testing::Test {
protected:
    SetupRINEX() : profile((dir / "telvor.ini").string()) {
        std::ofstream(dir / "vxr2rin") << "#!/bin/sh\n";
    }
    bool written(const char* key) const {
        return profile.readString("VXR2RIN", key, "<none>") != "<none>";
    }

    TTempDir dir{"telvor-setuprinex"};
    TProfile profile;
};

TEST_F(SetupRINEX, OKRefusesWithoutSatelliteSystemOrConverterAndWritesNothing) {
    TSetupRINEX setup(profile);
    std::string box;
    setup.onError = [&](const std::string& text) { box = text; };
    // No converter named yet: the dialog offers the installed one.
    EXPECT_EQ(setup.ApplicationEdit.text(), installedConverter());
    setup.ApplicationEdit.setText((dir / "vxr2rin").string());

    setup.NoGPSCheckBox.setChecked(true);
    setup.NoGLOCheckBox.setChecked(true);
    EXPECT_FALSE(setup.ButtonOKClick());
    EXPECT_EQ(box, "At least one satellite system must be enabled!");

    setup.NoGLOCheckBox.setChecked(false);
    setup.ApplicationEdit.setText((dir / "missing").string());
    EXPECT_FALSE(setup.ButtonOKClick());
    EXPECT_EQ(box, "Converter application file not found!");
    EXPECT_TRUE(setup.ApplicationEdit.focused());
    // A folder is no program either.
    setup.ApplicationEdit.setText(dir.path.string());
    EXPECT_FALSE(setup.ButtonOKClick());
    EXPECT_FALSE(written("NoGPS"));
    EXPECT_FALSE(written("Application"));
}

TEST_F(SetupRINEX, OKWritesEveryKeyAndTheNextDialogShowsThem) {
    {
        TSetupRINEX setup(profile);
        setup.RunByEdit.setText("Field crew");
        setup.ApplicationEdit.setText((dir / "vxr2rin").string());
        setup.ObserverEdit.setText("J. Doe");
        setup.AgencyEdit.setText("Survey office");
        setup.AntennaNoEdit.setText("A-17");
        setup.AntennaTypeEdit.setText("CHOKE_RING");
        setup.CommentEdit.setText("north pillar");
        setup.MarkerNameEdit.setText("NP01");
        setup.MarkerNumberEdit.setText("0001");
        setup.OptionsEdit.setText("-v");
        setup.DeleteVXRCheckBox.setChecked(true);
        setup.NoGLOCheckBox.setChecked(true);
        setup.NoL2CheckBox.setChecked(true);
        ASSERT_TRUE(setup.ButtonOKClick());
    }
    EXPECT_EQ(profile.readString("VXR2RIN", "RUN BY", ""), "Field crew");
    EXPECT_EQ(profile.readString("VXR2RIN", "OBSERVER", ""), "J. Doe");
    EXPECT_EQ(profile.readString("VXR2RIN", "AGENCY", ""), "Survey office");
    EXPECT_EQ(profile.readString("VXR2RIN", "ANT #", ""), "A-17");
    EXPECT_EQ(profile.readString("VXR2RIN", "ANT TYPE", ""), "CHOKE_RING");
    EXPECT_EQ(profile.readString("VXR2RIN", "COMMENT", ""), "north pillar");
    EXPECT_EQ(profile.readString("VXR2RIN", "MARKER NAME", ""), "NP01");
    EXPECT_EQ(profile.readString("VXR2RIN", "MARKER NUMBER", ""), "0001");
    EXPECT_EQ(profile.readString("VXR2RIN", "Application", ""), (dir / "vxr2rin").string());
    EXPECT_EQ(profile.readString("VXR2RIN", "Options", ""), "-v");
    EXPECT_TRUE(profile.readBool("VXR2RIN", "DeleteVXR", false));
    EXPECT_FALSE(profile.readBool("VXR2RIN", "NoGPS", true));
    EXPECT_TRUE(profile.readBool("VXR2RIN", "NoGLO", false));
    EXPECT_FALSE(profile.readBool("VXR2RIN", "NoL1", true));
    EXPECT_TRUE(profile.readBool("VXR2RIN", "NoL2", false));

    TSetupRINEX again(profile);
    EXPECT_EQ(again.AntennaNoEdit.text(), "A-17");
    EXPECT_TRUE(again.DeleteVXRCheckBox.checked());
    EXPECT_TRUE(again.NoL2CheckBox.checked());
    EXPECT_FALSE(again.NoL1CheckBox.checked());
}

TEST(ConverterExists, ABareNameIsLookedForOnThePath) {
    EXPECT_TRUE(converterExists("sh"));
    EXPECT_FALSE(converterExists("telvor-no-such-converter"));
    EXPECT_FALSE(converterExists(""));
}

} // namespace
} // namespace telvor::testing
