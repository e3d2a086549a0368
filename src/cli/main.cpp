// telvor-cli: finds the receiver and talks to it without windows.
#include "app/Appinfo.h"
#include "app/Commconfig.h"
#include "app/Qtbridge.h"
#include "cli/Clisharing.h"
#include "cli/Commandtable.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
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
    bool ok = false;
    int v = text.toInt(&ok);
    return ok && v >= min && v <= max ? std::optional<int>(v) : std::nullopt;
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
            return std::stoi(s);
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("telvor-cli");
    QCoreApplication::setApplicationVersion(appVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption port("port", "Port: a device path, COMn, ETHR or USB.", "name");
    QCommandLineOption baud("baud", "Speed the receiver should run at: " + speedNames() + ".",
                            "rate");
    QCommandLineOption mode("mode", "Connection mode: direct, client, server or radio.", "mode");
    QCommandLineOption host("host", "Host of an Ethernet receiver or a sharing server.", "host");
    QCommandLineOption tcpPort("tcp-port", "TCP port of that host (1-65535).", "port");
    QCommandLineOption password("password", "Password of an Ethernet receiver or a sharing server.",
                                "text");
    QCommandLineOption timeout("timeout", "Reply timeout of the search, in ms.", "ms");
    QCommandLineOption settings(
        "settings", "Folder holding telvor.ini (default: the home folder, see the manual).", "dir");
    QCommandLineOption verbose("verbose", "Show the search and the notices as they go.");
    parser.addOptions({port, baud, mode, host, tcpPort, password, timeout, settings, verbose});
    // Each command's own options, marked with its name; two commands may share one.
    std::map<QString, QStringList> optionOwners;
    for (const TCliCommand& c : cliCommands())
        for (const TCliOption& o : c.options) {
            if (optionOwners[o.name].isEmpty())
                parser.addOption(
                    QCommandLineOption(o.name, QString(c.name) + ": " + o.help, o.valueName));
            optionOwners[o.name] << c.name;
        }
    parser.addPositionalArgument("command", "One of the commands above.", "<command> [args]");

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet("help")) {
        std::cout << parser.helpText().toStdString();
        return 0;
    }
    if (parser.isSet("version")) {
        std::cout << "telvor-cli " << appVersion() << "\n";
        return 0;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage("no command given");
    const TCliCommand* command = findCliCommand(args.first().toStdString());
    if (!command)
        return usage("unknown command \"" + args.first() + "\"");
    const int given = int(args.size()) - 1;
    if (given < command->minArgs)
        return usage(QString(command->name) + " needs " + command->arguments);
    if (command->maxArgs >= 0 && given > command->maxArgs)
        return usage("unexpected argument \"" + args[command->maxArgs + 1] + "\"");
    for (const auto& [name, owners] : optionOwners)
        if (!owners.contains(command->name) && parser.isSet(name))
            return usage("--" + name + " belongs to " + owners.join(", "));

    TOverrides o;
    if (parser.isSet(mode) && !(o.mode = modeNumber(parser.value(mode))))
        return usage("bad --mode \"" + parser.value(mode) +
                     "\": use direct, client, server or radio");
    if (parser.isSet(baud) && !(o.baud = speed(parser.value(baud))))
        return usage("bad --baud \"" + parser.value(baud) + "\": use one of " + speedNames());
    if (parser.isSet(tcpPort) && !(o.tcpPort = number(parser.value(tcpPort), 1, 65535)))
        return usage("bad --tcp-port \"" + parser.value(tcpPort) + "\": use 1 to 65535");
    if (parser.isSet(timeout) && !(o.timeout = number(parser.value(timeout), 1, 600000)))
        return usage("bad --timeout \"" + parser.value(timeout) +
                     "\": use milliseconds from 1 to 600000");
    if (parser.isSet(port))
        o.port = parser.value(port).toStdString();
    if (parser.isSet(host))
        o.host = parser.value(host).toStdString();
    if (parser.isSet(password))
        o.password = parser.value(password).toStdString();

    QString dir = parser.isSet(settings) ? parser.value(settings)
                                         : QString::fromStdString(homeDirectory(systemEnv));
    if (dir.isEmpty())
        dir = QDir::currentPath();
    if (!QDir(dir).exists())
        return usage("no such settings directory: " + dir);
    TProfile profile(QDir(dir).absoluteFilePath("telvor.ini").toStdString());
    setProfile(&profile);

    TQtBridge bridge;
    TCliContext ctx{profile,
                    [o](TConnectionSettings& s) { o.apply(s); },
                    parser.isSet(verbose),
                    parser.isSet(verbose) || ::isatty(STDERR_FILENO),
                    std::cout,
                    std::cerr,
                    &bridge,
                    {},
                    {},
                    {},
                    nullptr};
    for (const QString& a : args.mid(1))
        ctx.args.push_back(a.toStdString());
    for (const TCliOption& opt : command->options)
        if (parser.isSet(opt.name))
            ctx.options[opt.name] = *opt.valueName ? parser.value(opt.name).toStdString() : "";
    ctx.sharingPassword = o.password;
    // Every command of a client reaches the receiver through the remote Telvor's server.
    std::optional<TCliSharing> client;
    const int effectiveMode = o.mode ? *o.mode : readConnectionSettings(profile).mode;
    if (effectiveMode == cmInternetClient && std::string(command->name) != "serve") {
        client.emplace(profile, std::cerr);
        client->override(o.host.value_or(""), o.tcpPort.value_or(0),
                         o.password ? &*o.password : nullptr);
        ctx.sharing = &*client;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    // A closed standard output (`| head`) is a request to stop, seen at the next write.
    std::signal(SIGPIPE, SIG_IGN);
    int code = command->run(ctx);
    if (client && client->failed())
        code = 1;
    client.reset();
    setProfile(nullptr);
    return code;
}
