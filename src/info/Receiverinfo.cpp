// The About window's memo: one line per value, label and value apart by tabs, its sections
// chosen by the receiver model and the firmware number.
#include "info/Receiverinfo.h"

#include "protocol/Commtools.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

namespace telvor {
namespace {

const std::string kRule(78, '-');

bool oneOf(const std::string& text, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), text) != names.end();
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Completely a decimal number: strtod alone would also take "inf", "nan" and hexadecimal.
bool isNumber(const std::string& text, double& v) {
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return false;
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

bool isUnsigned(const std::string& text, std::uint64_t& v) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    v = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

// "/par/rcv/ver/pow:on" answers a list; the line shows its second item, then its first.
std::string powerBoard(const std::string& answer) {
    if (answer == kUnknownValue)
        return answer;
    std::string_view inner = answer;
    if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}')
        inner = inner.substr(1, inner.size() - 2);
    const std::vector<std::string> items = SplitItems(inner);
    auto item = [&](std::size_t i) {
        return i < items.size() && !items[i].empty() ? items[i] : std::string(kUnknownValue);
    };
    return item(1) + " , " + item(0);
}

class TMemo {
public:
    TMemo(TParamSource& source, int version)
        : s_(source), version_(version), model_(source.value("/par/rcv/model")) {}

    std::vector<std::string> build() {
        identity();
        if (version_ > 1008)
            power();
        memory();
        port();
        versions();
        return std::move(lines_);
    }

private:
    void add(const std::string& label, const std::string& path, const char* unit = "") {
        lines_.push_back(label + s_.value(path) + unit);
    }

    void identity() {
        lines_.push_back("Receiver model:\t" + model_);
        add("Receiver S/N:\t", "/par/rcv/sn");
        add("Receiver ID:\t", "/par/rcvid");
        add("Firmware version:\t", "/par/version/main");
        lines_.push_back("RTK support:\t" + rtkSupport(s_));
        add("Mainboard version:\t", "/par/rcv/ver/board");
        add("RAM size:\t\t", "/par/rcv/mem", "KB");
        // This line compares the model as answered; the power section upper-cased.
        if (version_ >= 2002 && oneOf(model_, {"VORNA", "VORNA_LITE", "KESTA", "LUMIQ_E", "DARVO"}))
            lines_.push_back("Power Board:\t" + powerBoard(s_.value("/par/rcv/ver/pow:on")));
        add("Power supply (V):\t", "/par/pwr/ext");
        add("Antenna input:\t", "/par/ant/curinp");
        add("Ext. Ant. DC status:\t", "/par/ant/dc");
    }

    void power() {
        lines_.push_back(kRule);
        const std::string model = upper(model_);
        if (oneOf(model, {"LUMIQ", "VORNA", "VORNA_LITE", "KESTA", "LUMIQ_E", "DARVO"}))
            powerBoardValues(model == "LUMIQ");
        add("Digital part 3.3V (V):\t", "/par/pwr/d3v");
        add("Analog part 3.3V (V):\t", "/par/pwr/a3v");
        add("Digital part 5V (V):\t", "/par/pwr/d5v");
        add("Analog part 5V (V):\t", "/par/pwr/a5v");
        add("Temperature (\u00b0C):\t", "/par/dev/thermo/out");
    }

    void powerBoardValues(bool chargerSpeed) {
        add("Power source:\t", "/par/pwr/mode");
        add("Power cur.source:\t", "/par/pwr/curmode");
        add("Charger status:\t", "/par/pwr/charge/bat");
        add("Charger cur.status:\t", "/par/pwr/charge/curbat");
        if (chargerSpeed) {
            add("Charger speed:\t", "/par/pwr/charge/speed");
            add("Charger cur.speed:\t", "/par/pwr/charge/curspeed");
        }
        add("Battery A(V):\t", "/par/pwr/bat/a");
        add("Battery B(V):\t", "/par/pwr/bat/b");
        add("On board (V):\t", "/par/pwr/board");
        add("Charger (V):\t", "/par/pwr/charger");
        add("On ports (V):\t", "/par/pwr/extports");
        const std::string current = chargerCurrent(s_.value("/par/pwr/chdc"));
        if (!current.empty())
            lines_.push_back("Charger current (A):\t" + current);
        lines_.push_back(kRule);
    }

    void memory() {
        lines_.push_back(kRule);
        add("Flash memory size:\t", "/par/dev/blk/a/size", " bytes");
        add("Flash memory free:\t", "/par/dev/blk/a/free", " bytes");
        add("Number of files:\t", "/par/dev/blk/a/files");
        add("Bad blocks:\t", "/par/dev/blk/a/bad_blocks");
        add("Write verify:\t", "/par/dev/blk/a/verify");
        const TMemoryBlocks blocks = readMemoryBlocks(s_);
        lines_.push_back("Block size:\t" + blocks.blockSize + " bytes");
        lines_.push_back("Blocks for files:\t" + blocks.blocks);
        lines_.push_back("Physical memory:\t" + blocks.physical + " bytes");
    }

    void port() {
        const std::string port = s_.value("/cur/term");
        if (port == kUnknownValue)
            return;
        lines_.push_back(kRule);
        lines_.push_back("Current port:\t" + port);
        if (port == "/dev/prl/a") // the parallel port has no line settings
            return;
        add("Speed:\t\t", "/par" + port + "/rate");
        add("Parity:\t\t", "/par" + port + "/parity");
        add("Stop bits:\t\t", "/par" + port + "/stops");
        add("RTS/CTS:\t\t", "/par" + port + "/rtscts");
        add("Infrared:\t\t", "/par" + port + "/ir");
    }

    void versions() {
        lines_.push_back(kRule);
        add("Time from last reset:\t", "/par/rcv/uptime");
        add("Hardware version:\t", "/par/rcv/ver/hw");
        add("Boot loader version:\t", "/par/rcv/ver/boot");
        if (version_ > 1008)
            add("Wait states:\t", "/par/rcv/flash/waitstates");
    }

    TParamSource& s_;
    const int version_;
    const std::string model_;
    std::vector<std::string> lines_;
};

} // namespace

std::string TReceiverSource::value(const std::string& path) {
    return PrintParameter(path, kUnknownValue, 2000);
}

std::vector<std::string> receiverMemo(TParamSource& source, int version) {
    return TMemo(source, version).build();
}

std::string rtkSupport(TParamSource& source) {
    return source.value("/par/pos/pd/reset") == kUnknownValue ? "no" : "yes";
}

TMemoryBlocks readMemoryBlocks(TParamSource& source) {
    TMemoryBlocks b;
    b.blockSize = source.value("/dev/blk/a&block_size");
    b.blocks = source.value("/dev/blk/a&blocks");
    b.physical = physicalMemory(b.blockSize, b.blocks);
    return b;
}

std::string physicalMemory(const std::string& blockSize, const std::string& blocks) {
    std::uint64_t size = 0, count = 0;
    if (!isUnsigned(blockSize, size) || !isUnsigned(blocks, count))
        return kUnknownValue;
    // A product that does not fit is as unknown as a missing factor.
    if (count != 0 && size > UINT64_MAX / count)
        return kUnknownValue;
    return std::to_string(size * count);
}

std::string chargerCurrent(const std::string& answer) {
    double amps = 0;
    if (!isNumber(answer, amps) || amps < 0.001 || amps > 5)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%3.3f", amps);
    return text;
}

std::string proposedReportName(const std::string& serial) {
    const std::size_t first = serial.find_first_not_of(" \t\r\n");
    const std::size_t last = serial.find_last_not_of(" \t\r\n");
    const std::string sn = first == std::string::npos ? "" : serial.substr(first, last - first + 1);
    if (sn.empty() || sn == kUnknownValue)
        return "report.txt";
    return "r_" + sn.substr(sn.size() > 6 ? sn.size() - 6 : 0) + ".txt";
}

} // namespace telvor
