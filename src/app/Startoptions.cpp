#include "app/Startoptions.h"

#include "app/Appinfo.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace telvor {
namespace {

// Options QGuiApplication takes itself; listed so that they are not refused here.
const char* const kQtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "style",         "stylesheet", "display",
    "session",     "qmljsdebugger"};
const char* const kQtFlags[] = {"reverse", "nograb", "dograb", "widgetcount"};

TStartOptions usage(const QString& message) {
    TStartOptions o;
    o.action = TStartOptions::Usage;
    o.text = "telvor: " + message.toStdString() + "\nSee telvor --help.\n";
    return o;
}

} // namespace

TStartOptions parseStartOptions(int argc, const char* const* argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        "Controls a GNSS receiver: finds it on a serial port, USB or TCP, monitors what it\n"
        "tracks and computes, manages its files and configures it.");
    QCommandLineOption help({"h", "help"}, "Show this help.");
    QCommandLineOption version({"v", "version"}, "Show the version.");
    QCommandLineOption settings("settings",
                                "Folder holding telvor.ini (default: the home folder, "
                                "~/.config/telvor unless another was chosen).",
                                "dir");
    parser.addOptions({help, version, settings});
    for (const char* name : kQtValueOptions) {
        QCommandLineOption o(name, "", "value");
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption o(name, "");
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    parser.addPositionalArgument(
        "/run",
        "Open the manual-mode terminal after connecting, with this receiver script and "
        "its arguments in its command line.",
        "[/run FILE [ARGS...]]");
    parser.addPositionalArgument(
        "FILE.vxr", "Replay this recording in the monitor and plots instead of connecting.",
        "[FILE.vxr]");

    if (!parser.parse(args))
        return usage(parser.errorText());
    TStartOptions o;
    if (parser.isSet(help)) {
        o.action = TStartOptions::Help;
        o.text = parser.helpText().replace("<executable_name>", "telvor").toStdString();
        return o;
    }
    if (parser.isSet(version)) {
        o.action = TStartOptions::Version;
        o.text = std::string("telvor ") + appVersion() + "\n";
        return o;
    }
    const QStringList rest = parser.positionalArguments();
    // A file manager passes the recording alone (its type is known by its content, so the
    // name may lack ".vxr"); a word that is neither stays a mistake.
    if (rest.size() == 1 &&
        (rest[0].endsWith(".vxr", Qt::CaseInsensitive) || QFileInfo(rest[0]).isFile())) {
        o.recording = QFileInfo(rest[0]).absoluteFilePath().toStdString();
    } else if (!rest.isEmpty()) {
        if (rest.size() < 2 || rest[0] != "/run")
            return usage("unexpected argument \"" + rest[0] + "\"");
        // Made absolute now: the program changes to its home folder before it runs the script.
        o.script = QFileInfo(rest[1]).absoluteFilePath().toStdString();
        for (qsizetype i = 2; i < rest.size(); ++i)
            o.scriptArguments.push_back(rest[i].toStdString());
    }
    if (parser.isSet(settings)) {
        const QString dir = parser.value(settings);
        if (!QFileInfo(dir).isDir())
            return usage("no such settings folder: " + dir);
        o.settingsDir = QDir(dir).absolutePath().toStdString();
    }
    return o;
}

} // namespace telvor
