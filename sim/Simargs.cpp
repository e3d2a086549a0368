#include "sim/Simargs.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>

namespace telvorsim {
namespace {

const char* const kHelp = R"(Usage: telvor-sim (--pty PATH | --tcp [PORT]) [options]

A simulated GNSS receiver: answers the receiver command language, keeps its parameters and
message settings, and sends epochs of messages from a moving constellation.

Transport (one of):
  --pty PATH              serve on a pseudo-terminal whose slave is linked to PATH; output is
                          paced at the port rate, and a client whose rate differs reads garbage
  --tcp [PORT]            serve the Ethernet port with its login (default port 8002; 0 = any)
  --bind ADDR             address for --tcp (default 127.0.0.1)

Receiver:
  --baud N                port rate at start (default 115200)
  --default-baud N        factory port rate, back after NVRAM clear or init (default 115200)
  --password TEXT         Ethernet login password (default empty)
  --model TEXT            "/par/rcv/model" (default VORNA)
  --serial TEXT           "/par/rcv/sn"
  --id TEXT               "/par/rcvid"
  --firmware TEXT         "/par/rcv/ver/main" (default 3.1)
  --omit PATH             the receiver lacks this parameter and all below it (repeatable)
  --port-name PATH        the receiver's name for the serial port (default /dev/ser/a)
  --echo-off TEXT         echo-off text accepted silently (default #OFF#)
  --modem PORT            an RFM96 radio modem on this serial port (/dev/ser/b ...)
  --reset-silence-ms N    how long a restarting receiver says nothing (default 2000)
  --file NAME:SIZE[:SEED] a file of SIZE bytes in the receiver's memory (/log/NAME); its
                          bytes follow from SEED (default 1); repeatable

World:
  --start "YYYY-MM-DD HH:MM:SS"  receiver date and time at start, UTC (default: now)
  --lat DEG --lon DEG --height M antenna position (default 50.0875 14.4213 245)
  --seed N                seed of the noise and the unhealthy satellites (default 1)
  --epoch-ms N            wall-clock milliseconds between epochs (default 1000)
  --step-ms N             receiver milliseconds per epoch (default 1000); a step above
                          --epoch-ms runs the receiver's clock faster than the wall clock
  --solution-cycle S      receiver seconds for one round of solution types (default 600)

Faults:
  --corrupt P             corrupt this fraction (0..1) of output bytes
  --drop P                drop this fraction of output bytes
  --delay-replies MS      send replies this much later
  --silent-after S        go silent after S seconds (no output, input ignored)
  --refuse REGEX          answer "ER" to commands matching REGEX
  --ignore REGEX          never answer commands matching REGEX

  --record FILE           append every byte sent to FILE (what a logger should hold)
  -v, --verbose           log received lines and replies on stderr
  -h, --help              this text
  --version               the version

When ready it prints one line on stdout: "ready pty SLAVE LINK" or "ready tcp PORT".
SIGINT or SIGTERM stops it and removes the link. SIGUSR1 switches the modem off and on.
)";

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

} // namespace

TSimArgs parseSimArgs(int argc, char** argv) {
    TSimArgs a;
    TSimOptions& o = a.options;
    std::string& ptyPath = a.ptyPath;
    std::string& bind = a.bind;
    int& tcpPort = a.tcpPort;
    static const option kLong[] = {{"pty", required_argument, nullptr, 'P'},
                                   {"tcp", optional_argument, nullptr, 'T'},
                                   {"bind", required_argument, nullptr, 'B'},
                                   {"baud", required_argument, nullptr, 'b'},
                                   {"default-baud", required_argument, nullptr, 'D'},
                                   {"password", required_argument, nullptr, 'p'},
                                   {"model", required_argument, nullptr, 'm'},
                                   {"serial", required_argument, nullptr, 's'},
                                   {"id", required_argument, nullptr, 'i'},
                                   {"firmware", required_argument, nullptr, 'f'},
                                   {"omit", required_argument, nullptr, 'O'},
                                   {"port-name", required_argument, nullptr, 'n'},
                                   {"echo-off", required_argument, nullptr, 'e'},
                                   {"modem", required_argument, nullptr, 'M'},
                                   {"reset-silence-ms", required_argument, nullptr, 'r'},
                                   {"file", required_argument, nullptr, 'F'},
                                   {"start", required_argument, nullptr, 't'},
                                   {"lat", required_argument, nullptr, 'a'},
                                   {"lon", required_argument, nullptr, 'o'},
                                   {"height", required_argument, nullptr, 'H'},
                                   {"seed", required_argument, nullptr, 'S'},
                                   {"epoch-ms", required_argument, nullptr, 'E'},
                                   {"step-ms", required_argument, nullptr, 'Z'},
                                   {"solution-cycle", required_argument, nullptr, 'C'},
                                   {"corrupt", required_argument, nullptr, 'c'},
                                   {"drop", required_argument, nullptr, 'd'},
                                   {"delay-replies", required_argument, nullptr, 'l'},
                                   {"silent-after", required_argument, nullptr, 'L'},
                                   {"refuse", required_argument, nullptr, 'R'},
                                   {"ignore", required_argument, nullptr, 'I'},
                                   {"record", required_argument, nullptr, 'W'},
                                   {"verbose", no_argument, nullptr, 'v'},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {nullptr, 0, nullptr, 0}};

    auto bad = [](const std::string& what) {
        return usage("bad value for --" + what + " (see --help)");
    };
    int c;
    double v = 0;
    optind = 0; // a fresh scan, also for a second call
    opterr = 0;
    while ((c = getopt_long(argc, argv, "vh", kLong, nullptr)) != -1) {
        switch (c) {
        case 'P':
            ptyPath = optarg;
            break;
        case 'T': {
            tcpPort = 8002;
            // "--tcp 8002" as well as "--tcp=8002"; a word after a bare --tcp is its port.
            const char* text = optarg;
            if (!text && optind < argc && argv[optind][0] != '-')
                text = argv[optind++];
            if (text && !(number(text, v) && v >= 0 && v < 65536 && v == int(v)))
                return usage(std::string("bad port for --tcp: \"") + text +
                             "\" (use 0 to 65535; 0 = any free port)");
            if (text)
                tcpPort = static_cast<int>(v);
            break;
        }
        case 'B':
            bind = optarg;
            break;
        case 'b':
            if (!number(optarg, v) || v < 50)
                return bad("baud");
            o.baud = static_cast<unsigned>(v);
            break;
        case 'D':
            if (!number(optarg, v) || v < 50)
                return bad("default-baud");
            o.defaultBaud = static_cast<unsigned>(v);
            break;
        case 'p':
            o.password = optarg;
            break;
        case 'm':
            o.model = optarg;
            break;
        case 's':
            o.serial = optarg;
            break;
        case 'i':
            o.id = optarg;
            break;
        case 'f':
            o.firmware = optarg;
            break;
        case 'O':
            o.omit.push_back(optarg);
            break;
        case 'n':
            o.serialPort = optarg;
            break;
        case 'e':
            o.echoOff = optarg;
            break;
        case 'M':
            if (std::string(optarg).rfind("/dev/ser/", 0) != 0 || std::string(optarg).size() != 10)
                return bad("modem");
            o.modemPort = optarg;
            break;
        case 'r':
            if (!number(optarg, v) || v < 0)
                return bad("reset-silence-ms");
            o.resetSilenceMs = static_cast<int>(v);
            break;
        case 'F':
            if (!parseSeedFile(optarg, o.files))
                return bad("file");
            break;
        case 't':
            if (!parseTime(optarg, o.startMs))
                return bad("start");
            break;
        case 'a':
            if (!number(optarg, o.latDeg) || o.latDeg < -90 || o.latDeg > 90)
                return bad("lat");
            break;
        case 'o':
            if (!number(optarg, o.lonDeg) || o.lonDeg < -180 || o.lonDeg > 180)
                return bad("lon");
            break;
        case 'H':
            if (!number(optarg, o.heightM))
                return bad("height");
            break;
        case 'S':
            if (!number(optarg, v) || v < 0)
                return bad("seed");
            o.seed = static_cast<std::uint64_t>(v);
            break;
        case 'E':
            if (!number(optarg, v) || v < 1)
                return bad("epoch-ms");
            o.epochWallMs = static_cast<int>(v);
            break;
        case 'Z':
            if (!number(optarg, v) || v < 1)
                return bad("step-ms");
            o.epochStepMs = static_cast<int>(v);
            break;
        case 'C':
            if (!number(optarg, v) || v < 10)
                return bad("solution-cycle");
            o.solutionCycleS = static_cast<int>(v);
            break;
        case 'c':
            if (!number(optarg, o.faults.corrupt) || o.faults.corrupt < 0 || o.faults.corrupt > 1)
                return bad("corrupt");
            break;
        case 'd':
            if (!number(optarg, o.faults.drop) || o.faults.drop < 0 || o.faults.drop > 1)
                return bad("drop");
            break;
        case 'l':
            if (!number(optarg, v) || v < 0)
                return bad("delay-replies");
            o.faults.replyDelayMs = static_cast<int>(v);
            break;
        case 'L':
            if (!number(optarg, v) || v < 0)
                return bad("silent-after");
            o.faults.silentAfterMs = static_cast<int>(v * 1000);
            break;
        case 'R':
            if (!validPattern(optarg))
                return bad("refuse");
            o.faults.refuse = optarg;
            break;
        case 'I':
            if (!validPattern(optarg))
                return bad("ignore");
            o.faults.ignore = optarg;
            break;
        case 'W':
            if (!*optarg)
                return bad("record");
            a.recordPath = optarg;
            break;
        case 'v':
            o.verbose = true;
            break;
        case 'h':
            return {TSimArgs::Help, kHelp};
        case 'V':
            return {TSimArgs::Version, std::string("telvor-sim ") + TELVOR_VERSION + "\n"};
        default:
            return usage("unknown option or missing value (see --help)");
        }
    }
    if (optind < argc)
        return usage(std::string("unexpected argument \"") + argv[optind] + "\" (see --help)");
    if (ptyPath.empty() == (tcpPort < 0)) {
        return usage("give exactly one of --pty PATH or --tcp [PORT]");
    }
    return a;
}

} // namespace telvorsim
