#pragma once
// Reading receiver parameters into controls and writing them back: one reader and one writer
// per kind of control. A writer sends through a TParamSink, so the same rules write to the
// receiver or append a line to a configuration script. No Qt.
#include "config/Control.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace telvor {

// Receiver values of an enumerated parameter, or the captions shown for them; up to 24,
// ended by the first empty entry.
using ValueList = std::vector<std::string>;
// Controls bound to the elements of one list parameter, in element order; ended by the first
// null entry.
using ControlList = std::vector<TControl*>;

inline constexpr int kParamTimeoutMs = 2000;

class TParamReader {
public:
    virtual ~TParamReader() = default;
    // The value of one reply; nothing when "RE" does not come.
    virtual std::optional<std::string> print(const std::string& path) = 0;
    // The whole value, collected over as many replies as its braces need.
    virtual std::optional<std::string> collect(const std::string& path) = 0;
};

class TParamSink {
public:
    virtual ~TParamSink() = default;
    virtual bool set(const std::string& path, const std::string& value) = 0;
    // A command that is not a set ("em,<port>,<list>", "dm,<port>"); false when refused.
    virtual bool command(const std::string& text) { return text.empty(); }
    // The receiver needs a moment between two writes (a port's handshake).
    virtual void pause(int ms) { (void)ms; }
};

// The connected receiver: "%%print,<path>" and "%%set,<path>,<value>", 2000 ms each.
class TReceiverParams : public TParamReader, public TParamSink {
public:
    std::optional<std::string> print(const std::string& path) override;
    std::optional<std::string> collect(const std::string& path) override;
    bool set(const std::string& path, const std::string& value) override;
    bool command(const std::string& text) override;
    // Keeps the interface alive meanwhile.
    void pause(int ms) override;
    // The text of the receiver's "ER" to the last refused set; empty after a timeout.
    const std::string& lastError() const { return lastError_; }

private:
    std::string lastError_;
};

// Appends "%<path>%set,<path>,<value>" lines to a configuration script.
class TScriptSink : public TParamSink {
public:
    explicit TScriptSink(std::ostream& out) : out_(out) {}
    bool set(const std::string& path, const std::string& value) override;
    // "%<verb>%<command>", the verb as the reply's id.
    bool command(const std::string& text) override;
    void pause(int ms) override;

private:
    std::ostream& out_;
};

// The reply at the front of the input and its continuations until the braces balance;
// trimmed, or empty when a continuation does not come.
std::string CollectReply();

// Readers: false when the receiver did not answer (the controls then show it).
bool ReadEdit(TParamReader& in, const std::string& path, TControl& edit, bool unquote = false);
bool ReadCheckBox(TParamReader& in, const std::string& path, TControl& box);
bool ReadCheckBoxValue(TParamReader& in, const std::string& path, const std::string& onValue,
                       TControl& box);
bool ReadEditGroup(TParamReader& in, const std::string& path, const ControlList& edits,
                   bool unquote = false);
bool ReadCheckBoxGroup(TParamReader& in, const std::string& path, const ControlList& boxes);
bool ReadRadioGroup(TParamReader& in, const std::string& path, TControl& group,
                    const ValueList& values);
bool ReadRadioSet(TParamReader& in, const std::string& path, const ControlList& buttons,
                  const ValueList& values);
bool ReadSpinEdit(TParamReader& in, const std::string& path, TControl& spin);
bool ReadComboBox(TParamReader& in, const std::string& path, const ValueList& values,
                  TControl& combo, const ValueList& captions);

// Writers: a disabled control (or nothing to send) counts as success.
bool WriteEdit(TParamSink& out, const std::string& path, const TControl& edit, bool quote = false);
bool WriteEditGroup(TParamSink& out, const std::string& path, const ControlList& edits,
                    bool quote = false);
bool WriteCheckBox(TParamSink& out, const std::string& path, const TControl& box,
                   const std::string& onValue = "on", const std::string& offValue = "off");
bool WriteCheckBoxGroup(TParamSink& out, const std::string& path, const ControlList& boxes,
                        const std::string& onValue = "on", const std::string& offValue = "off");
bool WriteRadioGroup(TParamSink& out, const std::string& path, const TControl& group,
                     const ValueList& values);
bool WriteRadioSet(TParamSink& out, const std::string& path, const ControlList& buttons,
                   const ValueList& values);
bool WriteComboBox(TParamSink& out, const std::string& path, const ValueList& values,
                   const TControl& combo, const ValueList& captions);
bool WriteSpinEdit(TParamSink& out, const std::string& path, const TControl& spin);

// The control's text must be a number strictly between `low` and `high`; otherwise it is
// emptied and disabled with its label.
bool CheckRange(double low, double high, TControl& control);
// Selects the item with exactly `text`; none when no item has it.
void SelectComboText(TControl& combo, const std::string& text);

} // namespace telvor
