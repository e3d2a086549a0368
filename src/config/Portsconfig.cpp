#include "config/Portsconfig.h"

#include "config/Listnotation.h"
#include "config/Presets.h"

#include <cstdlib>

namespace telvor {
namespace {

bool optionOn(TParamReader& in, const std::string& name) {
    const auto value = in.print("/par/opts/cur/" + name);
    return value && IsNumber(*value) && std::strtod(value->c_str(), nullptr) > 0;
}

void enablePort(TPortRow& row, bool on) {
    for (TControl* c : row.controls())
        on ? c->enableWithLabel() : c->disableWithLabel();
}

bool validPeriod(const std::string& text) {
    return IsNumber(text) && std::strtod(text.c_str(), nullptr) > 0;
}

TApplyResult fail(std::string message, TControl& control) {
    return {false, std::move(message), &control};
}

// The preset caption takes a period (<T>) when its command changes with it.
bool takesPeriod(const std::string& caption) {
    const std::string a = PresetCommand("/p", caption, "1"), b = PresetCommand("/p", caption, "2");
    return a != b;
}

} // namespace

const ValueList kBaudRates{"300",   "600",   "1200",   "2400",   "4800",   "9600",  "19200",
                           "38400", "57600", "115200", "153600", "230400", "460800"};
const ValueList kInfraredBaudRates{"9600", "19200", "38400", "57600", "115200"};

TPortRow::TPortRow(std::string port, std::string option, const std::string& input,
                   const std::string& output, const std::string& period, const std::string& rate,
                   const std::string& rts)
    : port(std::move(port)), option(std::move(option)), InpMode(input, TControlKind::ComboBox),
      OutMode(output, TControlKind::ComboBox), Period(period, TControlKind::Edit) {
    InpMode.setItems(kInputModeCaptions);
    OutMode.setItems(PresetCaptions());
    if (!rate.empty()) {
        Rate = std::make_unique<TControl>(rate, TControlKind::ComboBox);
        Rate->setItems(kBaudRates);
    }
    if (!rts.empty())
        Rts = std::make_unique<TControl>(rts, TControlKind::CheckBox);
}

std::vector<TControl*> TPortRow::controls() {
    std::vector<TControl*> all{&InpMode, &OutMode, &Period};
    if (Rate)
        all.push_back(Rate.get());
    if (Rts)
        all.push_back(Rts.get());
    return all;
}

void TPortRow::outputChanged() {
    Period.setEnabled(present && OutMode.enabled() && takesPeriod(OutMode.text()));
}

TPortsSubPage::TPortsSubPage(const std::string& name, const std::string& prefix)
    : TSubPageButtons(prefix), TConfigPage(name, ApplyButton, RefreshButton) {}

TPortRow& TPortsSubPage::addPort(std::unique_ptr<TPortRow> row) {
    for (TControl* c : row->controls())
        track(*c);
    TPortRow* r = row.get();
    // The output handler also marks the page changed.
    r->OutMode.onChanged = [this, r] {
        r->outputChanged();
        apply_.setEnabled(true);
    };
    ports_.push_back(std::move(row));
    return *ports_.back();
}

std::vector<TPortRow*> TPortsSubPage::ports() {
    std::vector<TPortRow*> all;
    for (auto& p : ports_)
        all.push_back(p.get());
    return all;
}

std::vector<TControl*> TPortsSubPage::controls() {
    std::vector<TControl*> all{&ApplyButton, &RefreshButton};
    for (auto& p : ports_)
        for (TControl* c : p->controls())
            all.push_back(c);
    return all;
}

bool TPortsSubPage::hasPort(TParamReader& in, const TPortRow& row) {
    return optionOn(in, row.option);
}

void TPortsSubPage::readPort(TParamReader& in, TPortRow& row) {
    const std::string par = "/par" + row.port;
    ReadComboBox(in, par + "/imode", kInputModeValues, row.InpMode, kInputModeCaptions);
    if (row.Rate)
        ReadComboBox(in, par + "/rate", kBaudRates, *row.Rate, kBaudRates);
    if (row.Rts)
        ReadCheckBox(in, par + "/rtscts", *row.Rts);
    const TDetectedPreset output = DetectPreset(in, row.port);
    if (output.ok) {
        row.OutMode.enableWithLabel();
        SelectComboText(row.OutMode, output.caption);
        row.Period.setText(output.period);
    } else {
        row.OutMode.setItemIndex(-1);
        row.OutMode.disableWithLabel();
        row.Period.setText({});
    }
}

void TPortsSubPage::readRows(TParamReader& in) {
    ownPort_ = in.print("/cur/term").value_or("");
    for (auto& p : ports_) {
        p->present = hasPort(in, *p);
        enablePort(*p, p->present);
        if (p->present)
            readPort(in, *p);
    }
    readExtra(in);
    for (auto& p : ports_)
        p->outputChanged();
}

TApplyResult TPortsSubPage::writeLine(TParamSink&, TPortRow&) {
    return {};
}

TApplyResult TPortsSubPage::writePort(TParamSink& out, TPortRow& row) {
    if (TApplyResult r = writeLine(out, row); !r.ok)
        return r;
    const std::string par = "/par" + row.port;
    if (!WriteComboBox(out, par + "/imode", kInputModeValues, row.InpMode, kInputModeCaptions))
        return fail("Can't set input mode for " + row.port, row.InpMode);
    if (row.Period.enabled() && !validPeriod(row.Period.text()))
        return fail("Invalid messages output period for " + row.port, row.Period);
    if (!row.OutMode.enabled())
        return {};
    const std::string caption = row.OutMode.text();
    const std::string command = PresetCommand(row.port, caption, row.Period.text());
    // "User Defined" leaves the output as it is; a caption that is no preset sends nothing
    // either; "None" only disables.
    if (command.empty() || command == "none")
        return {};
    if (!out.command("dm," + row.port))
        return fail("Can't disable output for " + row.port, row.OutMode);
    if (command != "%%" && !out.command(command.substr(2)))
        return fail("Can't set output mode for " + row.port, row.OutMode);
    return {};
}

TApplyResult TPortsSubPage::writeRows(TParamSink& out, bool) {
    if (preApply_)
        for (auto& p : ports_)
            if (p->present && p->port != ownPort_ && !out.set("/par" + p->port + "/imode", "cmd"))
                return fail("Can't change imode to port : " + p->port, p->InpMode);
    for (auto& p : ports_)
        if (p->present && p->port != ownPort_)
            if (TApplyResult r = writePort(out, *p); !r.ok)
                return r;
    return writeExtra(out);
}

TSerialPortsPage::TSerialPortsPage() : TPortsSubPage("Serial", "Serial") {
    for (const char* x : {"A", "B", "C", "D"}) {
        const std::string X = x;
        const std::string lower(1, static_cast<char>(X[0] - 'A' + 'a'));
        addPort(std::make_unique<TPortRow>(
            "/dev/ser/" + lower, "RS_" + X, "Port_" + X + "_Inp_Mode", "Port_" + X + "_Out_Mode",
            "SerPort" + X + "PeriodEdit", "Port" + X + "BaudRateComboBox", X + "rtsCheckBox"));
    }
    preApply_ = true;
    InfraredCheckBox.onChanged = [this] {
        OnIrChange();
        apply_.setEnabled(true);
    };
}

std::vector<TControl*> TSerialPortsPage::controls() {
    auto all = TPortsSubPage::controls();
    all.push_back(&InfraredCheckBox);
    return all;
}

void TSerialPortsPage::OnIrChange() {
    TControl& rate = *ports()[3]->Rate;
    const std::string current = rate.text();
    const bool ir = InfraredCheckBox.enabled() && InfraredCheckBox.checked();
    rate.setItems(ir ? kInfraredBaudRates : kBaudRates);
    SelectComboText(rate, current);
    // The infrared link has no handshake lines.
    if (ports()[3]->present)
        ports()[3]->Rts->setEnabled(!ir);
}

void TSerialPortsPage::readExtra(TParamReader& in) {
    if (optionOn(in, "INFR"))
        ReadCheckBox(in, "/par/dev/ser/d/ir", InfraredCheckBox);
    else
        InfraredCheckBox.disableWithLabel();
    OnIrChange();
}

TApplyResult TSerialPortsPage::writeLine(TParamSink& out, TPortRow& row) {
    const std::string par = "/par" + row.port;
    const bool ir =
        row.port == "/dev/ser/d" && InfraredCheckBox.enabled() && InfraredCheckBox.checked();
    const ValueList& rates = ir ? kInfraredBaudRates : kBaudRates;
    if (!WriteComboBox(out, par + "/rate", rates, *row.Rate, rates))
        return fail("Can't set baud rate for " + row.port, *row.Rate);
    const bool handshake = ir ? out.set(par + "/rtscts", "off")
                              : WriteCheckBox(out, par + "/rtscts", *row.Rts, "on", "off");
    if (!handshake)
        return fail("Can't set RTS/CTS mode for " + row.port, *row.Rts);
    out.pause(100);
    return {};
}

TApplyResult TSerialPortsPage::writeExtra(TParamSink& out) {
    if (!WriteCheckBox(out, "/par/dev/ser/d/ir", InfraredCheckBox, "on", "off"))
        return fail("Can't set infrared port mode", InfraredCheckBox);
    return {};
}

TParallelPortPage::TParallelPortPage() : TPortsSubPage("Parallel", "Parallel") {
    addPort(std::make_unique<TPortRow>("/dev/prl/a", "_PAR", "ParallelInpModeComboBox",
                                       "ParallelOutModeComboBox", "ParallelPeriodEdit"));
}

TUsbPortPage::TUsbPortPage() : TPortsSubPage("USB", "Usb") {
    addPort(std::make_unique<TPortRow>("/dev/usb/a", "_USB", "UsbInpModeComboBox",
                                       "UsbOutModeComboBox", "UsbPeriodEdit"));
}

TTcpPortsPage::TTcpPortsPage() : TPortsSubPage("TCP", "Tcp") {
    for (const char* x : {"A", "B", "C", "D", "E"}) {
        const std::string X = x;
        const std::string lower(1, static_cast<char>(X[0] - 'A' + 'a'));
        addPort(std::make_unique<TPortRow>("/dev/tcp/" + lower, "TCP_" + X,
                                           "Tcp_" + X + "_Inp_Mode", "Tcp_" + X + "_Out_Mode",
                                           "Tcp" + X + "PeriodEdit"));
    }
    preApply_ = true;
}

bool TTcpPortsPage::hasPort(TParamReader& in, const TPortRow& row) {
    return optionOn(in, "_TCP") && optionOn(in, row.option);
}

TModemPage::TModemPage() : TPortsSubPage("Modem", "Modem") {
    addPort(std::make_unique<TPortRow>("/dev/modem/a", "_FRH", "ModemInpModeComboBox",
                                       "ModemOutModeComboBox", "ModemPeriodEdit"));
    ModemTypeComboBox.setItems({"Off", "FHSS", "DSS"});
    ModemModeComboBox.setItems({"Receiving", "Transmitting"});
    for (TControl* c : {&ModemTypeComboBox, &ModemModeComboBox, &ModemAntIntRadioButton,
                        &ModemAntExtRadioButton, &ModemPwrHighRadioButton, &ModemPwrLowRadioButton})
        track(*c);
}

std::vector<TControl*> TModemPage::controls() {
    auto all = TPortsSubPage::controls();
    all.insert(all.end(),
               {&ModemVersionEdit, &ModemTypeComboBox, &ModemModeComboBox, &ModemAntIntRadioButton,
                &ModemAntExtRadioButton, &ModemPwrHighRadioButton, &ModemPwrLowRadioButton});
    return all;
}

bool TModemPage::hasPort(TParamReader& in, const TPortRow&) {
    const bool frh = optionOn(in, "_FRH");
    return optionOn(in, "_DSS") || frh;
}

std::string TModemPage::modemType() const {
    const bool out = ModemModeComboBox.text() == "Transmitting";
    if (ModemTypeComboBox.text() == "FHSS")
        return out ? "fhout" : "fhin";
    if (ModemTypeComboBox.text() == "DSS")
        return out ? "ssout" : "ssin";
    return "off";
}

void TModemPage::readExtra(TParamReader& in) {
    ReadEdit(in, "/par/rcv/ver/modem", ModemVersionEdit);
    const auto type = in.print("/par/dev/modem/a/type");
    const std::string t = type.value_or("");
    ModemTypeComboBox.setItemIndex(t.rfind("fh", 0) == 0 ? 1 : t.rfind("ss", 0) == 0 ? 2 : 0);
    ModemModeComboBox.setItemIndex(t.size() > 3 && t.substr(t.size() - 3) == "out" ? 1 : 0);
    const bool present = ports()[0]->present && type;
    for (TControl* c : {&ModemTypeComboBox, &ModemModeComboBox})
        present ? c->enableWithLabel() : c->disableWithLabel();
    const ControlList ant{&ModemAntIntRadioButton, &ModemAntExtRadioButton};
    const ControlList pwr{&ModemPwrHighRadioButton, &ModemPwrLowRadioButton};
    if (!ports()[0]->present) {
        for (TControl* c : {ant[0], ant[1], pwr[0], pwr[1]})
            c->disableWithLabel();
        return;
    }
    ReadRadioSet(in, "/par/dev/modem/a/ant", ant, {"int", "ext"});
    ReadRadioSet(in, "/par/dev/modem/a/pwr", pwr, {"high", "low"});
}

TApplyResult TModemPage::writeExtra(TParamSink& out) {
    const std::string port = "/dev/modem/a";
    if (ModemTypeComboBox.enabled()) {
        const std::string type = modemType();
        if (!out.set("/par" + port + "/type", "off") ||
            (type != "off" && !out.set("/par" + port + "/type", type)))
            return fail("Can't set type for " + port, ModemTypeComboBox);
    }
    if (!WriteRadioSet(out, "/par" + port + "/ant",
                       {&ModemAntIntRadioButton, &ModemAntExtRadioButton}, {"int", "ext"}))
        return fail("Can't set antenna mode for " + port, ModemAntIntRadioButton);
    if (!WriteRadioSet(out, "/par" + port + "/pwr",
                       {&ModemPwrHighRadioButton, &ModemPwrLowRadioButton}, {"high", "low"}))
        return fail("Can't set power mode for " + port, ModemPwrHighRadioButton);
    return {};
}

TEthernetPage::TEthernetPage()
    : TSubPageButtons("Ethernet"), TConfigPage("Ethernet", ApplyButton, RefreshButton) {
    for (TControl* c : controls())
        if (c->kind() == TControlKind::Edit)
            track(*c);
}

std::vector<TControl*> TEthernetPage::controls() {
    return {&ApplyButton, &RefreshButton,  &IPAddressEdit, &IPMaskEdit,     &IPGatewayEdit,
            &TCPPortEdit, &TCPTimeoutEdit, &FTPPortEdit,   &FTPTimeoutEdit, &EthernetPasswordEdit};
}

void TEthernetPage::readRows(TParamReader& in) {
    present_ = optionOn(in, "ETHR");
    const std::pair<const char*, TControl*> fields[] = {
        {"/par/net/ip/addr", &IPAddressEdit},      {"/par/net/ip/mask", &IPMaskEdit},
        {"/par/net/ip/gw", &IPGatewayEdit},        {"/par/net/tcp/port", &TCPPortEdit},
        {"/par/net/tcp/timeout", &TCPTimeoutEdit}, {"/par/net/ftp/port", &FTPPortEdit},
        {"/par/net/ftp/timeout", &FTPTimeoutEdit}};
    for (auto [path, edit] : fields) {
        if (present_)
            ReadEdit(in, path, *edit);
        else
            edit->disableWithLabel();
    }
    if (present_)
        ReadEdit(in, "/par/net/passwd", EthernetPasswordEdit, true);
    else
        EthernetPasswordEdit.disableWithLabel();
}

TApplyResult TEthernetPage::writeRows(TParamSink& out, bool) {
    if (!present_)
        return {};
    auto port = [](const std::string& t) {
        return IsUnsigned(t) && t.size() <= 5 && std::strtol(t.c_str(), nullptr, 10) <= 65535;
    };
    auto timeout = [](const std::string& t) {
        return IsNumber(t) && std::strtod(t.c_str(), nullptr) > 0;
    };
    auto address = [](const std::string& t) { return IsIPv4Address(t); };
    auto password = [](const std::string& t) { return t.size() <= 15; };
    struct TField {
        const char* path;
        TControl* edit;
        bool (*valid)(const std::string&);
        const char* invalid;
        const char* failed;
        bool quote = false;
    };
    const TField fields[] = {
        {"/par/net/ip/addr", &IPAddressEdit, address, "Invalid IP address",
         "Cannot set IP address"},
        {"/par/net/ip/mask", &IPMaskEdit, address, "Invalid IP mask", "Cannot set IP mask"},
        {"/par/net/ip/gw", &IPGatewayEdit, address, "Invalid IP gateway", "Cannot set IP gateway"},
        {"/par/net/tcp/port", &TCPPortEdit, port, "Invalid TCP Port", "Cannot set TCP Port"},
        {"/par/net/tcp/timeout", &TCPTimeoutEdit, timeout, "Invalid timeout", "Cannot set timeout"},
        {"/par/net/ftp/port", &FTPPortEdit, port, "Invalid TCP Port", "Cannot set TCP Port"},
        {"/par/net/ftp/timeout", &FTPTimeoutEdit, timeout, "Invalid timeout", "Cannot set timeout"},
        {"/par/net/passwd", &EthernetPasswordEdit, password, "Invalid Ethernet password",
         "Cannot set Ethernet password", true},
    };
    for (const TField& f : fields) {
        if (!f.edit->enabled())
            continue;
        if (!f.valid(f.edit->text()))
            return fail(f.invalid, *f.edit);
        if (!WriteEdit(out, f.path, *f.edit, f.quote))
            return fail(f.failed, *f.edit);
    }
    return {};
}

} // namespace telvor
