// telvor-cli: finds the receiver and talks to it without windows.
#include "app/Appinfo.h"
#include "app/Commconfig.h"
#include "app/Qtbridge.h"
#include "cli/Clisharing.h"
#include "cli/Commandtable.h"
#include "protocol/Numbers.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <climits>
#include <csignal>
#include <iostream>
#include <optional>
#include <unistd.h>

using namespace telvor;

namespace {

void onSignal(int) {
    requestCliStop();
}

std::optional<int> number(const QString& text, int min, int max) {
    const auto v = parseInteger(text.toStdString(), min, max);
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

std::optional<int> modeNumber(const QString& text) {
    const QString t = text.toLower();
    if (t == "direct")
        return cmDirect;
    if (t == "client")
        return cmInternetClient;
    if (t == "server")
        return cmInternetServer;
    if (t == "radio")
        return cmRadioModem;
    return number(t, 0, cmConnected);
}

std::optional<int> speed(const QString& text) {
    for (const std::string& s : TCommConfig::speedList())
        if (text.toStdString() == s)
            return number(text, 1, INT_MAX);
    return std::nullopt;
}

QString speedNames() {
    QStringList names;
    for (const std::string& s : TCommConfig::speedList())
        names << QString::fromStdString(s);
    return names.join(", ");
}

QString description() {
    QString text = "Talks to a GNSS receiver without windows.\n\nCommands:\n";
    for (const TCliCommand& c : cliCommands()) {
        QString head = QString("  %1 %2").arg(c.name, c.arguments).trimmed();
        text += "  " + head.leftJustified(18) + " " + c.help + "\n";
    }
    return text + "\nExit codes: 0 success, 1 receiver or file error, 2 usage.";
}

int usage(const QString& message) {
    return usageError(std::cerr, message.toStdString());
}

// The connection options, checked; they override telvor.ini for this run.
struct TOverrides {
    std::optional<int> mode, baud, tcpPort, timeout;
    std::optional<std::string> port, host, password;

    void apply(TConnectionSettings& s) const {
        if (mode)
            s.mode = *mode;
        if (port)
            s.port = *port;
        if (baud)
            s.baud = std::to_string(*baud);
        if (timeout)
            s.timeout = *timeout;
        if (host)
            s.host = s.ethrHost = *host;
        if (tcpPort)
            s.tcpPort = s.ethrPort = *tcpPort;
        if (password)
            s.ethrPassword = *password;
    }
};

// The options every command takes.
struct TGlobalOptions {
    QCommandLineOption port{"port", "Port: a device path, COMn, ETHR or USB.", "name"};
    QCommandLineOption baud{"baud", "Speed the receiver should run at: " + speedNames() + ".",
                            "rate"};
    QCommandLineOption mode{"mode", "Connection mode: direct, client, server or radio.", "mode"};
    QCommandLineOption host{"host", "Host of an Ethernet receiver or a sharing server.", "host"};
    QCommandLineOption tcpPort{"tcp-port", "TCP port of that host (1-65535).", "port"};
    QCommandLineOption password{"password", "Password of an Ethernet receiver or a sharing server.",
                                "text"};
    QCommandLineOption timeout{"timeout", "Reply timeout of the search, in ms.", "ms"};
    QCommandLineOption settings{
        "settings", "Folder holding telvor.ini (default: the home folder, see the manual).", "dir"};
    QCommandLineOption verbose{"verbose", "Show the search and the notices as they go."};
};

// Each command's own options, marked with its name; two commands may share one. Returns the
// commands owning each option.
std::map<QString, QStringList> addCommandOptions(QCommandLineParser& parser) {
    std::map<QString, QStringList> owners;
    for (const TCliCommand& c : cliCommands())
        for (const TCliOption& o : c.options) {
            if (owners[o.name].isEmpty())
                parser.addOption(
                    QCommandLineOption(o.name, QString(c.name) + ": " + o.help, o.valueName));
            owners[o.name] << c.name;
        }
    return owners;
}

void addOptions(QCommandLineParser& parser, const TGlobalOptions& g) {
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(
        {g.port, g.baud, g.mode, g.host, g.tcpPort, g.password, g.timeout, g.settings, g.verbose});
}

// --help and --version answer at once: their exit code, or nothing to go on.
std::optional<int> answerHelpOrVersion(const QCommandLineParser& parser) {
    if (parser.isSet("help")) {
        std::cout << parser.helpText().toStdString();
        return 0;
    }
    if (parser.isSet("version")) {
        std::cout << "telvor-cli " << appVersion() << "\n";
        return 0;
    }
    return std::nullopt;
}

// The command named, with its arguments and options checked; null after a usage error, whose
// exit code is then in `code`.
const TCliCommand* chosenCommand(const QCommandLineParser& parser,
                                 const std::map<QString, QStringList>& owners, int& code) {
    const QStringList args = parser.positionalArguments();
    auto fail = [&](const QString& text) {
        code = usage(text);
        return nullptr;
    };
    if (args.isEmpty())
        return fail("no command given");
    const TCliCommand* command = findCliCommand(args.first().toStdString());
    if (!command)
        return fail("unknown command \"" + args.first() + "\"");
    const int given = int(args.size()) - 1;
    if (given < command->minArgs)
        return fail(QString(command->name) + " needs " + command->arguments);
    if (command->maxArgs >= 0 && given > command->maxArgs)
        return fail("unexpected argument \"" + args[command->maxArgs + 1] + "\"");
    for (const auto& [name, users] : owners)
        if (!users.contains(command->name) && parser.isSet(name))
            return fail("--" + name + " belongs to " + users.join(", "));
    return command;
}

// The connection options, checked into `o`; the usage text of the first bad one, else empty.
QString readOverrides(const QCommandLineParser& parser, const TGlobalOptions& g, TOverrides& o) {
    if (parser.isSet(g.mode) && !(o.mode = modeNumber(parser.value(g.mode))))
        return "bad --mode \"" + parser.value(g.mode) + "\": use direct, client, server or radio";
    if (parser.isSet(g.baud) && !(o.baud = speed(parser.value(g.baud))))
        return "bad --baud \"" + parser.value(g.baud) + "\": use one of " + speedNames();
    if (parser.isSet(g.tcpPort) && !(o.tcpPort = number(parser.value(g.tcpPort), 1, 65535)))
        return "bad --tcp-port \"" + parser.value(g.tcpPort) + "\": use 1 to 65535";
    if (parser.isSet(g.timeout) && !(o.timeout = number(parser.value(g.timeout), 1, 600000)))
        return "bad --timeout \"" + parser.value(g.timeout) +
               "\": use milliseconds from 1 to 600000";
    if (parser.isSet(g.port))
        o.port = parser.value(g.port).toStdString();
    if (parser.isSet(g.host))
        o.host = parser.value(g.host).toStdString();
    if (parser.isSet(g.password))
        o.password = parser.value(g.password).toStdString();
    return {};
}

// The folder of telvor.ini: --settings, else the home folder, else the current one.
QString settingsFolder(const QCommandLineParser& parser, const TGlobalOptions& g) {
    QString dir = parser.isSet(g.settings) ? parser.value(g.settings)
                                           : QString::fromStdString(homeDirectory(systemEnv));
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

// What the command is given: settings, overrides, streams, its words and its own options.
TCliContext commandContext(const QCommandLineParser& parser, const TGlobalOptions& g,
                           const TCliCommand& command, const TOverrides& o, TProfile& profile,
                           TQtBridge& bridge) {
    const bool verbose = parser.isSet(g.verbose);
    TCliContext ctx{profile,   [o](TConnectionSettings& s) { o.apply(s); },
                    verbose,   verbose || ::isatty(STDERR_FILENO),
                    std::cout, std::cerr,
                    &bridge,   {},
                    {},        {},
                    nullptr};
    for (const QString& a : parser.positionalArguments().mid(1))
        ctx.args.push_back(a.toStdString());
    for (const TCliOption& opt : command.options)
        if (parser.isSet(opt.name))
            ctx.options[opt.name] = *opt.valueName ? parser.value(opt.name).toStdString() : "";
    ctx.sharingPassword = o.password;
    return ctx;
}

void catchStopSignals() {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    // A closed standard output (`| head`) is a request to stop, seen at the next write.
    std::signal(SIGPIPE, SIG_IGN);
}

// Runs the command; in client mode every command but `serve` reaches the receiver through the
// remote Telvor's server, and a failed sharing link fails the command.
int runCommand(const TCliCommand& command, TCliContext& ctx, const TOverrides& o) {
    std::optional<TCliSharing> client;
    const int effectiveMode = o.mode ? *o.mode : readConnectionSettings(ctx.profile).mode;
    if (effectiveMode == cmInternetClient && std::string(command.name) != "serve") {
        client.emplace(ctx.profile, std::cerr);
        client->override(o.host.value_or(""), o.tcpPort.value_or(0),
                         o.password ? &*o.password : nullptr);
        ctx.sharing = &*client;
    }
    catchStopSignals();
    int code = command.run(ctx);
    if (client && client->failed())
        code = 1;
    return code;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("telvor-cli");
    QCoreApplication::setApplicationVersion(appVersion());

    QCommandLineParser parser;
    const TGlobalOptions g;
    addOptions(parser, g);
    const auto optionOwners = addCommandOptions(parser);
    parser.addPositionalArgument("command", "One of the commands above.", "<command> [args]");
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (auto code = answerHelpOrVersion(parser))
        return *code;

    int code = 0;
    const TCliCommand* command = chosenCommand(parser, optionOwners, code);
    if (!command)
        return code;
    TOverrides o;
    if (QString bad = readOverrides(parser, g, o); !bad.isEmpty())
        return usage(bad);
    const QString dir = settingsFolder(parser, g);
    if (!QDir(dir).exists())
        return usage("no such settings directory: " + dir);

    TProfile profile(QDir(dir).absoluteFilePath("telvor.ini").toStdString());
    setProfile(&profile);
    TQtBridge bridge;
    TCliContext ctx = commandContext(parser, g, *command, o, profile, bridge);
    code = runCommand(*command, ctx, o);
    setProfile(nullptr);
    return code;
}
