#pragma once
// The receiver report: the lines of the About window's memo and the two text files ("Save to
// file" in its fixed layout, "Report"). Values come through TParamSource, so the same texts are
// built from a live receiver, from telvor-cli, or from a table in a test. No Qt.
#include <string>
#include <vector>

namespace telvor {

inline constexpr const char* kUnknownValue = "<unknown>";

class TParamSource {
public:
    virtual ~TParamSource() = default;
    // What the receiver prints for `path`, or "<unknown>" when it answers nothing.
    virtual std::string value(const std::string& path) = 0;
};

// Asks the connected receiver ("%%print," + path, 2000 ms).
class TReceiverSource : public TParamSource {
public:
    std::string value(const std::string& path) override;
};

// `version` is the session's firmware number (major * 1000 + minor).
std::vector<std::string> ReceiverMemo(TParamSource& source, int version);
// "Save to file" for receivers that cannot print their whole tree (version 2001 and older).
std::string FixedLayout(TParamSource& source, int version);
// "Report", after the header lines.
std::string ReportLayout(TParamSource& source, int version);

// "r_" + the last six characters of the serial number + ".txt", or "report.txt".
std::string ProposedReportName(const std::string& serial);
// Block size times blocks, or "<unknown>" unless both are unsigned decimal numbers.
std::string PhysicalMemory(const std::string& blockSize, const std::string& blocks);
// "%3.3f" of a charging current between 0.001 and 5 A; empty when it is not to be shown.
std::string ChargerCurrent(const std::string& answer);

} // namespace telvor
