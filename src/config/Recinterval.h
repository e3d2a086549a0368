#pragma once
// The recording interval check: an interval the receiver cannot deliver with its current
// measurement intervals is caught before it is sent, and the wizard that helps to choose one
// it can deliver (its pages, period lists and choices, without widgets). No Qt.
#include "config/Binding.h"
#include "config/Control.h"
#include "config/Page.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

// Seconds to the nearest whole millisecond.
int RequestedMs(double seconds);
// Whole milliseconds (within 0.00001 ms) and a whole multiple of both current measurement
// intervals ("/par/raw/curmsint", "/par/pos/curmsint"). An interval query the receiver does
// not answer fails: nothing can be said to fit.
bool IntervalAllowed(TParamReader& in, double seconds);
// An interval in seconds as the edits show it: 2 decimals, 3 where whole milliseconds need
// them (0.125 must not become 0.13).
std::string FormatInterval(double seconds);

// The receiver's maximum raw-data and position output rates per second, from
// "/par/opts/cur/_RAW" and "/par/opts/cur/_POS"; nothing when either is not answered.
struct TRecIntRates {
    int raw = 0;
    int pos = 0;
};
std::optional<TRecIntRates> ReadOutputRates(TParamReader& in);

// Runs the wizard modally for `seconds` and returns the interval afterwards: changed by
// "&Finish", unchanged by "&Cancel". The window program installs the wizard window here;
// without one no wizard can open.
using TRecIntWizardHook = std::function<double(double seconds, const TRecIntRates& rates)>;
void SetRecIntWizardHook(TRecIntWizardHook hook);
bool HasRecIntWizard();

// The check of an interval edit. A disabled edit passes. The text must be a number above 0.
// An interval the receiver does not allow opens the wizard (false when the option rates
// cannot be read, no wizard can open, or the interval it leaves still does not fit). The edit
// then shows the interval (FormatInterval);
// with a non-empty `path` "%%set,<path>,<interval>" is sent and its "RE" decides.
bool CheckRecordingInterval(TParamReader& in, TParamSink& out, const std::string& path,
                            TControl& edit);
// The same against the connected receiver.
bool CheckRecordingInterval(const std::string& path, TControl& edit);

// The wizard's pages, in the order of their sheets ("T1".."T7").
enum class TRecIntPage { Start, NoRaw, NoPos, Period, RawInterval, PosInterval, Finish };

// Candidate output periods in ms around `requestedMs`, in steps the slower output allows;
// `selected` gets the last one not above the request (the first if none).
std::vector<int> PeriodList(int requestedMs, int rawRate, int posRate, int& selected);
// Candidate measurement intervals in ms for an output of `rate` per second that divide
// `requestedMs`; `selected` gets the last one not above `currentMs` (-1 when the list is
// empty, the first when all are above).
std::vector<int> IntervalList(int requestedMs, int rate, int currentMs, int& selected);

class TRecIntWizardLogic {
public:
    // `host` shows the wait window and the wizard's status bar.
    TRecIntWizardLogic(double seconds, const TRecIntRates& rates, TParamReader& in, TParamSink& out,
                       TConfigHost& host);

    const std::vector<TRecIntPage>& sequence() const { return sequence_; }
    TRecIntPage page() const { return sequence_[position_]; }
    bool canBack() const { return position_ > 0; }
    // Next on the list pages only while the choice is what is in force.
    bool canNext() const;
    bool onFinishPage() const { return page() == TRecIntPage::Finish; }
    // Moving onto a list page fills it.
    void next();
    void back();

    // The list page shown: values in ms, the selection (-1 none).
    const std::vector<int>& items() const { return items_; }
    int selected() const { return selected_; }
    void select(int index);
    // Apply while the choice differs from what is in force.
    bool canApply() const;
    void refresh();
    bool apply();

    int requestedMs() const { return requestedMs_; }
    // The raw or position interval in force (ms; 0 unknown) on their pages.
    int currentMs() const { return currentMs_; }
    // "&Finish": the interval in seconds.
    double finish() const { return requestedMs_ / 1000.0; }

    // Called after every change the window must show.
    std::function<void()> onChanged;

private:
    void changed();
    bool intervalPage() const;

    TParamReader& in_;
    TParamSink& out_;
    TConfigHost& host_;
    TRecIntRates rates_;
    int requestedMs_;
    std::vector<TRecIntPage> sequence_;
    std::size_t position_ = 0;
    std::vector<int> items_;
    int selected_ = -1;
    int currentMs_ = 0;
};

} // namespace telvor
