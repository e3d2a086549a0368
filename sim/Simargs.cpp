#include "sim/Simargs.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <vector>

namespace telvorsim {
namespace {

bool parseTime(const char* text, std::int64_t& ms) {
    std::tm tm{};
    int y, mo, d, h = 0, mi = 0, s = 0;
    char sep = ' ';
    int n = std::sscanf(text, "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &sep, &h, &mi, &s);
    if (n != 3 && n != 7)
        return false;
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    ms = static_cast<std::int64_t>(timegm(&tm)) * 1000;
    return true;
}

bool number(const char* text, double& v) {
    char* end = nullptr;
    v = std::strtod(text, &end);
    return end && end != text && *end == 0;
}

// NAME:SIZE[:SEED]; the name may hold blanks (and colons: the numbers are taken from the end).
bool parseSeedFile(const std::string& text, std::vector<TSeedFile>& files) {
    auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 12 && t.find_first_not_of("0123456789") == t.npos;
    };
    std::size_t last = text.rfind(':');
    if (last == std::string::npos || last == 0)
        return false;
    TSeedFile f;
    std::string name = text.substr(0, last), size = text.substr(last + 1);
    std::size_t before = name.rfind(':');
    if (before != std::string::npos && digits(name.substr(before + 1)) && digits(size)) {
        f.seed = std::stoull(size);
        size = name.substr(before + 1);
        name.resize(before);
    }
    if (!digits(size) || !TFileSystem::checkName(name).empty())
        return false;
    f.name = name;
    f.size = std::stoull(size);
    files.push_back(f);
    return f.size <= TFileSystem::kBlockSize * TFileSystem::kBlocks;
}

bool validPattern(const std::string& p) {
    try {
        std::regex r(p);
        return true;
    } catch (const std::regex_error&) {
        return false;
    }
}

TSimArgs usage(const std::string& text) {
    return {TSimArgs::Usage, "telvor-sim: " + text + "\n"};
}

// E,N,U in metres.
bool parseOffset(const char* text, TSimOptions& o) {
    char tail = 0;
    return std::sscanf(text, "%lf,%lf,%lf%c", &o.antennaEast, &o.antennaNorth, &o.antennaUp,
                       &tail) == 3;
}

bool inRange(const char* text, double& v, double low, double high) {
    return number(text, v) && v >= low && v <= high;
}

// One option: its name, the word --help shows for its value (empty: a flag), the section of
// --help it belongs to, its help (a "\n" continues it on the next line), and what it does.
// `apply` gets the value (null for a flag) and returns false when the value is bad.
struct TSimOption {
    const char* name;
    const char* value;
    const char* section;
    const char* help;
    bool (*apply)(const char* value, TSimArgs& a);
};

constexpr double kBig = 1e18;

const std::vector<TSimOption>& simOptions() {
    using A = TSimArgs;
    static const std::vector<TSimOption> kOptions = {
        {"pty", "PATH", "Transport (one of)",
         "serve on a pseudo-terminal whose slave is linked to PATH; output is\npaced at the "
         "port rate, and a client whose rate differs reads garbage",
         [](const char* v, A& a) { return a.ptyPath = v, true; }},
        {"tcp", "[PORT]", "Transport (one of)",
         "serve the Ethernet port with its login (default port 8002; 0 = any)", nullptr},
        {"bind", "ADDR", "Transport (one of)", "address for --tcp (default 127.0.0.1)",
         [](const char* v, A& a) { return a.bind = v, true; }},

        {"baud", "N", "Receiver", "port rate at start (default 115200)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 50, kBig) && (a.options.baud = static_cast<unsigned>(d), true);
         }},
        {"default-baud", "N", "Receiver",
         "factory port rate, back after NVRAM clear or init (default 115200)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 50, kBig) &&
                    (a.options.defaultBaud = static_cast<unsigned>(d), true);
         }},
        {"password", "TEXT", "Receiver", "Ethernet login password (default empty)",
         [](const char* v, A& a) { return a.options.password = v, true; }},
        {"model", "TEXT", "Receiver", "\"/par/rcv/model\" (default VORNA)",
         [](const char* v, A& a) { return a.options.model = v, true; }},
        {"serial", "TEXT", "Receiver", "\"/par/rcv/sn\"",
         [](const char* v, A& a) { return a.options.serial = v, true; }},
        {"id", "TEXT", "Receiver", "\"/par/rcvid\"",
         [](const char* v, A& a) { return a.options.id = v, true; }},
        {"firmware", "TEXT", "Receiver", "\"/par/rcv/ver/main\" (default 3.1)",
         [](const char* v, A& a) { return a.options.firmware = v, true; }},
        {"omit", "PATH", "Receiver",
         "the receiver lacks this parameter and all below it (repeatable)",
         [](const char* v, A& a) { return a.options.omit.push_back(v), true; }},
        {"port-name", "PATH", "Receiver",
         "the receiver's name for the serial port (default /dev/ser/a)",
         [](const char* v, A& a) { return a.options.serialPort = v, true; }},
        {"echo-off", "TEXT", "Receiver", "echo-off text accepted silently (default #OFF#)",
         [](const char* v, A& a) { return a.options.echoOff = v, true; }},
        {"modem", "PORT", "Receiver", "an RFM96 radio modem on this serial port (/dev/ser/b ...)",
         [](const char* v, A& a) {
             std::string p = v;
             return p.rfind("/dev/ser/", 0) == 0 && p.size() == 10 &&
                    (a.options.modemPort = p, true);
         }},
        {"reset-silence-ms", "N", "Receiver",
         "how long a restarting receiver says nothing (default 2000)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 0, kBig) &&
                    (a.options.resetSilenceMs = static_cast<int>(d), true);
         }},
        {"file", "NAME:SIZE[:SEED]", "Receiver",
         "a file of SIZE bytes in the receiver's memory (/log/NAME); its\nbytes follow from "
         "SEED (default 1); repeatable",
         [](const char* v, A& a) { return parseSeedFile(v, a.options.files); }},

        {"start", "\"YYYY-MM-DD HH:MM:SS\"", "World",
         "receiver date and time at start, UTC (default: now)",
         [](const char* v, A& a) { return parseTime(v, a.options.startMs); }},
        {"lat", "DEG", "World", "antenna latitude (default 50.0875)",
         [](const char* v, A& a) { return inRange(v, a.options.latDeg, -90, 90); }},
        {"lon", "DEG", "World", "antenna longitude (default 14.4213)",
         [](const char* v, A& a) { return inRange(v, a.options.lonDeg, -180, 180); }},
        {"height", "M", "World", "antenna ellipsoidal height (default 245)",
         [](const char* v, A& a) { return number(v, a.options.heightM); }},
        {"antenna-offset", "E,N,U", "World",
         "the antenna this many metres east, north and up of --lat/--lon/\n--height; with the "
         "same --seed and --start a second simulator is a\nrover at that baseline",
         [](const char* v, A& a) { return parseOffset(v, a.options); }},
        {"seed", "N", "World", "seed of the noise and the unhealthy satellites (default 1)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 0, kBig) &&
                    (a.options.seed = static_cast<std::uint64_t>(d), true);
         }},
        {"epoch-ms", "N", "World", "wall-clock milliseconds between epochs (default 1000)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 1, kBig) && (a.options.epochWallMs = static_cast<int>(d), true);
         }},
        {"step-ms", "N", "World",
         "receiver milliseconds per epoch (default 1000); a step above\n--epoch-ms runs the "
         "receiver's clock faster than the wall clock",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 1, kBig) && (a.options.epochStepMs = static_cast<int>(d), true);
         }},
        {"solution-cycle", "S", "World",
         "receiver seconds for one round of solution types (default 600)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 10, kBig) &&
                    (a.options.solutionCycleS = static_cast<int>(d), true);
         }},
        {"truth", "FILE", "World",
         "append one line per epoch: UTC ms, GPS week and seconds, antenna\nX Y Z (m), "
         "receiver clock bias (s), satellites in the solution",
         [](const char* v, A& a) { return *v && (a.truthPath = v, true); }},

        {"corrupt", "P", "Faults", "corrupt this fraction (0..1) of output bytes",
         [](const char* v, A& a) { return inRange(v, a.options.faults.corrupt, 0, 1); }},
        {"drop", "P", "Faults", "drop this fraction of output bytes",
         [](const char* v, A& a) { return inRange(v, a.options.faults.drop, 0, 1); }},
        {"delay-replies", "MS", "Faults", "send replies this much later",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 0, kBig) &&
                    (a.options.faults.replyDelayMs = static_cast<int>(d), true);
         }},
        {"silent-after", "S", "Faults", "go silent after S seconds (no output, input ignored)",
         [](const char* v, A& a) {
             double d;
             return inRange(v, d, 0, kBig) &&
                    (a.options.faults.silentAfterMs = static_cast<int>(d * 1000), true);
         }},
        {"refuse", "REGEX", "Faults", "answer \"ER\" to commands matching REGEX",
         [](const char* v, A& a) {
             return validPattern(v) && (a.options.faults.refuse = v, true);
         }},
        {"ignore", "REGEX", "Faults", "never answer commands matching REGEX",
         [](const char* v, A& a) {
             return validPattern(v) && (a.options.faults.ignore = v, true);
         }},
        {"slips", "P", "Faults", "chance (0..1) of a cycle slip per satellite and epoch",
         [](const char* v, A& a) { return inRange(v, a.options.faults.slipRate, 0, 1); }},
        {"multipath", "M", "Faults", "code multipath of up to M metres at low elevation",
         [](const char* v, A& a) { return inRange(v, a.options.faults.multipath, 0, 1000); }},

        {"record", "FILE", "", "append every byte sent to FILE (what a logger should hold)",
         [](const char* v, A& a) { return *v && (a.recordPath = v, true); }},
        {"verbose", "", "", "log received lines and replies on stderr",
         [](const char*, A& a) { return a.options.verbose = true, true; }},
        {"corr-pty", "PATH", "",
         "a correction input port on a second pty (linked to PATH): what a\nrover is sent; the "
         "MS message counts its RTCM 3 frames",
         [](const char* v, A& a) { return *v && (a.corrPty = v, true); }},
        {"corr-record", "FILE", "", "append every byte the correction input port gets to FILE",
         [](const char* v, A& a) { return *v && (a.corrRecord = v, true); }},
        {"corr-out-pty", "PATH", "",
         "a base's correction output on a pty: RTCM 3 messages 1005 and\n1004 every epoch",
         [](const char* v, A& a) { return *v && (a.corrOutPty = v, true); }},
        {"help", "", "", "this text", nullptr},
        {"version", "", "", "the version", nullptr},
    };
    return kOptions;
}

std::string helpText() {
    std::string text = "Usage: telvor-sim (--pty PATH | --tcp [PORT]) [options]\n\n"
                       "A simulated GNSS receiver: answers the receiver command language, keeps "
                       "its parameters and\nmessage settings, and sends epochs of messages "
                       "from a moving constellation.\n";
    std::string section = "-";
    for (const TSimOption& o : simOptions()) {
        if (section != o.section) {
            section = o.section;
            text += "\n" + (section.empty() ? std::string() : section + ":\n");
        }
        std::string left = std::string(o.name == std::string("verbose") ? "  -v, --"
                                       : o.name == std::string("help")  ? "  -h, --"
                                                                        : "  --") +
                           o.name + (*o.value ? std::string(" ") + o.value : "");
        left.resize(std::max<std::size_t>(left.size() + 1, 26), ' ');
        std::string help = o.help;
        for (std::size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at))
            help.replace(at, 1, "\n" + std::string(26, ' ')), at += 27;
        text += left + help + "\n";
    }
    return text + "\nWhen ready it prints one line on stdout: \"ready pty SLAVE LINK\" or "
                  "\"ready tcp PORT\".\nSIGINT or SIGTERM stops it and removes the link. "
                  "SIGUSR1 switches the modem off and on.\n";
}

// "--tcp 8002" as well as "--tcp=8002"; a word after a bare --tcp is its port.
bool tcpOption(const char* optionValue, int argc, char** argv, TSimArgs& a, std::string& error) {
    a.tcpPort = 8002;
    const char* text = optionValue;
    if (!text && optind < argc && argv[optind][0] != '-')
        text = argv[optind++];
    double v = 0;
    if (text && !(number(text, v) && v >= 0 && v < 65536 && v == int(v))) {
        error =
            std::string("bad port for --tcp: \"") + text + "\" (use 0 to 65535; 0 = any free port)";
        return false;
    }
    if (text)
        a.tcpPort = static_cast<int>(v);
    return true;
}

} // namespace

TSimArgs parseSimArgs(int argc, char** argv) {
    TSimArgs a;
    const auto& table = simOptions();
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const TSimOption& o = table[i];
        int kind = std::string(o.name) == "tcp" ? optional_argument
                   : *o.value                   ? required_argument
                                                : no_argument;
        longOptions.push_back({o.name, kind, nullptr, static_cast<int>(256 + i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    optind = 0; // a fresh scan, also for a second call
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "vh", longOptions.data(), nullptr)) != -1;) {
        std::string name;
        if (c == 'v')
            name = "verbose";
        else if (c == 'h')
            name = "help";
        else if (c >= 256 && c < 256 + static_cast<int>(table.size()))
            name = table[static_cast<std::size_t>(c - 256)].name;
        if (name.empty())
            return usage("unknown option or missing value (see --help)");
        if (name == "help")
            return {TSimArgs::Help, helpText()};
        if (name == "version")
            return {TSimArgs::Version, std::string("telvor-sim ") + TELVOR_VERSION + "\n"};
        if (name == "tcp") {
            std::string error;
            if (!tcpOption(optarg, argc, argv, a, error))
                return usage(error);
            continue;
        }
        for (const TSimOption& o : table)
            if (name == o.name && !o.apply(*o.value ? optarg : nullptr, a))
                return usage("bad value for --" + name + " (see --help)");
    }
    if (optind < argc)
        return usage(std::string("unexpected argument \"") + argv[optind] + "\" (see --help)");
    if (a.ptyPath.empty() == (a.tcpPort < 0))
        return usage("give exactly one of --pty PATH or --tcp [PORT]");
    return a;
}

} // namespace telvorsim
