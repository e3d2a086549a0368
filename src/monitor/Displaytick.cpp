#include "monitor/Displaytick.h"

#include "monitor/Satsort.h"
#include "protocol/Commstate.h"
#include "protocol/Logfile.h"
#include "protocol/Messageformat.h"

#include <cstring>
#include <mutex>

namespace telvor {

void TLatestSlotSource::takeSlots(TSlotCopies& out) {
    TLatestMessages& table = latestMessages();
    std::lock_guard<std::mutex> lock(commState().mainLock);
    for (int row = 0; row < TLatestMessages::kRows; ++row) {
        auto& slot = out.rows[static_cast<std::size_t>(row)];
        slot.length = table.Length(row);
        if (slot.length > 0)
            std::memcpy(slot.bytes.data(), table.Slot(row), slot.length);
        table.ClearRow(row);
    }
}

TMonitorDisplay::TMonitorDisplay(TMonitorDecoder& decoder, TMonitorHost& host,
                                 TSlotSource& slotSource)
    : decoder_(decoder), host_(host), slotSource_(slotSource) {}

bool TMonitorDisplay::checksumExempt(const std::uint8_t* m) {
    static constexpr const char* ids[] = {"MS", "GS", "NS", "RE", "ER"};
    for (const char* id : ids)
        if (m[0] == id[0] && m[1] == id[1])
            return true;
    return false;
}

TMonitorDisplay::TTick TMonitorDisplay::tick(bool withSender) {
    host_.setTimerEnabled(false);
    if (!host_.hasLink())
        return TTick::NoLink;
    ++stats_.ticks;
    decoder_.refreshEventLabels();
    logLine("Enter monitor");

    // A hang-up or a closed connection ends the session at once, in every mode.
    const std::string lost = host_.linkLost();
    if (!lost.empty()) {
        host_.debugLine("Link lost: " + lost);
        host_.disconnect();
        logLine("Leave monitor");
        return TTick::Disconnected;
    }
    if (host_.directConnection()) {
        std::uint32_t silence = host_.silenceMs();
        if (silence >= kDisconnectSilenceMs) {
            TMonitorView* logging = decoder_.loggingView();
            host_.debugLine("Pause " + std::to_string(silence) + " at " +
                            (logging ? *logging : decoder_.mainView()).text("TimeLabel"));
            host_.disconnect();
            logLine("Leave monitor");
            if (host_.beepOnDisconnect())
                host_.beep();
            return TTick::Disconnected;
        }
        if (silence >= kReconnectSilenceMs)
            host_.reconnect();
    }

    slotSource_.takeSlots(copies_);
    for (auto& slot : copies_.rows) {
        if (slot.length < kHeaderSize || slot.length > TLatestMessages::kSlotSize - 1)
            continue;
        const std::uint8_t* m = slot.bytes.data();
        logDisplay(m, slot.length);
        if (!checksumExempt(m) && rotatingChecksum(m, slot.length) != 0) {
            ++stats_.badChecksum;
            logLine("Bad checksum");
            continue;
        }
        if (decoder_.decode(m, slot.length)) {
            ++stats_.decoded;
            logLine("OK");
        } else {
            ++stats_.badLength;
            logLine("Bad length");
        }
    }

    sortTables();
    if (withSender)
        host_.setTimerEnabled(true);
    logLine("Leave monitor");
    return TTick::Done;
}

void TMonitorDisplay::sortTables() {
    TMonitorView& main = decoder_.mainView();
    sortSatTable(main.gps());
    sortSatTable(main.glonass());
    main.touch();
    if (TMonitorView* logging = decoder_.loggingView()) {
        sortSatTable(logging->gps(), 1);
        sortSatTable(logging->glonass(), 1);
        logging->touch();
    }
}

void TMonitorDisplay::columnClick(bool glonass, int column) {
    TSatTable& table = decoder_.mainView().list(glonass);
    if (column < 0 || column >= table.kind())
        return;
    table.sortKey = sortKeyAfterClick(table.sortKey, column);
    sortSatTable(table);
    decoder_.mainView().touch();
}

void TMonitorDisplay::inputModeChanged(int oldMode, int newMode) {
    constexpr int kMonitoring = static_cast<int>(TInputMode::Monitoring);
    if (oldMode == kMonitoring && newMode != kMonitoring)
        decoder_.resetDisplay();
}

} // namespace telvor
