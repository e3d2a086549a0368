// The saved report's fixed-column layouts: each line a label padded to its column and a value.
#include "info/Reportlayout.h"

#include <string_view>

namespace telvor {
namespace {

const std::string kRule = std::string(68, '-') + "\n";

// A printf-style line with one "%s"; the labels carry their own padding. Appended in place:
// a report is a few dozen of these.
void appendLine(std::string& out, std::string_view format, std::string_view value) {
    const std::size_t at = format.find("%s");
    out.append(format.substr(0, at)).append(value).append(format.substr(at + 2));
}

class TLayout {
public:
    TLayout(TParamSource& source, int version) : s_(source), version_(version) {}

    std::string saveLayout() {
        identity();
        if (version_ > 1008)
            power();
        memory();
        port();
        versions();
        out_ += kRule;
        return std::move(out_);
    }

    std::string reportLayout() {
        out_ = "Receiver parameters\n";
        reportIdentity();
        reportPower();
        reportMemory();
        return std::move(out_);
    }

private:
    void add(std::string_view format, const std::string& path) {
        appendLine(out_, format, s_.value(path));
    }

    void identity() {
        add("Receiver model:        %s\n", "/par/rcv/model");
        add("Receiver ID:           %s\n", "/par/rcvid");
        add("Firmware version:      %s\n", "/par/version/main");
        appendLine(out_, "RTK support:           %s\n", rtkSupport(s_));
        add("Mainboard version:     %s\n", "/par/rcv/ver/board");
        add("RAM size:              %s\n", "/par/rcv/mem");
        add("Antenna input:         %s\n", "/par/ant/curinp");
        add("Power supply (V):      %s\n", "/par/pwr/ext");
        add("Ext. Ant. DC status:   %s\n", "/par/ant/dc");
    }

    void power() {
        out_ += kRule;
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
        out_ += kRule;
        add("Digital part 3.3V (V):   %s\n", "/par/pwr/d3v");
        add("Analog part 3.3V (V):    %s\n", "/par/pwr/a3v");
        add("Digital part 5V (V):     %s\n", "/par/pwr/d5v");
        add("Analog part 5V (V):      %s\n", "/par/pwr/a5v");
    }

    void memory() {
        out_ += kRule;
        add("Flash memory size:  %s\n", "/par/dev/blk/a/size");
        add("Flash memory free:  %s\n", "/par/dev/blk/a/free");
        add("Number of files:    %s\n", "/par/dev/blk/a/files");
        add("Bad blocks:         %s\n", "/par/dev/blk/a/bad_blocks");
        add("Write verify:       %s\n", "/par/dev/blk/a/verify");
        const TMemoryBlocks blocks = readMemoryBlocks(s_);
        appendLine(out_, "Block size:         %s\n", blocks.blockSize);
        appendLine(out_, "Blocks for files:   %s\n", blocks.blocks);
        appendLine(out_, "Physical memory:    %s bytes\n", blocks.physical);
    }

    void port() {
        const std::string port = s_.value("/cur/term");
        if (port == kUnknownValue)
            return;
        out_ += kRule;
        appendLine(out_, "Current port:  %s\n", port);
        if (port == "/dev/prl/a") // the parallel port has no line settings
            return;
        add("Speed:        %s\n", "/par" + port + "/rate");
        add("Parity:       %s\n", "/par" + port + "/parity");
        add("Stop bits:    %s\n", "/par" + port + "/stops");
        add("Infrared:     %s\n", "/par" + port + "/ir");
    }

    void versions() {
        out_ += kRule;
        add("Time from last reset:  %s\n", "/par/rcv/uptime");
        add("Hardware version:      %s\n", "/par/rcv/ver/hw");
        add("Boot loader version:   %s\n", "/par/rcv/ver/boot");
        if (version_ > 1008)
            add("Wait states:           %s\n", "/par/rcv/flash/waitstates");
    }

    void reportIdentity() {
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
    }

    void reportPower() {
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
    }

    void reportMemory() {
        add("Available memory (bytes):  %s\n", "/par/dev/blk/a/size");
        add("Bad blocks:                %s\n", "/par/dev/blk/a/bad_blocks");
        add("Write verify:              %s\n", "/par/dev/blk/a/verify");
        const TMemoryBlocks blocks = readMemoryBlocks(s_);
        appendLine(out_, "Block size (bytes):        %s\n", blocks.blockSize);
        appendLine(out_, "Blocks for files:          %s\n", blocks.blocks);
        appendLine(out_, "Physical memory (bytes):   %s\n", blocks.physical);
        if (version_ > 1008)
            add("Wait states:               %s\n", "/par/rcv/flash/waitstates");
    }

    TParamSource& s_;
    const int version_;
    std::string out_;
};

} // namespace

std::string fixedLayout(TParamSource& source, int version) {
    return TLayout(source, version).saveLayout();
}

std::string reportLayout(TParamSource& source, int version) {
    return TLayout(source, version).reportLayout();
}

} // namespace telvor
