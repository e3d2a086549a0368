#pragma once
// The daisy chain through which Telvor talks to a radio modem on one of the receiver's serial
// ports: the receiver's port to the computer and the modem's port echo each other. Entering
// remembers everything it changes and leaving puts it back; ModemCommand is one transaction of
// the modem's binary protocol through the chain. UI thread; the waits keep events running.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

// Waits of the chain and the modem dialogue in milliseconds. Tests shorten them.
struct TRadioTiming {
    int commandMs = 2000;     // a receiver command's wait for "RE"
    int settleMs = 100;       // after a speed change, before reading a modem reply
    int rtsctsMs = 300;       // after switching the modem port's handshake off
    int syncMs = 200;         // "##\n%%" after the echo-off string
    int replyMs = 1000;       // a modem reply
    int storeMs = 5000;       // the modem storing its settings
    int probeEveryMs = 38;    // power-cycle probes
    int powerCycleMs = 20000; // how long the probes go on
    int guardBeforeMs = 1100; // silence before "+++"
    int guardAfterMs = 1600;  // and after it
};

// Where the chain's logic reports to; the window or telvor-cli implements it.
class TRadioView {
public:
    virtual ~TRadioView() = default;
    virtual void setStatus(const std::string& text) = 0;
    // How far the current pause has come, 0-100.
    virtual void setProgress(int /*percent*/) {}
    // A yes/no question with its caption; true for yes.
    virtual bool ask(const std::string& /*caption*/, const std::string& /*text*/) { return true; }
};

class TRadioChain {
public:
    explicit TRadioChain(TRadioView& view, TRadioTiming timing = {});

    const TRadioTiming& timing() const { return timing_; }
    // The modem port, 'a' to 'd'.
    void setPort(char letter) { port_ = letter; }
    char port() const { return port_; }
    // The letter of the receiver's port to the computer when it is a serial port, else none.
    std::optional<char> terminalSerialPort();
    // The echo-off string without its double quotes; empty when the receiver gave none (then
    // the chain cannot be left, so it must not be entered).
    std::string readEchoOff();

    // False when a step failed; what was changed before it is put back.
    bool enter(std::uint32_t speed);
    // Tries every step even after one failed, so as much as possible is back; false when any
    // failed.
    bool leave();
    bool up() const { return up_; }
    std::uint32_t speed() const { return speed_; }

    // One modem transaction; the reply's data, or none when it was missing or damaged.
    std::optional<std::vector<std::uint8_t>> ModemCommand(std::uint8_t command,
                                                          const std::vector<std::uint8_t>& data,
                                                          std::size_t replyLength, int timeoutMs);
    // A transaction whose reply is a status byte: true when it is 0.
    bool modemStatus(std::uint8_t command, const std::vector<std::uint8_t>& data, int timeoutMs);
    // Discards what the link holds.
    void purge();

    // Stop: the running search or pause ends.
    void requestStop();
    bool stopRequested() const { return stop_.load(); }
    void clearStop() { stop_ = false; }
    // Waits keeping events running and showing progress; false when Stop ended it. The chain's
    // own waits are not `abortable`: a step half done would leave the ports in disorder.
    bool pause(int ms, bool abortable = true);

private:
    struct TSaved {
        std::string rate, rtscts, imode, echo;
        std::string termRate;
        std::vector<std::string> outputs; // command lines that bring the port's messages back
    };
    bool command(const std::string& line);
    std::optional<std::string> printValue(const std::string& path);
    bool setTermRate(const std::string& rate);
    void inputEvents(bool on);

    TRadioView& view_;
    TRadioTiming timing_;
    char port_ = 'b';
    std::string eoff_;
    std::optional<TSaved> saved_;
    bool up_ = false;
    std::uint32_t speed_ = 0;
    std::atomic<bool> stop_{false};
};

} // namespace telvor
