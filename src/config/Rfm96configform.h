#pragma once
// TRFM96RadioConfigForm: the RFM96 modem window, opened from the main window's RFM96 item. The
// parameter page shows TRfm96Config's rows; the "Debug" tab dumps the modem's registers.
#include "config/Radioconfigform.h"
#include "config/Rfm96config.h"

#include <array>

class QCheckBox;
class QListWidget;
class QPlainTextEdit;

namespace telvor {

class TRFM96RadioConfigForm : public TRadioConfigForm {
    Q_OBJECT
public:
    // Reads the echo-off string and the port to preset: the receiver must be connected with
    // monitoring paused. `showDebug` enables the "Debug" tab.
    explicit TRFM96RadioConfigForm(bool showDebug, QWidget* owner = nullptr,
                                   TRadioTiming timing = {});

    void OnRefreshClick();
    void OnApplyClick();
    void OnSetDefaultsClick();
    void OnChanges();
    void OnDebugRefreshClick();

    TRfm96Config& logic() { return logic_; }

protected:
    bool connectModem(char port, std::uint32_t speed, bool powerCycle) override;
    void stopModem() override { logic_.OnStopClick(); }
    bool disconnectModem() override { return logic_.OnConfigExitClick(); }
    bool chainUp() const override { return logic_.connected(); }
    bool closeAllowed() override { return logic_.OnCloseQuery(); }

private:
    void buildParameters();
    void buildDebug(bool enabled);
    void showValues();
    void takeValues();

    TRfm96Config logic_;
    std::array<QComboBox*, kModemRows> combos_{};
    QCheckBox* BreakCheckBox = nullptr;
    QLabel* SerialLabel = nullptr;
    QLabel* TemperatureLabel = nullptr;
    QLabel* VoltageLabel = nullptr;
    QListWidget* ChannelList = nullptr;
    QPushButton* ApplyButton = nullptr;
    QPlainTextEdit* DebugMemo = nullptr;
    bool showing_ = false;
};

} // namespace telvor
