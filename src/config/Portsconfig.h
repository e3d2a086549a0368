#pragma once
// The "Ports" page: one sub-page per kind of receiver port (serial, parallel, modem, USB,
// Ethernet, TCP). Each port has its input mode, the output preset it sends and the preset's
// period; serial ports also their rate and handshake. The port the program talks through is
// never changed. No Qt.
#include "config/Page.h"

#include <memory>
#include <string>
#include <vector>

namespace telvor {

extern const ValueList kBaudRates;
extern const ValueList kInfraredBaudRates;

// The controls of one receiver port.
class TPortRow {
public:
    // `names`: the input, output and period controls' names; rate and handshake for serial
    // ports only (empty names: none).
    TPortRow(std::string port, std::string option, const std::string& input,
             const std::string& output, const std::string& period, const std::string& rate = {},
             const std::string& rts = {});

    const std::string port;   // "/dev/ser/a"
    const std::string option; // "RS_A"
    TControl InpMode, OutMode, Period;
    std::unique_ptr<TControl> Rate, Rts;
    bool present = false;

    std::vector<TControl*> controls();
    // The output handler: the period is asked for only by a preset that takes one.
    void outputChanged();
};

// Buttons first, so the page can refer to them while it is built.
struct TSubPageButtons {
    TSubPageButtons(const std::string& prefix)
        : ApplyButton(prefix + "ApplyButton", TControlKind::Button),
          RefreshButton(prefix + "RefreshButton", TControlKind::Button) {}
    TControl ApplyButton, RefreshButton;
};

// A sub-page of ports that share the input, output and period handling.
class TPortsSubPage : public TSubPageButtons, public TConfigPage {
public:
    TPortsSubPage(const std::string& name, const std::string& prefix);

    std::string scriptSection() const override { return "Ports"; }
    std::vector<TPortRow*> ports();
    virtual std::vector<TControl*> controls();
    // The port the program talks through, as read at the last Refresh.
    const std::string& ownPort() const { return ownPort_; }

protected:
    TPortRow& addPort(std::unique_ptr<TPortRow> row);
    void readRows(TParamReader& in) override;
    TApplyResult writeRows(TParamSink& out, bool scripting) override;
    // Whether the receiver has the port: its option answered and not 0.
    virtual bool hasPort(TParamReader& in, const TPortRow& row);
    virtual void readPort(TParamReader& in, TPortRow& row);
    // Rate and handshake of serial ports; nothing for the others.
    virtual TApplyResult writeLine(TParamSink& out, TPortRow& row);
    virtual TApplyResult writeExtra(TParamSink&) { return {}; }
    virtual void readExtra(TParamReader&) {}
    // Ports set to "cmd" first (serial and TCP), so an output or mode change cannot cut the
    // receiver off from a command port.
    bool preApply_ = false;

private:
    TApplyResult writePort(TParamSink& out, TPortRow& row);
    std::vector<std::unique_ptr<TPortRow>> ports_;
    std::string ownPort_;
};

class TSerialPortsPage : public TPortsSubPage {
public:
    TSerialPortsPage();
    TControl InfraredCheckBox{"InfraredCheckBox", TControlKind::CheckBox};
    std::vector<TControl*> controls() override;
    // Serial D in infrared mode offers only the infrared rates.
    void OnIrChange();

protected:
    void readExtra(TParamReader& in) override;
    TApplyResult writeLine(TParamSink& out, TPortRow& row) override;
    TApplyResult writeExtra(TParamSink& out) override;
};

class TParallelPortPage : public TPortsSubPage {
public:
    TParallelPortPage();
};

class TUsbPortPage : public TPortsSubPage {
public:
    TUsbPortPage();
};

class TTcpPortsPage : public TPortsSubPage {
public:
    TTcpPortsPage();

protected:
    bool hasPort(TParamReader& in, const TPortRow& row) override;
};

class TModemPage : public TPortsSubPage {
public:
    TModemPage();
    TControl ModemVersionEdit{"ModemVersionEdit", TControlKind::Edit};
    TControl ModemTypeComboBox{"ModemTypeComboBox", TControlKind::ComboBox};
    TControl ModemModeComboBox{"ModemModeComboBox", TControlKind::ComboBox};
    TControl ModemAntIntRadioButton{"ModemAntIntRadioButton", TControlKind::RadioButton};
    TControl ModemAntExtRadioButton{"ModemAntExtRadioButton", TControlKind::RadioButton};
    TControl ModemPwrHighRadioButton{"ModemPwrHighRadioButton", TControlKind::RadioButton};
    TControl ModemPwrLowRadioButton{"ModemPwrLowRadioButton", TControlKind::RadioButton};
    std::vector<TControl*> controls() override;
    // "fhin", "ssout", ... or "off" from the type and mode boxes.
    std::string modemType() const;

protected:
    bool hasPort(TParamReader& in, const TPortRow& row) override;
    void readExtra(TParamReader& in) override;
    TApplyResult writeExtra(TParamSink& out) override;
};

class TEthernetPage : public TSubPageButtons, public TConfigPage {
public:
    TEthernetPage();
    TControl IPAddressEdit{"IPAddressEdit", TControlKind::Edit};
    TControl IPMaskEdit{"IPMaskEdit", TControlKind::Edit};
    TControl IPGatewayEdit{"IPGatewayEdit", TControlKind::Edit};
    TControl TCPPortEdit{"TCPPortEdit", TControlKind::Edit};
    TControl TCPTimeoutEdit{"TCPTimeoutEdit", TControlKind::Edit};
    TControl FTPPortEdit{"FTPPortEdit", TControlKind::Edit};
    TControl FTPTimeoutEdit{"FTPTimeoutEdit", TControlKind::Edit};
    TControl EthernetPasswordEdit{"EthernetPasswordEdit", TControlKind::Edit};

    std::string scriptSection() const override { return "Ports"; }
    std::vector<TControl*> controls();

protected:
    void readRows(TParamReader& in) override;
    TApplyResult writeRows(TParamSink& out, bool scripting) override;

private:
    bool present_ = false;
};

// The sub-pages in the order of their sheets.
struct TPortsPages {
    TSerialPortsPage Serial;
    TParallelPortPage Parallel;
    TModemPage Modem;
    TUsbPortPage Usb;
    TEthernetPage Ethernet;
    TTcpPortsPage Tcp;
    std::vector<TConfigPage*> pages() {
        return {&Serial, &Parallel, &Modem, &Usb, &Ethernet, &Tcp};
    }
};

} // namespace telvor
