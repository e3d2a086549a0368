#pragma once
// The NTRIP client window (Tools menu): the caster's fields, Start/Stop/List, the status and
// the sourcetable. Its rules are TNtripControl's.
#include "ntrip/Ntripcontrol.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <utility>

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace telvor {

class TProfile;

class TNtripWindow : public QDialog {
public:
    TNtripWindow(TProfile& profile, QWidget* parent = nullptr);
    ~TNtripWindow() override;
    TNtripControl& control() { return control_; }
    // Where the live position comes from (degrees; nothing while there is none), asked on the
    // window's timer.
    using TPositionSource = std::function<std::optional<std::pair<double, double>>()>;
    void setPositionSource(TPositionSource source) { position_ = std::move(source); }

private:
    QFormLayout* makeFields(const TNtripFields& fields);
    QHBoxLayout* makeButtons();
    TNtripFields fields() const;
    void StartClick();
    void StopClick();
    void ListClick();
    void OnTimer();
    void showRows(const std::vector<std::vector<std::string>>& rows);

    TProfile& profile_;
    TNtripControl control_;
    QLineEdit *caster_, *mount_, *user_, *password_, *destination_;
    QComboBox* version_;
    QSpinBox* gga_;
    QLabel* status_;
    QTableWidget* table_;
    QTimer* timer_;
    TPositionSource position_;
};

} // namespace telvor
