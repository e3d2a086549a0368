// The widget side of the controls, offscreen: a page read into real widgets, a user's change
// reaching change tracking, a failed apply focusing the widget, the wait window.
#include "config/Widgetbinderform.h"
#include "config/Fakeparams.h"
#include "config/Modaldialog.h"
#include "config/Page.h"
#include "config/Waitwindow.h"
#include "support/Qtapp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

template <class W> W* add(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(name);
    parent->layout()->addWidget(w);
    return w;
}

class WidgetbinderformTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telvor::testing::qtApp(); }
    void SetUp() override {
        window.setObjectName("TReceiverConfigForm");
        new QVBoxLayout(&window);
        tabs = add<QTabWidget>(&window, "Pages");
        auto* sheet = new QWidget;
        sheet->setObjectName("General");
        new QVBoxLayout(sheet);
        tabs->addTab(sheet, "General");
        status = add<QStatusBar>(&window, "StatusBar");
        edit = add<QLineEdit>(sheet, "ELMTermEdit");
        add<QLabel>(sheet, "ELMTermLabel");
        box = add<QCheckBox>(sheet, "LPMCheckBox");
        combo = add<QComboBox>(sheet, "PowerModeComboBox");
        radioInt = add<QRadioButton>(sheet, "AntIntRadioButton");
        radioExt = add<QRadioButton>(sheet, "AntExtRadioButton");
        spin = add<QSpinBox>(sheet, "RateSpinEdit");
        group = add<QGroupBox>(sheet, "SourceRadioGroup");
        add<QPushButton>(sheet, "ApplyButton");
        add<QPushButton>(sheet, "RefreshButton");

        combo_.setItems({"Auto", "External"});
        group_.setItems({"Internal", "External"});
        spin_.setRange(0, 100, 1);
        for (TControl* c :
             {&apply_, &refresh_, &label_, &edit_, &box_, &combo_, &int_, &ext_, &spin_, &group_})
            ASSERT_TRUE(binder.bind(*c)) << c->name();
        page.setRows({
            {.path = "/elm", .controls = {&edit_}, .failure = "Can't set elevation mask"},
            {.path = "/lpm", .kind = TBindKind::CheckBox, .controls = {&box_}},
            {.path = "/pwr",
             .kind = TBindKind::ComboBox,
             .controls = {&combo_},
             .values = {"auto", "ext"},
             .captions = {"Auto", "External"}},
            {.path = "/ant",
             .kind = TBindKind::RadioSet,
             .controls = {&int_, &ext_},
             .values = {"int", "ext"}},
            {.path = "/rate", .kind = TBindKind::SpinEdit, .controls = {&spin_}},
            {.path = "/src",
             .kind = TBindKind::RadioGroup,
             .controls = {&group_},
             .values = {"int", "ext"}},
        });
        rx.values = {{"/elm", "5"},   {"/lpm", "on"},  {"/pwr", "ext"},
                     {"/ant", "ext"}, {"/rate", "20"}, {"/src", "ext"}};
    }

    QWidget window;
    QTabWidget* tabs = nullptr;
    QStatusBar* status = nullptr;
    QLineEdit* edit = nullptr;
    QCheckBox* box = nullptr;
    QComboBox* combo = nullptr;
    QRadioButton *radioInt = nullptr, *radioExt = nullptr;
    QSpinBox* spin = nullptr;
    QGroupBox* group = nullptr;

    TControl apply_{"ApplyButton", TControlKind::Button};
    TControl refresh_{"RefreshButton", TControlKind::Button};
    TControl label_{"ELMTermLabel", TControlKind::Label};
    TControl edit_{"ELMTermEdit", TControlKind::Edit, &label_};
    TControl box_{"LPMCheckBox", TControlKind::CheckBox};
    TControl combo_{"PowerModeComboBox", TControlKind::ComboBox};
    TControl int_{"AntIntRadioButton", TControlKind::RadioButton};
    TControl ext_{"AntExtRadioButton", TControlKind::RadioButton};
    TControl spin_{"RateSpinEdit", TControlKind::SpinEdit};
    TControl group_{"SourceRadioGroup", TControlKind::RadioGroup};
    // After the controls: it lets go of them when it goes.
    TWidgetBinder binder{&window};
    TConfigPage page{"General", apply_, refresh_};
    TFakeParams rx;
    TWidgetConfigHost host{&window, nullptr, nullptr};
};

TEST_F(WidgetbinderformTest, RefreshShowsTheValuesInTheWidgets) {
    TWidgetConfigHost withStatus(&window, status, tabs);
    page.refresh(rx, withStatus);
    EXPECT_EQ(edit->text(), "5");
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(combo->currentText(), "External");
    EXPECT_TRUE(radioExt->isChecked());
    EXPECT_FALSE(radioInt->isChecked());
    EXPECT_EQ(spin->value(), 20);
    auto buttons = group->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_TRUE(buttons[1]->isChecked());
    EXPECT_FALSE(window.findChild<QWidget*>("ApplyButton")->isEnabled());
    EXPECT_FALSE(withStatus.waitShown());
}

TEST_F(WidgetbinderformTest, MissingParameterDisablesWidgetAndLabel) {
    rx.values.erase("/elm");
    rx.values["/ant"] = "auto";
    page.refresh(rx, host);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(window.findChild<QWidget*>("ELMTermLabel")->isEnabled());
    EXPECT_FALSE(radioInt->isEnabled());
    EXPECT_FALSE(radioExt->isChecked());
    EXPECT_NE(edit->palette().color(QPalette::Base), QPalette().color(QPalette::Base));
}

TEST_F(WidgetbinderformTest, UserChangesReachTheControlsAndApply) {
    page.refresh(rx, host);
    radioInt->click();
    EXPECT_TRUE(int_.checked());
    EXPECT_FALSE(ext_.checked());
    EXPECT_TRUE(window.findChild<QWidget*>("ApplyButton")->isEnabled());
    edit->setFocus();
    edit->selectAll();
    edit->insert("12"); // as typed: textEdited
    combo->setCurrentIndex(0);
    group->findChildren<QRadioButton*>()[0]->click();
    spin->setValue(30);
    box->click();
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.sets, (std::vector<std::string>{"/elm=12", "/lpm=off", "/pwr=auto", "/ant=int",
                                                 "/rate=30", "/src=int"}));
}

TEST_F(WidgetbinderformTest, FailedApplyShowsPageStatusAndFocus) {
    TWidgetConfigHost withStatus(&window, status, tabs);
    window.show();
    page.refresh(rx, withStatus);
    box->click();
    rx.refused.insert("/elm");
    EXPECT_FALSE(page.apply(rx, withStatus).ok);
    EXPECT_EQ(status->currentMessage(), "Can't set elevation mask");
    EXPECT_EQ(tabs->currentWidget()->objectName(), "General");
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), edit);
}

TEST_F(WidgetbinderformTest, WaitWindowIsBorderlessAndOnTop) {
    host.showWait(kQueryingText);
    auto* wait = window.findChild<TWaitWindow*>("WaitWindow");
    ASSERT_TRUE(wait);
    EXPECT_TRUE(wait->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(wait->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(wait->findChild<QLabel*>("WaitLabel")->text(), kQueryingText);
    host.closeWait();
    QApplication::processEvents();
    EXPECT_FALSE(host.waitShown());
    EXPECT_FALSE(window.findChild<TWaitWindow*>("WaitWindow"));
}

TEST_F(WidgetbinderformTest, ModalChildShowsItsHiddenOwnerAgain) {
    window.show();
    QTimer::singleShot(0, [&] {
        window.hide();
        if (auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            form->done(7);
    });
    EXPECT_EQ(ShowModalChild<QDialog>(&window), 7);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.findChildren<QDialog*>().isEmpty());
}

} // namespace
