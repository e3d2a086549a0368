#pragma once
// A configuration page declared as a table of rows (parameter, controls, kind, values, failure
// text) and the pattern every page follows: Refresh reads the rows in order, any change
// enables Apply, Apply writes the rows in order and stops at the first failure, and the
// same rows write the page's part of a configuration script. No Qt.
#include "config/Binding.h"

#include <functional>
#include <string>
#include <vector>

namespace telvor {

enum class TBindKind {
    Edit,
    CheckBox,      // onValue / offValue, read as on/y/yes
    CheckBoxValue, // ticked when the value equals onValue
    EditGroup,
    CheckBoxGroup,
    RadioGroup,
    RadioSet,
    ComboBox,
    SpinEdit,
    Figure, // an edit shown, never written; range-checked when it has a range
    Custom, // read and written by the row's own functions
};

// What a numeric edit must hold before it is written.
enum class TTextCheck { None, Number, Integer, Unsigned, IPv4 };

struct TApplyResult {
    bool ok = true;
    std::string message;
    TControl* control = nullptr;
};

struct TBindRow {
    std::string path{};
    TBindKind kind = TBindKind::Edit;
    ControlList controls{};
    ValueList values{};    // enumerated values, in caption order
    ValueList captions{};  // combo box captions
    std::string failure{}; // "Can't set ..."
    std::string onValue = "on";
    std::string offValue = "off";
    bool quote = false; // edits: Unquote on read, Quote on write
    TTextCheck check = TTextCheck::None;
    std::string invalid{}; // "Invalid ..." when the check fails
    // Figures: the exclusive range outside which the figure is blanked.
    bool ranged = false;
    double low = 0, high = 0;
    // Custom rows: a value that no single control holds (a position, a choice sent as a figure).
    std::function<void(TParamReader&)> read{};
    std::function<TApplyResult(TParamSink&)> write{};
};

// Row builders for the usual kinds; a combo row also gives the combo its captions.
TBindRow EditRow(std::string path, TControl& edit, std::string failure);
TBindRow CheckRow(std::string path, TControl& box, std::string failure);
TBindRow ComboRow(std::string path, TControl& combo, ValueList values, ValueList captions,
                  std::string failure);
TBindRow RadioGroupRow(std::string path, TControl& group, ValueList values, ValueList captions,
                       std::string failure);
TBindRow GroupRow(std::string path, TBindKind kind, ControlList controls, std::string failure);

// The wait window and status bar of the configuration window.
class TConfigHost {
public:
    virtual ~TConfigHost() = default;
    virtual bool waitShown() const = 0;
    virtual void showWait(const std::string& text) = 0;
    virtual void closeWait() = 0;
    virtual void setStatus(const std::string& text) = 0;
    // Brings the page's sheet to the front.
    virtual void showPage(const std::string& page) = 0;
};

inline constexpr const char* kQueryingText =
    "Please wait while Telvor is querying receiver parameters";
inline constexpr const char* kSendingText =
    "Please wait while Telvor is sending receiver parameters";

// Shows the wait window unless one is up, and takes it down again if it put it up.
class TWaitScope {
public:
    TWaitScope(TConfigHost& host, const std::string& text);
    ~TWaitScope();
    TWaitScope(const TWaitScope&) = delete;
    TWaitScope& operator=(const TWaitScope&) = delete;

private:
    TConfigHost& host_;
    bool created_;
};

class TConfigPage {
public:
    TConfigPage(std::string name, TControl& apply, TControl& refresh, TControl* sheet = nullptr);
    virtual ~TConfigPage() = default;
    TConfigPage(const TConfigPage&) = delete;
    TConfigPage& operator=(const TConfigPage&) = delete;

    const std::string& name() const { return name_; }
    const std::vector<TBindRow>& rows() const { return rows_; }
    // Sets the rows and tracks their controls: any change enables Apply.
    void setRows(std::vector<TBindRow> rows);
    // Tracks a control that is not a row of its own (a control the page derives).
    void track(TControl& control);

    // A disabled sheet is neither refreshed nor applied.
    bool available() const { return !sheet_ || sheet_->enabled(); }
    bool changed() const { return apply_.enabled(); }
    // Inside Refresh: the controls take the receiver's values, not the user's.
    bool refreshing() const { return refreshing_; }

    void refresh(TParamReader& in, TConfigHost& host);
    // Only when Apply is enabled; a failure shows the page, focuses the control and puts
    // its text in the status bar.
    TApplyResult apply(TParamSink& out, TConfigHost& host);
    // The rows as script lines; false at the first line that could not be written.
    bool script(TParamSink& out);
    // The "@echo <section> parameters" part of a saved script this page writes into; empty
    // for a page that is not saved. Several pages may share one (the port groups).
    virtual std::string scriptSection() const { return name_; }

protected:
    // Reads the rows; pages that interleave other reads override it.
    virtual void readRows(TParamReader& in);
    // Dependent controls after the reads (unit labels and the like).
    virtual void derive() {}
    static void readRow(TParamReader& in, const TBindRow& row);
    std::vector<TBindRow>& mutableRows() { return rows_; }
    static TApplyResult writeRow(TParamSink& out, const TBindRow& row);
    // Writes the rows in order and stops at the first failure; Apply and the script share it.
    // `scripting` tells a saved script from the receiver (a page may write more there).
    virtual TApplyResult writeRows(TParamSink& out, bool scripting);

    TControl& apply_;
    TControl& refresh_;

private:
    std::string name_;
    TControl* sheet_;
    std::vector<TBindRow> rows_;
    bool refreshing_ = false;
};

} // namespace telvor
