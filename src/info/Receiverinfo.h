#pragma once
// The receiver report's memo as the About window shows it, and the values the memo and the
// files share. Values come through TParamSource, so the same texts are built from a live
// receiver, from telvor-cli, or from a table in a test. No Qt.
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
std::vector<std::string> receiverMemo(TParamSource& source, int version);

// "yes" unless the receiver lacks "/par/pos/pd/reset".
std::string rtkSupport(TParamSource& source);

struct TMemoryBlocks {
    std::string blockSize, blocks, physical; // physical: their product, in bytes
};
TMemoryBlocks readMemoryBlocks(TParamSource& source);

// "r_" + the last six characters of the serial number + ".txt", or "report.txt".
std::string proposedReportName(const std::string& serial);
// Block size times blocks, or "<unknown>" unless both are unsigned decimal numbers.
std::string physicalMemory(const std::string& blockSize, const std::string& blocks);
// "%3.3f" of a charging current between 0.001 and 5 A; empty when it is not to be shown.
std::string chargerCurrent(const std::string& answer);

} // namespace telvor
