#pragma once
// The receiver report as files: the header lines, the whole parameter tree as the receiver
// prints it, and writing a text so that a failed write is never taken for a saved file. No Qt.
#include "info/Receiverinfo.h"

#include <ctime>
#include <functional>
#include <string>

namespace telvor {

// "October 10, 2006" from the compiler's "Oct 10 2006"; the text as given if it is not one.
std::string buildDateText(const std::string& compilerDate);
// "Version " + version + " (Build: " + date + ")".
std::string versionAndBuild(const std::string& version, const std::string& buildDate);
// Local time now, for the header lines.
std::tm localNow();
// "Created by <program> <label>" and "Current Date: <month dd, yyyy> <hh:mm:ss>", each ending
// in two blanks and a line feed.
std::string headerLines(const std::string& program, const std::string& label, const std::tm& now);

// The whole tree ("%%print,/:on"), one line per reply, until the braces balance. False when
// the line cannot be sent or the tree stops short (`lines` is then incomplete).
bool readParameterTree(std::string& lines);

enum class TReportKind { Save, Report };

struct TReportRequest {
    TReportKind kind = TReportKind::Save;
    std::string path;
    std::string program, versionLabel;
    int version = 0; // the session's firmware number
    std::tm now{};
};

// Collects the file's text and writes it. Returns the status text: "Saved to " + path, or
// what went wrong; `ok` tells which.
std::string writeReport(const TReportRequest& request, TParamSource& source, bool& ok);

// Where "Report" writes for a path typed by the user: one that ends in "/" or names an
// existing folder is a folder (created when missing) and the file in it gets the proposed
// name; any other path is the file itself. `error` is empty when the path is ready.
struct TReportPath {
    std::string path;
    std::string error;
};
TReportPath reportFilePath(const std::string& given,
                           const std::function<std::string()>& proposedName);

// The whole text or nothing: a file that cannot be written completely is removed.
bool writeTextFile(const std::string& path, const std::string& text);

} // namespace telvor
