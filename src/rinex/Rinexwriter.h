#pragma once
// RINEX 3.04 and 2.11 observation and navigation files from the content of a raw file.
#include "rinex/Vxrreader.h"

#include <string>

namespace telvor {

struct THeaderTexts {
    std::string runBy, observer, agency, antNumber, antType, comment, markerName, markerNumber;
};

struct TRinexOptions {
    int version = 304; // 304 or 211
    bool gps = true, glo = true, l1 = true, l2 = true;
    int decimateMs = 0; // keep only epochs on multiples of this; 0 keeps all
    THeaderTexts header;
};

// Header fields take the file's site records over the settings' texts.
std::string rinexObservations(const TVxrContent& c, const TRinexOptions& o);
std::string rinexNavigation(const TVxrContent& c, const TRinexOptions& o, char system);

// One header line: the text padded to 60 columns and the label.
std::string headerLine(const std::string& text, const std::string& label);

} // namespace telvor
