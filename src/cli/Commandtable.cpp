#include "cli/Commandtable.h"

#include "cli/Clinmea.h"
#include "cli/Clisharing.h"
#include "cli/Configcommand.h"
#include "cli/Filecommands.h"
#include "cli/Logcommand.h"
#include "cli/Manualcommands.h"
#include "cli/Ntripcommand.h"
#include "cli/Outputcommand.h"
#include "cli/Radiocommand.h"
#include "cli/Recordcommand.h"
#include "cli/Replaycommand.h"
#include "cli/Reportcommand.h"

namespace telvor {

const std::vector<TCliCommand>& cliCommands() {
    static const std::vector<TCliCommand> table = withNmeaOptions({
        {"ports", "", "list the ports the connection dialog offers", {}, runPorts},
        {"connect", "", "find the receiver, print its identity, disconnect", {}, runConnect},
        {"send",
         "<command>",
         "send one command line and print the whole reply",
         {},
         runSend,
         1,
         -1},
        {"monitor",
         "",
         "show what the receiver tracks and computes, once per epoch, until Ctrl-C",
         {{"json", "one JSON object a line"}, {"seconds", "stop after this many seconds", "n"}},
         runMonitor},
        {"run",
         "<script> [args]",
         "run a command script (.vxc): echo lines and received bytes on standard output, the "
         "final status on standard error; 1 after an error stop",
         {},
         runScriptCommand,
         1,
         -1},
        {"terminal",
         "",
         "standard input lines to the receiver (\"@\" lines run scripts), received bytes to "
         "standard output, until the input ends",
         {},
         runTerminal},
        {"report",
         "",
         "print the receiver report of the About window, or save it to a file",
         {{"save", "\"Save to file\": the whole parameter tree (or the fixed layout)", "file"},
          {"report",
           "\"Report\"; a folder (one that exists, or a path ending in \"/\") gets the "
           "proposed name r_<serial>.txt",
           "file"}},
         runReport},
        {"ls",
         "",
         "list the receiver's files with sizes and dates, then total and free memory",
         {},
         runLs},
        {"get",
         "<name>...",
         "download receiver files into <name>.vxr; 1 when any failed (the others are still "
         "tried)",
         {{"dir", "the folder to write to (default: the current one)", "folder"},
          {"append", "resume a partial copy from its size instead of overwriting it"},
          {"block-size", "512, 1024 or 2048 bytes a block (default 512)", "bytes"},
          {"source", "take the data over this parallel port (\"LPT1\") beside the link", "port"},
          {"print", "stream the files unframed over --source or the parallel link"}},
         runGet,
         1,
         -1},
        {"rm",
         "<name>...",
         "delete receiver files, stopping at the first that fails",
         {{"force", "delete the file being recorded too"}},
         runRm,
         1,
         -1},
        {"fs-init",
         "",
         "erase every file and re-create the receiver's file system, with the receiver's "
         "progress, then print the file-system report; 1 when the receiver refuses",
         {{"yes", "confirm that every file in the receiver may be erased"}},
         runFsInit},
        {"fs-report",
         "",
         "print the file-system and physical-memory report, or save it with the read/write "
         "statistics",
         {{"save", "the file to write (as the window's \"Save to file\")", "file"}},
         runFsReport},
        {"record",
         "start <name> | stop",
         "start recording into a new receiver file, or stop recording; an interval the receiver "
         "cannot deliver is refused (1)",
         {{"interval", "recording interval in seconds (default: the file manager's)", "s"},
          {"elevation-mask", "elevation mask for files, degrees", "d"},
          {"overwrite", "replace a receiver file of that name instead of refusing"}},
         runRecord,
         1,
         2},
        {"log",
         "",
         "record the receiver's stream into files in --dir (one file, or a series switched on "
         "receiver time) until SIGINT/SIGTERM, reconnecting after link loss; exit 0 once the "
         "last file is closed (and converted), 1 when a file cannot be written or logging does "
         "not start (again)",
         {{"dir", "the folder of the files (made when missing)", "folder"},
          {"single", "one file of this name (\".vxr\" added when it has no extension)", "name"},
          {"prefix", "a series of files named prefix + number or date", "text"},
          {"every", "switch files every N units of receiver time (default 1)", "n"},
          {"unit", "minutes, hours (default) or days", "unit"},
          {"numbering", "count (prefix0000.vxr, default) or date (prefixYDDDHHMM.vxr)", "kind"},
          {"start-count", "the first count (default 0; existing files are skipped)", "k"},
          {"overwrite", "overwrite existing files of the series instead of skipping them"},
          {"interval", "recording interval in seconds (default 1)", "s"},
          {"convert", "convert each finished file with the RINEX converter (VXR2RIN settings)"}},
         runLog},
        {"config",
         "get <path>... | set <path> <value> | save <file>",
         "print receiver parameters one value a line, set one, or save the configuration "
         "script; 1 when the receiver refuses (its reply on standard error) or lacks a parameter",
         {},
         runConfig,
         2,
         -1},
        {"output",
         "<port> [<preset> <period>]",
         "print the RTK preset a receiver port sends (and its period), or disable the port's "
         "messages and enable a preset (\"None\" only disables)",
         {},
         runOutput,
         1,
         3},
        {"serve",
         "",
         "share the receiver with remote Telvor copies (Internet Server) until SIGTERM, logging "
         "to telvor_server.log; --password is the sharing password, required unless bound "
         "to a loopback address or given --no-password",
         {{"listen-port", "the port to listen on (default: Comm/TCPPort, 8000)", "port"},
          {"bind", "listen on this address only (default: every address)", "address"},
          {"no-password", "serve without a password: any client controls the receiver"}},
         runServe},
        {"radio",
         "get | set <name> <value>...",
         "read the RFM96 radio modem on a receiver serial port through the daisy chain, or set "
         "rows of it and program it; the receiver's ports are left as they were",
         {{"modem-port",
           "the receiver port the modem is on, A-D (default: the one after the "
           "computer's)",
           "letter"},
          {"speed", "search speed: Auto (default), 38400, 19200, 9600, 4800 or 2400", "rate"},
          {"power-cycle", "find the modem as it is switched on instead of with \"+++\""}},
         runRadio,
         1,
         -1},
        {"replay",
         "<file>",
         "show a recording (.vxr) as monitor shows the receiver, paced by its receiver time, to "
         "its end; what the stream lost on standard error; 1 when the file cannot be read",
         {{"json", "one JSON object a line"},
          {"speed", "times real time (default 1), or max for no waiting", "n|max"}},
         runReplay,
         1,
         1},
        {"ntrip",
         "",
         "a caster's correction stream to a serial port or TCP address (--to), a base's "
         "corrections from a serial port to a caster (--from), or the sourcetable (--list); "
         "--password is the caster's; until Ctrl-C, 1 on a refusal",
         {{"caster", "the caster, HOST:PORT (port 2101 when left out)", "host:port"},
          {"mount", "the mountpoint", "name"},
          {"user", "the caster's user name", "name"},
          {"to", "where the stream goes: a serial device or HOST:PORT", "device"},
          {"from", "base feed: the serial port carrying the receiver's corrections", "device"},
          {"raw", "base feed: raw TCP into a caster's input instead of NTRIP"},
          {"list", "print the caster's sourcetable"},
          {"gga", "send the rover's position (--position) as GGA every n seconds", "n"},
          {"position", "the rover's position for GGA and distances: lat,lon[,height]", "lat,lon"},
          {"ntrip-version", "1 (HTTP/1.0, SOURCE) or 2 (HTTP/1.1, chunked, POST; default)", "1|2"}},
         runNtrip},
        {"rinex",
         "<file>...",
         "convert raw files (.vxr) to RINEX with the converter of the VXR2RIN settings, as the "
         "logging run does; 1 when any failed (the others are still tried)",
         {{"dir", "the folder of the RINEX files (default: the current folder)", "folder"},
          {"no-gps", "leave GPS out (-G)"},
          {"no-glonass", "leave GLONASS out (-R)"},
          {"no-l1", "leave L1 out (-1)"},
          {"no-l2", "leave L2 out (-2)"},
          {"options", "the converter's additional options instead of the settings'", "text"}},
         runRinex,
         1,
         -1},
    });
    return table;
}

const TCliCommand* findCliCommand(const std::string& name) {
    for (const TCliCommand& c : cliCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

} // namespace telvor
