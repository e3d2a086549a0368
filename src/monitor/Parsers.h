#pragma once
// Decoders of the receiver's monitor messages. The display tick hands each newest message to
// `decode`, which writes the texts into the monitor view(s); the input thread calls
// `noteAlmanac` and `countEvent` for every "GA"/"NA" and "XA"/"XB".
#include "monitor/Monitorstate.h"
#include "monitor/Sattables.h"
#include "monitor/Target.h"
#include "protocol/Commstate.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace telvor {

// Solution type names of "PG", "PO", "VE", "PV"; nullptr above 4.
const char* solutionTypeName(int type);

// `TimeLabel` of "~~": hours (not reduced to a day), minutes, seconds of the milliseconds.
std::string receiverTimeText(std::uint32_t ms);
// `TrackingTimeLabel` of "TT".
std::string trackingTimeText(std::uint32_t seconds);

// "MS" rules: nullopt leaves `RTKLinkLabel` as it is, an empty text hides it, any other text
// is the new label.
std::optional<std::string> rtcmLinkText(std::string_view message);

// Oscillator offset ("OO") and its three display modes on `TimeDriftLabel`.
class TOscillatorOffset {
public:
    static constexpr int kModes = 3;

    // A new value in s/s; the first one has a delta of 0.
    void update(float value);
    // The label text of the current mode; empty before the first value, "??" while the
    // newest value is not finite.
    std::string text() const;
    // `DeltaDblClick`: advance the mode; with Shift in mode 2 reset the maximum instead.
    void doubleClick(bool shift);

    int mode() const { return hasValue_ ? mode_ : 0; }
    void setMode(int mode) { mode_ = ((mode % kModes) + kModes) % kModes; }

private:
    bool hasValue_ = false;
    bool unknown_ = false; // the newest value was NaN or infinite
    double previous_ = 0;  // ppm
    double delta_ = 0;     // ppb
    double maxDelta_ = 0;  // ppb
    int mode_ = 0;
};

class TMonitorDecoder : public TDecoderSink {
public:
    using TextSink = std::function<void(const std::string&)>;
    using DateText = std::function<std::string(int year, int month, int day)>;
    // The target changed (captured from "PG", typed in, or moved to the average): the owner
    // saves it and re-bases the plot store.
    using TargetChanged = std::function<void(double lat, double lon)>;

    TMonitorDecoder(TMonitorView& main, TTargetPoint& target);

    // While the real-time logging window exists its controls are written there.
    void setLoggingView(TMonitorView* view) { logging_ = view; }
    TMonitorView* loggingView() const { return logging_; }
    TMonitorView& mainView() { return main_; }

    void setDebugSink(TextSink sink) { debug_ = std::move(sink); }
    // Default: the C library's locale date ("%x").
    void setDateText(DateText text) { dateText_ = std::move(text); }
    void setTargetChanged(TargetChanged hook) { targetChanged_ = std::move(hook); }

    // Whether the display tick has a decoder for this id.
    static bool hasDecoder(std::string_view id);
    // Decodes one whole message (checksum already checked by the caller). False when the id
    // has no decoder or the message is too short for its fields.
    bool decode(const std::uint8_t* message, std::size_t length);

    // Input thread, for every such message whatever the slots hold.
    void noteAlmanac(const std::uint8_t* message, std::size_t length);
    void countEvent(const std::uint8_t* message, std::size_t length);
    void OnAlmanac(const std::uint8_t* message, std::size_t length) override {
        noteAlmanac(message, length);
    }
    void OnExternalEvent(const std::uint8_t* message, std::size_t length) override {
        countEvent(message, length);
    }
    std::uint32_t eventCount(int which) const { return events_[which & 1].load(); }

    // Display tick step: "Event A: " / "Event B: " shown once a counter is above 0.
    void refreshEventLabels();
    // `OnEventAClick` (0) / `OnEventBClick` (1): counter to 0, the label keeps showing.
    void resetEvent(int which);
    // `DeltaDblClick`.
    void deltaDoubleClick(bool shift);
    TOscillatorOffset& oscillator() { return oscillator_; }

    // `OnTargetDblClick`: the next "PG" becomes the target.
    void armTargetCapture() { target_.capture = true; }
    // A typed or computed target: capture cleared, labels refreshed, owner told.
    void setTarget(double lat, double lon);
    void refreshTargetLabels();
    const TTargetPoint& target() const { return target_; }

    // Monitor mode left: satellite state, almanac maps, event counters.
    void resetSatelliteDisplay();
    // Monitor mode left: the above and every live read-out hidden.
    void resetDisplay();

    TSatelliteTables& satellites() { return satellites_; }

private:
    void put(std::string_view name, std::string text);
    TMonitorView& listView() { return logging_ ? *logging_ : main_; }
    void showPosition(double x, double y, double z);
    void showSpeed(double vx, double vy, double vz);
    // One message id's decoder: false when the message is too short for its fields.
    using TDecode = bool (TMonitorDecoder::*)(const std::uint8_t* m, std::size_t length);
    struct TDecoderEntry {
        std::string_view id;
        TDecode decode;
    };
    static const TDecoderEntry* findDecoder(std::string_view id);
    bool decodeTime(const std::uint8_t* m, std::size_t length);         // "~~"
    bool decodeDate(const std::uint8_t* m, std::size_t length);         // "RD"
    bool decodeTrackingTime(const std::uint8_t* m, std::size_t length); // "TT"
    bool decodeDop(const std::uint8_t* m, std::size_t length);          // "DP"
    bool decodeSigmas(const std::uint8_t* m, std::size_t length);       // "SG"
    bool decodePosition(const std::uint8_t* m, std::size_t length);     // "PO"
    bool decodeVelocity(const std::uint8_t* m, std::size_t length);     // "VE"
    bool decodePosVel(const std::uint8_t* m, std::size_t length);       // "PV"
    bool decodePg(const std::uint8_t* m, std::size_t length);           // "PG"
    bool decodeClockRate(const std::uint8_t* m, std::size_t length);    // "DO"
    bool decodeOscillator(const std::uint8_t* m, std::size_t length);   // "OO"
    bool decodeAlmanacMap(const std::uint8_t* m, std::size_t length);   // "GA", "NA"
    bool decodeRtcmLink(const std::uint8_t* m, std::size_t length);     // "MS"
    void showOscillator();

    TMonitorView& main_;
    TMonitorView* logging_ = nullptr;
    TTargetPoint& target_;
    TSatelliteTables satellites_;
    TOscillatorOffset oscillator_;
    std::atomic<std::uint32_t> events_[2] = {0, 0};
    TextSink debug_;
    DateText dateText_;
    TargetChanged targetChanged_;
};

} // namespace telvor
