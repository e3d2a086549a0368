#pragma once
// The monitor display tick (`DisplayMonitorData`): the silence watchdog, copying the newest
// messages out of the latest-message table, the checksum gate, decoding in table order and
// sorting the satellite lists; plus the list column clicks and leaving monitor mode.
#include "monitor/Parsers.h"
#include "protocol/Latestmsgs.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace telvor {

// Copies of the latest-message slots, in table order.
struct TSlotCopies {
    struct Slot {
        std::array<std::uint8_t, TLatestMessages::kSlotSize> bytes{};
        std::size_t length = 0; // 0: no new message since the last tick
    };
    std::array<Slot, TLatestMessages::kRows> rows;
};

// Where the newest messages come from.
class TSlotSource {
public:
    virtual ~TSlotSource() = default;
    // Copies every slot and marks it consumed, under the lock the input thread fills it with.
    virtual void takeSlots(TSlotCopies& out) = 0;
};

// The program's table under the main lock.
class TLatestSlotSource : public TSlotSource {
public:
    void takeSlots(TSlotCopies& out) override;
};

// What the tick needs from the session and the main window.
class TMonitorHost {
public:
    virtual ~TMonitorHost() = default;
    virtual bool hasLink() = 0;
    // Connection type 0 ("Direct"): only then the watchdog runs.
    virtual bool directConnection() = 0;
    // Milliseconds since the link last received bytes.
    virtual std::uint32_t silenceMs() = 0;
    // The link's reconnect with argument 1.
    virtual void reconnect() = 0;
    // Closes the link and runs the main window's Disconnect.
    virtual void disconnect() = 0;
    // The link's own report that it is gone (hang-up, closed connection); empty while it
    // stands.
    virtual std::string linkLost() { return {}; }
    // Comm/BeepOnDisconnect.
    virtual bool beepOnDisconnect() = 0;
    virtual void beep() = 0;
    virtual void debugLine(const std::string& text) = 0;
    virtual void setTimerEnabled(bool on) = 0;
};

// A host with a link that never goes quiet and nothing to tell: for replays and benchmarks.
class TQuietMonitorHost : public TMonitorHost {
public:
    bool hasLink() override { return true; }
    bool directConnection() override { return false; }
    std::uint32_t silenceMs() override { return 0; }
    void reconnect() override {}
    void disconnect() override {}
    bool beepOnDisconnect() override { return false; }
    void beep() override {}
    void debugLine(const std::string&) override {}
    void setTimerEnabled(bool) override {}
};

class TMonitorDisplay {
public:
    static constexpr std::uint32_t kReconnectSilenceMs = 10000;
    static constexpr std::uint32_t kDisconnectSilenceMs = 20000;

    enum class TTick { NoLink, Disconnected, Done };

    TMonitorDisplay(TMonitorDecoder& decoder, TMonitorHost& host, TSlotSource& slotSource);

    // `withSender`: the monitor timer or the "SYNC" message (the timer is then re-enabled);
    // the logging window's own timer calls it without.
    TTick tick(bool withSender);

    // `OnGPSColumnClick` / `OnGLOColumnClick`.
    void columnClick(bool glonass, int column);
    // Both lists of the main view by their keys; the logging window's by the first column.
    void sortTables();

    // Leaving monitor mode (input mode 3 to any other).
    void inputModeChanged(int oldMode, int newMode);

    // Counters for tests and the status of telvor-cli.
    struct TStats {
        std::uint64_t ticks = 0, decoded = 0, badChecksum = 0, badLength = 0;
    };
    const TStats& stats() const { return stats_; }

    // Ids whose copies skip the checksum re-check.
    static bool checksumExempt(const std::uint8_t* message);

private:
    TMonitorDecoder& decoder_;
    TMonitorHost& host_;
    TSlotSource& slotSource_;
    TSlotCopies copies_;
    TStats stats_;
};

} // namespace telvor
