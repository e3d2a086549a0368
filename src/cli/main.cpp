// telvor-cli: finds the receiver and talks to it without windows.
#include "app/Appinfo.h"
#include "app/Qtbridge.h"
#include "cli/Commands.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <iostream>
#include <optional>

using namespace telvor;

namespace {

constexpr int kUsage = 2;

void onSignal(int) {
    requestCliStop();
}

std::optional<int> number(const QString& text) {
    bool ok = false;
    int v = text.toInt(&ok);
    return ok && v >= 0 ? std::optional<int>(v) : std::nullopt;
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
    auto n = number(t);
    return n && *n <= cmConnected ? n : std::nullopt;
}

int usage(const QCommandLineParser& parser, const QString& message) {
    std::cerr << "telvor-cli: " << message.toStdString() << "\n\n"
              << parser.helpText().toStdString();
    return kUsage;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("telvor-cli");
    QCoreApplication::setApplicationVersion(appVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Talks to a GNSS receiver without windows.\n\n"
        "Commands:\n"
        "  ports            list the ports the connection dialog offers\n"
        "  connect          find the receiver, print its identity, disconnect\n"
        "  send <command>   send one command line and print the reply\n"
        "  monitor          show what the receiver tracks and computes, once per epoch,\n"
        "                   until Ctrl-C (or --seconds); --json: one JSON object a line");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption port("port", "Port: a device path, COMn, ETHR or USB.", "name");
    QCommandLineOption baud("baud", "Speed the receiver should run at.", "rate");
    QCommandLineOption mode("mode", "Connection mode: direct, client, server or radio.", "mode");
    QCommandLineOption host("host", "Host of an Ethernet receiver or a sharing server.", "host");
    QCommandLineOption tcpPort("tcp-port", "TCP port of that host.", "port");
    QCommandLineOption password("password", "Password of an Ethernet receiver.", "text");
    QCommandLineOption timeout("timeout", "Reply timeout of the search, in ms.", "ms");
    QCommandLineOption settings("settings", "Home directory holding telvor.ini.", "dir");
    QCommandLineOption verbose("verbose", "Show the search as it goes.");
    QCommandLineOption json("json", "monitor: one JSON object per display tick.");
    QCommandLineOption seconds("seconds", "monitor: stop after this many seconds.", "n");
    parser.addOptions(
        {port, baud, mode, host, tcpPort, password, timeout, settings, verbose, json, seconds});
    parser.addPositionalArgument("command", "ports, connect, send or monitor.");

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser, parser.errorText());
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
        return usage(parser, "no command given");
    const QString command = args.first();
    if (command != "ports" && command != "connect" && command != "send" && command != "monitor")
        return usage(parser, "unknown command \"" + command + "\"");
    if (command == "send" && args.size() < 2)
        return usage(parser, "send needs a command line");
    if (command != "send" && args.size() > 1)
        return usage(parser, "unexpected argument \"" + args[1] + "\"");

    std::optional<int> modeValue, baudValue, tcpPortValue, timeoutValue, secondsValue;
    if (parser.isSet(mode) && !(modeValue = modeNumber(parser.value(mode))))
        return usage(parser, "bad --mode");
    if (parser.isSet(baud) && !(baudValue = number(parser.value(baud))))
        return usage(parser, "bad --baud");
    if (parser.isSet(tcpPort) && !(tcpPortValue = number(parser.value(tcpPort))))
        return usage(parser, "bad --tcp-port");
    if (parser.isSet(timeout) && !(timeoutValue = number(parser.value(timeout))))
        return usage(parser, "bad --timeout");
    if (parser.isSet(seconds) &&
        (!(secondsValue = number(parser.value(seconds))) || *secondsValue == 0))
        return usage(parser, "bad --seconds");

    QString dir = parser.isSet(settings) ? parser.value(settings) : QDir::currentPath();
    if (!QDir(dir).exists())
        return usage(parser, "no such settings directory: " + dir);
    TProfile profile(QDir(dir).absoluteFilePath("telvor.ini").toStdString());
    setProfile(&profile);

    std::optional<std::string> portValue, hostValue, passwordValue;
    if (parser.isSet(port))
        portValue = parser.value(port).toStdString();
    if (parser.isSet(host))
        hostValue = parser.value(host).toStdString();
    if (parser.isSet(password))
        passwordValue = parser.value(password).toStdString();

    TQtBridge bridge;
    TCliContext ctx{profile,
                    [=](TConnectionSettings& s) {
                        if (modeValue)
                            s.mode = *modeValue;
                        if (portValue)
                            s.port = *portValue;
                        if (baudValue)
                            s.baud = std::to_string(*baudValue);
                        if (timeoutValue)
                            s.timeout = *timeoutValue;
                        if (hostValue)
                            s.host = s.ethrHost = *hostValue;
                        if (tcpPortValue)
                            s.tcpPort = s.ethrPort = *tcpPortValue;
                        if (passwordValue)
                            s.ethrPassword = *passwordValue;
                    },
                    parser.isSet(verbose),
                    std::cout,
                    std::cerr,
                    &bridge};

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    int code = 0;
    if (command == "ports")
        code = runPorts(ctx);
    else if (command == "connect")
        code = runConnect(ctx);
    else if (command == "monitor")
        code = runMonitor(ctx, TMonitorOptions{parser.isSet(json), secondsValue.value_or(0)});
    else
        code = runSend(ctx, args.mid(1).join(' ').toStdString());
    setProfile(nullptr);
    return code;
}
