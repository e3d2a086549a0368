#pragma once
// "Receiver Configuration": the notebook of configuration pages with OK, Exit, Save and
// "Set all parameters to defaults". Pages not built yet are disabled sheets.
#include "config/Receiverconfig.h"
#include "config/Waitwindow.h"

#include <QDialog>

#include <memory>

class QPushButton;
class QStatusBar;
class QTabWidget;

namespace telvor {

class TProfile;
class TWidgetBinder;

class TReceiverConfigForm : public QDialog {
    Q_OBJECT
public:
    // Reads every page before it is shown.
    TReceiverConfigForm(TParamReader& in, TParamSink& out, QWidget* owner = nullptr);
    ~TReceiverConfigForm() override;

    TReceiverConfig& logic() { return *config_; }
    // Where Save starts; the program's version and build date for the script's header.
    void setScriptFolder(const QString& folder) { scriptFolder_ = folder; }
    void setProgram(const std::string& version, const std::string& date);
    // Writes the configuration script to `file`, ".vxc" added when it has no extension (Save
    // without its dialog).
    bool saveTo(const QString& file);
    // The window settings: read now, the "GPS/GLO at one time" choice written by the defaults
    // button. `profile` must outlive the window.
    void setProfile(TProfile& profile);
    // Set when "Set all parameters to defaults" closed the window: monitoring is not resumed.
    bool defaultsRequested() const { return defaults_; }
    // "GLOEnumeration"/"FCN": the GLONASS satellites by frequency channel or by slot.
    void setGlonassByFcn(bool byFcn);

    // Exit, Escape and the close box: unapplied changes are dropped only when the user says so.
    void reject() override;

signals:
    // The receiver's parameters are to be initialised (the main window's "SDEF").
    void setDefaults();

private:
    void buildGeneral(QWidget* sheet);
    void buildPages();
    // The window opens large enough for its largest page, within the screen.
    void fitPages();
    // The Tavrex, Base, Rover, Ports and Advanced pages.
    void buildRtkPages();
    // Refresh and Apply of a page, and the page's own buttons.
    void wire(TConfigPage& page, const TControl& refresh, const TControl& apply);
    void wirePositioning();
    QPushButton* button(const TControl& control) const;
    void PosCurDatumButtonClick();
    void ButtonOKClick();
    // The error box of Save while a page holds unapplied changes.
    bool refuseUnapplied();
    void ButtonSaveClick();
    void ButtonDefaultsClick();

    TParamReader& in_;
    TParamSink& out_;
    QTabWidget* pages_ = nullptr;
    QStatusBar* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* defaultsButton_ = nullptr;
    std::unique_ptr<TWidgetConfigHost> host_;
    std::unique_ptr<TReceiverConfig> config_;
    TWidgetBinder* binder_ = nullptr;
    TProfile* profile_ = nullptr;
    QString scriptFolder_;
    std::string version_, date_;
    bool defaults_ = false;
};

} // namespace telvor
