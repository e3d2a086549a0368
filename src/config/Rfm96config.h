#pragma once
// The rules of the RFM96 configuration window without the window: finding the modem (power
// cycle or "+++" search), reading and writing its parameter table through the daisy chain, the
// defaults, the disconnect and the register dump. The window and telvor-cli drive it.
#include "config/Radiochain.h"
#include "config/Rfm96protocol.h"

#include <array>
#include <string>
#include <vector>

namespace telvor {

class TRfm96Config {
public:
    explicit TRfm96Config(TRadioView& view, TRadioTiming timing = {});

    // Connect tab: the modem port letter, the search speed (0 "Auto") and the connection type.
    void setPort(char letter) { chain_.setPort(letter); }
    char port() const { return chain_.port(); }
    std::uint32_t searchSpeed = 0;
    bool powerCycle = false;

    // Reads what the Connect tab needs: the echo-off string and a port to preset (the first
    // serial port after the one the computer is on). False when Connect must stay disabled.
    bool prepare();

    // Finds the modem and reads its pages; false with the reason in the status line.
    bool OnConnectClick();
    void OnStopClick() { chain_.requestStop(); }
    bool OnRefreshClick();
    bool OnApplyClick();
    void OnSetDefaultsClick();
    // Leaves the modem's command mode and the daisy chain.
    bool OnConfigExitClick();
    // Whether the window may close; asks first while the chain is up.
    bool OnCloseQuery();
    // "Querying memory map..." and the dump, one line of 16 registers each.
    std::vector<std::string> OnDebugRefreshClick();

    bool connected() const { return chain_.up(); }
    TRadioChain& chain() { return chain_; }

    // The pages: every row's list index and whether it was read (writes skip the others).
    std::array<int, kModemRows> index{};
    std::array<bool, kModemRows> enabled{};
    bool breakToCommand = false;
    bool applyEnabled = false;
    bool showHealth = true; // the temperature and voltage labels are shown
    std::string serialText, temperatureText, voltageText;
    std::vector<std::string> channels; // "n: f MHz"

    // Register ranges of the dump.
    static constexpr std::uint16_t kDumpRanges[][2] = {{0x0000, 0x0020}, {0x0100, 0x0130}};

private:
    bool find();
    bool powerCycleSearch();
    bool plusSearch();
    std::optional<std::uint8_t> readRegister(std::uint16_t address);
    void readIdentity();
    bool readRows();
    bool applyRow(std::size_t row);
    void fail(const std::string& text);

    TRadioView& view_;
    TRadioChain chain_;
    bool chainFailed_ = false; // Apply's speed change could not move the chain
};

} // namespace telvor
