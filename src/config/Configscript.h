#pragma once
// The configuration script: a .vxc script that checks the receiver model, brings the receiver's
// parameters to their defaults from whichever port it runs on, then sets every page's
// parameters as they stand. No Qt.
#include "config/Receiverconfig.h"

#include <ostream>
#include <string>

namespace telvor {

struct TScriptOrigin {
    std::string version; // the program's version text
    std::string date;    // its build date text
    std::string model;   // the receiver model, "<unknown>" when it did not answer
};

inline constexpr const char* kUnappliedChanges =
    "One or more parameter were changed but not applied.\nPlease apply the changes to be "
    "sure that\nthe receiver accepts current settings.";

// False when a line could not be written.
bool WriteConfigScript(std::ostream& out, const TScriptOrigin& origin, TReceiverConfig& config);

// A file name typed without an extension gets ".vxc", the name a script run looks for.
std::string ConfigScriptName(const std::string& typed);

struct TSaveOutcome {
    bool saved = false;
    bool unapplied = false; // refused: a page holds changes (kUnappliedChanges, an error box)
    std::string file;       // the name written to (ConfigScriptName)
    std::string status;     // "Saved to <file>" or "Unable to create <file>"
};

// "Save": refused while a page holds unapplied changes, otherwise the script of the pages as
// they stand, headed with the receiver model read from `in` ("<unknown>" without a reply).
TSaveOutcome SaveConfigScript(TReceiverConfig& config, TParamReader& in, const std::string& typed,
                              const std::string& version, const std::string& date);

} // namespace telvor
