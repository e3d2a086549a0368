// The saved report: header lines, the tree read reply by reply, and all-or-nothing writing.
#include "info/Reportfile.h"

#include "info/Reportlayout.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace telvor {
namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

void consumeReply() {
    if (TReceiverConnection* link = CurrentConnection)
        if (int length = link->Input.FrontMessage())
            link->Input.Consume(length);
}

} // namespace

std::string buildDateText(const std::string& compilerDate) {
    std::istringstream in(compilerDate);
    std::string month;
    int day = 0, year = 0;
    if (!(in >> month >> day >> year))
        return compilerDate;
    for (int m = 0; m < 12; ++m)
        if (month.size() == 3 && std::strncmp(kMonths[m], month.c_str(), 3) == 0)
            return std::string(kMonths[m]) + " " + std::to_string(day) + ", " +
                   std::to_string(year);
    return compilerDate;
}

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

std::string versionAndBuild(const std::string& version, const std::string& buildDate) {
    return "Version " + version + " (Build: " + buildDate + ")";
}

std::string headerLines(const std::string& program, const std::string& label, const std::tm& now) {
    char date[64];
    const int month = now.tm_mon >= 0 && now.tm_mon < 12 ? now.tm_mon : 0;
    std::snprintf(date, sizeof date, "%s %02d, %04d %02d:%02d:%02d", kMonths[month], now.tm_mday,
                  now.tm_year + 1900, now.tm_hour, now.tm_min, now.tm_sec);
    return "Created by " + program + " " + label + "  \n" + "Current Date: " + date + "  \n";
}

bool readParameterTree(std::string& lines) {
    lines.clear();
    if (SendAndWait("%%print,/:on", 2000) != TReply::RE)
        return false;
    std::string value;
    for (;;) {
        std::string part = ReplyText(7);
        consumeReply();
        value += part;
        lines += part + "\n";
        if (ValueComplete(value))
            return true;
        if (!AwaitReply("RE", 2000))
            return false;
    }
}

bool writeTextFile(const std::string& path, const std::string& text) {
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file.fail())
            return true;
    }
    // What was half written goes; a device or pipe stays as it is.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored))
        std::filesystem::remove(path, ignored);
    return false;
}

std::string writeReport(const TReportRequest& r, TParamSource& source, bool& ok) {
    ok = false;
    std::string text = headerLines(r.program, r.versionLabel, r.now);
    if (r.kind == TReportKind::Report) {
        text += reportLayout(source, r.version);
    } else {
        text += "======================= Receiver's parameters ======================\n";
        if (r.version > 2001) {
            std::string tree;
            if (!readParameterTree(tree))
                return "Unable to retrieve receiver information";
            text += tree;
        } else {
            text += fixedLayout(source, r.version);
        }
    }
    if (!writeTextFile(r.path, text))
        return "Unable to create " + r.path;
    ok = true;
    return "Saved to " + r.path;
}

TReportPath reportFilePath(const std::string& given,
                           const std::function<std::string()>& proposedName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool folder = (!given.empty() && given.back() == '/') || fs::is_directory(given, ec);
    if (!folder)
        return {given, {}};
    fs::create_directories(given, ec);
    if (ec)
        return {given, "Unable to create " + given + ": " + ec.message()};
    return {(fs::path(given) / proposedName()).string(), {}};
}

} // namespace telvor
