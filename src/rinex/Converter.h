#pragma once
// The converter's command line, file names and run: what telvor-vxr2rin and `telvor-cli
// rinex` share. Results carry the exit code and one line of text. No Qt.
#include "rinex/Rinexwriter.h"

#include <string>
#include <vector>

namespace telvor {

// Exit codes the logging worker knows the texts of.
enum TConverterCode : int {
    kConvertOk = 0,
    kOpenError = 1,
    kNotRawFile = 2,
    kCorruptData = 3,
    kInternalError = 5,
    kOutputError = 12,
    kUsageError = 255, // the worker reads it as -1, "Invalid command line?"
};

struct TConverterArgs {
    std::string input, settings, outputFolder;
    bool quiet = false, longNames = true, namesGiven = false;
    TRinexOptions rinex;
};

struct TConverterResult {
    int code = kConvertOk;
    std::string text;                 // empty on success
    std::vector<std::string> written; // the files made
};

// -i FILE -p SETTINGS -q -G -R -1 -2 and --version 2.11|3.04, --out DIR, --short, --long,
// --interval SECONDS. A failure has code kUsageError.
TConverterResult parseConverterArgs(const std::vector<std::string>& args, TConverterArgs& out);
// The header texts of the "VXR2RIN" section of a settings file.
THeaderTexts readHeaderTexts(const std::string& settingsFile);
TConverterResult convertFile(const TConverterArgs& a);

// Standard names: long "SSSS00XXX_R_YYYYDDDHHMM_01H_01S_MO.rnx" or short "ssssdddh.yyO".
std::string observationName(const std::string& station, const TVxrContent& c,
                            const TConverterArgs& a, char kind, const char* tail);

extern const char* const kConverterUsage;

} // namespace telvor
