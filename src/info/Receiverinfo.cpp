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

const std::string kMemoRule(78, '-');
const std::string kFileRule = std::string(68, '-') + "\n";

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
    std::string_view inner = answer;
    if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}')
        inner = inner.substr(1, inner.size() - 2);
    std::vector<std::string> items = SplitItems(inner);
    auto item = [&](std::size_t i) {
        return i < items.size() && !items[i].empty() ? items[i] : std::string(kUnknownValue);
    };
    if (answer == kUnknownValue)
        return answer;
    return item(1) + " , " + item(0);
}

// A printf-style line with one value; labels carry their own padding.
std::string line(const char* format, const std::string& value) {
    std::string out;
    std::string_view f(format);
    std::size_t at = f.find("%s");
    out.append(f.substr(0, at));
    out.append(value);
    out.append(f.substr(at + 2));
    return out;
}

// The parameters every layout shares, read once.
struct TCommon {
    std::string rtk, blockSize, blocks, memory;
    explicit TCommon(TParamSource& s) {
        rtk = s.value("/par/pos/pd/reset") == kUnknownValue ? "no" : "yes";
        blockSize = s.value("/dev/blk/a&block_size");
        blocks = s.value("/dev/blk/a&blocks");
        memory = PhysicalMemory(blockSize, blocks);
    }
};

} // namespace

std::string TReceiverSource::value(const std::string& path) {
    return PrintParameter(path, kUnknownValue, 2000);
}

std::string PhysicalMemory(const std::string& blockSize, const std::string& blocks) {
    std::uint64_t size = 0, count = 0;
    if (!isUnsigned(blockSize, size) || !isUnsigned(blocks, count))
        return kUnknownValue;
    // A product that does not fit is as unknown as a missing factor.
    if (count != 0 && size > UINT64_MAX / count)
        return kUnknownValue;
    return std::to_string(size * count);
}

std::string ChargerCurrent(const std::string& answer) {
    double amps = 0;
    if (!isNumber(answer, amps) || amps < 0.001 || amps > 5)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%3.3f", amps);
    return text;
}

std::string ProposedReportName(const std::string& serial) {
    std::size_t first = serial.find_first_not_of(" \t\r\n");
    std::size_t last = serial.find_last_not_of(" \t\r\n");
    std::string sn = first == std::string::npos ? "" : serial.substr(first, last - first + 1);
    if (sn.empty() || sn == kUnknownValue)
        return "report.txt";
    return "r_" + sn.substr(sn.size() > 6 ? sn.size() - 6 : 0) + ".txt";
}

std::vector<std::string> ReceiverMemo(TParamSource& s, int version) {
    std::vector<std::string> memo;
    auto add = [&](const std::string& label, const std::string& path, const char* unit = "") {
        memo.push_back(label + s.value(path) + unit);
    };
    const std::string model = s.value("/par/rcv/model");
    memo.push_back("Receiver model:\t" + model);
    add("Receiver S/N:\t", "/par/rcv/sn");
    add("Receiver ID:\t", "/par/rcvid");
    add("Firmware version:\t", "/par/version/main");
    TCommon common(s);
    memo.push_back("RTK support:\t" + common.rtk);
    add("Mainboard version:\t", "/par/rcv/ver/board");
    add("RAM size:\t\t", "/par/rcv/mem", "KB");
    // The power-board line compares the model as answered, the power section upper-cased.
    if (version >= 2002 && oneOf(model, {"VORNA", "VORNA_LITE", "KESTA", "LUMIQ_E", "DARVO"}))
        memo.push_back("Power Board:\t" + powerBoard(s.value("/par/rcv/ver/pow:on")));
    add("Power supply (V):\t", "/par/pwr/ext");
    add("Antenna input:\t", "/par/ant/curinp");
    add("Ext. Ant. DC status:\t", "/par/ant/dc");

    if (version > 1008) {
        memo.push_back(kMemoRule);
        const std::string big = upper(model);
        if (oneOf(big, {"LUMIQ", "VORNA", "VORNA_LITE", "KESTA", "LUMIQ_E", "DARVO"})) {
            add("Power source:\t", "/par/pwr/mode");
            add("Power cur.source:\t", "/par/pwr/curmode");
            add("Charger status:\t", "/par/pwr/charge/bat");
            add("Charger cur.status:\t", "/par/pwr/charge/curbat");
            if (big == "LUMIQ") {
                add("Charger speed:\t", "/par/pwr/charge/speed");
                add("Charger cur.speed:\t", "/par/pwr/charge/curspeed");
            }
            add("Battery A(V):\t", "/par/pwr/bat/a");
            add("Battery B(V):\t", "/par/pwr/bat/b");
            add("On board (V):\t", "/par/pwr/board");
            add("Charger (V):\t", "/par/pwr/charger");
            add("On ports (V):\t", "/par/pwr/extports");
            std::string current = ChargerCurrent(s.value("/par/pwr/chdc"));
            if (!current.empty())
                memo.push_back("Charger current (A):\t" + current);
            memo.push_back(kMemoRule);
        }
        add("Digital part 3.3V (V):\t", "/par/pwr/d3v");
        add("Analog part 3.3V (V):\t", "/par/pwr/a3v");
        add("Digital part 5V (V):\t", "/par/pwr/d5v");
        add("Analog part 5V (V):\t", "/par/pwr/a5v");
        add("Temperature (\u00b0C):\t", "/par/dev/thermo/out");
    }

    memo.push_back(kMemoRule);
    add("Flash memory size:\t", "/par/dev/blk/a/size", " bytes");
    add("Flash memory free:\t", "/par/dev/blk/a/free", " bytes");
    add("Number of files:\t", "/par/dev/blk/a/files");
    add("Bad blocks:\t", "/par/dev/blk/a/bad_blocks");
    add("Write verify:\t", "/par/dev/blk/a/verify");
    memo.push_back("Block size:\t" + common.blockSize + " bytes");
    memo.push_back("Blocks for files:\t" + common.blocks);
    memo.push_back("Physical memory:\t" + common.memory + " bytes");

    const std::string port = s.value("/cur/term");
    if (port != kUnknownValue) {
        memo.push_back(kMemoRule);
        memo.push_back("Current port:\t" + port);
        if (port != "/dev/prl/a") {
            add("Speed:\t\t", "/par" + port + "/rate");
            add("Parity:\t\t", "/par" + port + "/parity");
            add("Stop bits:\t\t", "/par" + port + "/stops");
            add("RTS/CTS:\t\t", "/par" + port + "/rtscts");
            add("Infrared:\t\t", "/par" + port + "/ir");
        }
    }

    memo.push_back(kMemoRule);
    add("Time from last reset:\t", "/par/rcv/uptime");
    add("Hardware version:\t", "/par/rcv/ver/hw");
    add("Boot loader version:\t", "/par/rcv/ver/boot");
    if (version > 1008)
        add("Wait states:\t", "/par/rcv/flash/waitstates");
    return memo;
}

std::string FixedLayout(TParamSource& s, int version) {
    std::string out;
    auto add = [&](const char* format, const std::string& path) {
        out += line(format, s.value(path));
    };
    add("Receiver model:        %s\n", "/par/rcv/model");
    add("Receiver ID:           %s\n", "/par/rcvid");
    add("Firmware version:      %s\n", "/par/version/main");
    TCommon common(s);
    out += line("RTK support:           %s\n", common.rtk);
    add("Mainboard version:     %s\n", "/par/rcv/ver/board");
    add("RAM size:              %s\n", "/par/rcv/mem");
    add("Antenna input:         %s\n", "/par/ant/curinp");
    add("Power supply (V):      %s\n", "/par/pwr/ext");
    add("Ext. Ant. DC status:   %s\n", "/par/ant/dc");
    if (version > 1008) {
        out += kFileRule;
        add("Power source:        %s\n", "/par/pwr/mode");
        add("Power cur.source:    %s\n", "/par/pwr/curmode");
        add("Charger status:      %s\n", "/par/pwr/charge/bat");
        add("Charger cur.status:  %s\n", "/par/pwr/charge/curbat");
        add("Charger speed:       %s\n", "/par/pwr/charge/speed");
        add("Charger cur.speed:   %s\n", "/par/pwr/charge/curspeed");
        add("Battery A(V):        %s\n", "/par/pwr/bat/a");
        add("Battery B(V):        %s\n", "/par/pwr/bat/b");
        add("On board (V):        %s\n", "/par/pwr/board");
        add("Charger (V):         %s\n", "/par/pwr/charger");
        out += kFileRule;
        add("Digital part 3.3V (V):   %s\n", "/par/pwr/d3v");
        add("Analog part 3.3V (V):    %s\n", "/par/pwr/a3v");
        add("Digital part 5V (V):     %s\n", "/par/pwr/d5v");
        add("Analog part 5V (V):      %s\n", "/par/pwr/a5v");
    }
    out += kFileRule;
    add("Flash memory size:  %s\n", "/par/dev/blk/a/size");
    add("Flash memory free:  %s\n", "/par/dev/blk/a/free");
    add("Number of files:    %s\n", "/par/dev/blk/a/files");
    add("Bad blocks:         %s\n", "/par/dev/blk/a/bad_blocks");
    add("Write verify:       %s\n", "/par/dev/blk/a/verify");
    out += line("Block size:         %s\n", common.blockSize);
    out += line("Blocks for files:   %s\n", common.blocks);
    out += line("Physical memory:    %s bytes\n", common.memory);

    const std::string port = s.value("/cur/term");
    if (port != kUnknownValue) {
        out += kFileRule;
        out += line("Current port:  %s\n", port);
        if (port != "/dev/prl/a") {
            add("Speed:        %s\n", "/par" + port + "/rate");
            add("Parity:       %s\n", "/par" + port + "/parity");
            add("Stop bits:    %s\n", "/par" + port + "/stops");
            add("Infrared:     %s\n", "/par" + port + "/ir");
        }
    }
    out += kFileRule;
    add("Time from last reset:  %s\n", "/par/rcv/uptime");
    add("Hardware version:      %s\n", "/par/rcv/ver/hw");
    add("Boot loader version:   %s\n", "/par/rcv/ver/boot");
    if (version > 1008)
        add("Wait states:           %s\n", "/par/rcv/flash/waitstates");
    out += kFileRule;
    return out;
}

std::string ReportLayout(TParamSource& s, int version) {
    std::string out = "Receiver parameters\n";
    auto add = [&](const char* format, const std::string& path) {
        out += line(format, s.value(path));
    };
    add("Serial number:             %s\n", "/par/rcv/sn");
    add("Receiver model:            %s\n", "/par/rcv/model");
    add("Receiver ID:               %s\n", "/par/rcvid");
    add("Receiver mainboard:        %s\n", "/par/rcv/ver/board");
    add("RAM size:                  %s\n", "/par/rcv/mem");
    add("Receiver board firmware:   %s\n", "/par/version/main");
    add("Receiver board hardware:   %s\n", "/par/rcv/ver/hw");
    add("Boot loader version:       %s\n", "/par/rcv/ver/boot");
    add("Power board firmware:      %s\n", "/par/rcv/ver/pow/fw");
    add("Power board hardware:      %s\n", "/par/rcv/ver/pow/hw");
    add("Antenna input:             %s\n", "/par/ant/curinp");
    add("Ext. Ant. DC status:       %s\n", "/par/ant/dc");
    add("Power source:              %s\n", "/par/pwr/mode");
    add("Power cur.source:          %s\n", "/par/pwr/curmode");
    add("Charger status:            %s\n", "/par/pwr/charge/bat");
    add("Charger cur.status:        %s\n", "/par/pwr/charge/curbat");
    add("Extternal power (V):       %s\n", "/par/pwr/ext");
    add("Battery A(V):              %s\n", "/par/pwr/bat/a");
    add("Battery B(V):              %s\n", "/par/pwr/bat/b");
    add("On board (V):              %s\n", "/par/pwr/board");
    add("Digital part 3.3V (V):     %s\n", "/par/pwr/d3v");
    add("Analog  part 3.3V (V):     %s\n", "/par/pwr/a3v");
    add("Digital part 5V (V):       %s\n", "/par/pwr/d5v");
    add("Analog  part 5V (V):       %s\n", "/par/pwr/a5v");
    add("CPU frequency (MHz):       %s\n", "/par/cpu/frq");
    add("Available memory (bytes):  %s\n", "/par/dev/blk/a/size");
    add("Bad blocks:                %s\n", "/par/dev/blk/a/bad_blocks");
    add("Write verify:              %s\n", "/par/dev/blk/a/verify");
    const std::string blockSize = s.value("/dev/blk/a&block_size");
    const std::string blocks = s.value("/dev/blk/a&blocks");
    out += line("Block size (bytes):        %s\n", blockSize);
    out += line("Blocks for files:          %s\n", blocks);
    out += line("Physical memory (bytes):   %s\n", PhysicalMemory(blockSize, blocks));
    if (version > 1008)
        add("Wait states:               %s\n", "/par/rcv/flash/waitstates");
    return out;
}

} // namespace telvor
