// The logging window against telvor-sim: Start and Stop through its buttons, the labels, and
// the edits Start writes back.
#include "rtlog/Realtimeform.h"

#include "settings/Settingskeys.h"
#include "support/Qtapp.h"
#include "support/Simsession.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace telvor::testing {
namespace {

class RealTimeForm : public TSimSessionFixture {
protected:
    RealTimeForm() : TSimSessionFixture("telvor-rtform") { qtApp(); }
    template <class T> T* child(TRealTimeForm& form, const char* name) {
        T* w = form.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

TEST_F(RealTimeForm, StartAndStopASingleFile) {
    profile->write(keys::RealTimeOutputPath, dir.string());
    ASSERT_NO_FATAL_FAILURE(connectPaused(telvorsim::TSimOptions{}));
    TRealTimeForm form(*profile);
    form.show();
    auto* elm = child<QLineEdit>(form, "ELMEdit");
    ASSERT_TRUE(waitFor([&] { return !elm->text().isEmpty(); }));
    child<QLineEdit>(form, "EditFile")->setText("win");
    child<QLineEdit>(form, "HoursEdit")->setText("0");
    auto* start = child<QPushButton>(form, "ButtonStart");
    start->click();
    EXPECT_EQ(start->text(), "&Stop") << child<QLabel>(form, "StatusBar")->text().toStdString();
    EXPECT_EQ(child<QLineEdit>(form, "EditFile")->text(), "win.vxr");
    EXPECT_EQ(child<QLineEdit>(form, "HoursEdit")->text(), "1");
    EXPECT_FALSE(child<QPushButton>(form, "ButtonCancel")->isEnabled());
    auto* bytes = child<QLabel>(form, "BytesLabel");
    ASSERT_TRUE(waitFor([&] { return bytes->text().toInt() > 0; }, 8000));
    start->click();
    EXPECT_EQ(start->text(), "&Start");
    EXPECT_TRUE(child<QPushButton>(form, "ButtonCancel")->isEnabled());
    EXPECT_GT(std::filesystem::file_size(dir / "win.vxr"), 0u);
    form.close();
    EXPECT_EQ(profile->read(keys::ReceiverRecordingIntervalTerm), "1.00");
}

} // namespace
} // namespace telvor::testing
