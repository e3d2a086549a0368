#include "config/Recinterval.h"

#include "config/Listnotation.h"
#include "protocol/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace telvor {
namespace {

constexpr int kLongestPeriodMs = 86400000;
constexpr int kLongestIntervalMs = 5000;

TRecIntWizardHook& wizardHook() {
    static TRecIntWizardHook hook;
    return hook;
}

std::optional<long long> integer(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    return parseInteger(TrimText(*text));
}

int roundedStep(int rate) {
    return rate > 0 ? static_cast<int>(std::lround(1000.0 / rate)) : 0;
}

} // namespace

int RequestedMs(double seconds) {
    return static_cast<int>(std::lround(seconds * 1000));
}

bool IntervalAllowed(TParamReader& in, double seconds) {
    if (!(seconds > 0) || seconds * 1000 > kLongestPeriodMs)
        return false;
    const int ms = RequestedMs(seconds);
    if (std::fabs(seconds * 1000 - ms) > 0.00001)
        return false;
    for (const char* path : {"/par/raw/curmsint", "/par/pos/curmsint"}) {
        const std::optional<long long> current = integer(in.print(path));
        if (!current || *current <= 0 || *current > ms || ms % *current != 0)
            return false;
    }
    return true;
}

std::string FormatInterval(double seconds) {
    char text[48];
    const long long ms = std::llround(seconds * 1000);
    std::snprintf(text, sizeof text, ms % 10 == 0 ? "%.2f" : "%.3f", seconds);
    return text;
}

std::optional<TRecIntRates> ReadOutputRates(TParamReader& in) {
    const std::optional<std::string> raw = in.print("/par/opts/cur/_RAW");
    if (!raw)
        return std::nullopt;
    const std::optional<std::string> pos = in.print("/par/opts/cur/_POS");
    if (!pos)
        return std::nullopt;
    // A rate that does not read as a number is an output the receiver does not offer.
    return TRecIntRates{static_cast<int>(integer(raw).value_or(0)),
                        static_cast<int>(integer(pos).value_or(0))};
}

void SetRecIntWizardHook(TRecIntWizardHook hook) {
    wizardHook() = std::move(hook);
}

bool HasRecIntWizard() {
    return static_cast<bool>(wizardHook());
}

bool CheckRecordingInterval(TParamReader& in, TParamSink& out, const std::string& path,
                            TControl& edit) {
    if (!edit.enabled())
        return true;
    const std::string text = TrimText(edit.text());
    if (!IsNumber(text))
        return false;
    double seconds = std::strtod(text.c_str(), nullptr);
    if (!(seconds > 0))
        return false;
    if (!IntervalAllowed(in, seconds)) {
        const std::optional<TRecIntRates> rates = ReadOutputRates(in);
        if (!rates || !HasRecIntWizard())
            return false;
        seconds = wizardHook()(seconds, *rates);
        // "&Cancel" keeps the interval that did not fit; "&Finish" leaves one that does.
        if (!IntervalAllowed(in, seconds))
            return false;
    }
    edit.setText(FormatInterval(seconds));
    return path.empty() || out.set(path, edit.text());
}

bool CheckRecordingInterval(const std::string& path, TControl& edit) {
    TReceiverParams receiver;
    return CheckRecordingInterval(receiver, receiver, path, edit);
}

std::vector<int> PeriodList(int requestedMs, int rawRate, int posRate, int& selected) {
    selected = -1;
    const int step = std::max(roundedStep(rawRate), roundedStep(posRate));
    if (step <= 0)
        return {};
    int first = requestedMs - 10 * step;
    // A period of 0 would be offered otherwise.
    first = first <= 0 ? step : first - first % step;
    const int last = std::min(first + 20 * step, kLongestPeriodMs);
    std::vector<int> list;
    for (int ms = first; ms <= last; ms += step) {
        list.push_back(ms);
        if (ms <= requestedMs)
            selected = static_cast<int>(list.size()) - 1;
    }
    if (selected < 0 && !list.empty())
        selected = 0;
    return list;
}

std::vector<int> IntervalList(int requestedMs, int rate, int currentMs, int& selected) {
    selected = -1;
    const int step = roundedStep(rate);
    if (step <= 0 || requestedMs <= 0)
        return {};
    const int below = std::min(21 * step, kLongestIntervalMs);
    std::vector<int> list;
    for (int ms = step; ms < below; ms += step) {
        if (requestedMs % ms != 0)
            continue;
        list.push_back(ms);
        if (ms <= currentMs)
            selected = static_cast<int>(list.size()) - 1;
    }
    if (selected < 0 && !list.empty())
        selected = 0;
    return list;
}

TRecIntWizardLogic::TRecIntWizardLogic(double seconds, const TRecIntRates& rates, TParamReader& in,
                                       TParamSink& out, TConfigHost& host)
    : in_(in), out_(out), host_(host), rates_(rates), requestedMs_(RequestedMs(seconds)) {
    using P = TRecIntPage;
    const bool raw = rates.raw > 0, pos = rates.pos > 0;
    if (raw && pos)
        sequence_ = {P::Start, P::Period, P::RawInterval, P::PosInterval, P::Finish};
    else if (pos)
        sequence_ = {P::Start, P::NoRaw, P::Period, P::PosInterval, P::Finish};
    else if (raw)
        sequence_ = {P::Start, P::NoPos, P::Period, P::RawInterval, P::Finish};
    else
        sequence_ = {P::Start, P::NoRaw, P::NoPos, P::Finish};
}

bool TRecIntWizardLogic::intervalPage() const {
    return page() == TRecIntPage::RawInterval || page() == TRecIntPage::PosInterval;
}

bool TRecIntWizardLogic::canNext() const {
    if (onFinishPage())
        return false;
    if (page() == TRecIntPage::Period)
        return selected_ >= 0 && items_[selected_] == requestedMs_;
    if (intervalPage())
        return selected_ >= 0 && items_[selected_] == currentMs_;
    return true;
}

bool TRecIntWizardLogic::canApply() const {
    if (selected_ < 0)
        return false;
    if (page() == TRecIntPage::Period)
        return items_[selected_] != requestedMs_;
    if (intervalPage())
        return items_[selected_] != currentMs_;
    return false;
}

void TRecIntWizardLogic::next() {
    if (!canNext())
        return;
    ++position_;
    refresh();
}

void TRecIntWizardLogic::back() {
    if (!canBack())
        return;
    --position_;
    refresh();
}

void TRecIntWizardLogic::select(int index) {
    if (index >= -1 && index < static_cast<int>(items_.size()))
        selected_ = index;
    changed();
}

void TRecIntWizardLogic::refresh() {
    items_.clear();
    selected_ = -1;
    currentMs_ = 0;
    host_.setStatus("");
    if (page() == TRecIntPage::Period && rates_.raw > 0 && rates_.pos > 0) {
        items_ = PeriodList(requestedMs_, rates_.raw, rates_.pos, selected_);
    } else if (page() == TRecIntPage::Period) {
        // One output only: its own step gives the periods.
        const int rate = rates_.raw > 0 ? rates_.raw : rates_.pos;
        items_ = PeriodList(requestedMs_, rate, rate, selected_);
    } else if (intervalPage()) {
        const bool raw = page() == TRecIntPage::RawInterval;
        TWaitScope wait(host_, kQueryingText);
        const std::optional<long long> current =
            integer(in_.print(raw ? "/par/raw/curmsint" : "/par/pos/curmsint"));
        if (!current || *current <= 0) {
            host_.setStatus(raw ? "Can't read Current Raw Data Update Interval from receiver"
                                : "Can't read Current Positioning Data Update Interval from "
                                  "receiver");
        } else {
            currentMs_ = static_cast<int>(*current);
            items_ =
                IntervalList(requestedMs_, raw ? rates_.raw : rates_.pos, currentMs_, selected_);
        }
    }
    changed();
}

bool TRecIntWizardLogic::apply() {
    if (!canApply())
        return false;
    const int value = items_[selected_];
    if (page() == TRecIntPage::Period) {
        requestedMs_ = value;
        changed();
        return true;
    }
    const bool raw = page() == TRecIntPage::RawInterval;
    bool ok;
    {
        TWaitScope wait(host_, kSendingText);
        ok = out_.set(raw ? "/par/raw/msint" : "/par/pos/msint", std::to_string(value));
    }
    if (!ok) {
        host_.setStatus(raw ? "Can't set Raw Data Update Interval"
                            : "Can't set Positioning Data Update Interval");
        changed();
        return false;
    }
    refresh();
    return true;
}

void TRecIntWizardLogic::changed() {
    if (onChanged)
        onChanged();
}

} // namespace telvor
