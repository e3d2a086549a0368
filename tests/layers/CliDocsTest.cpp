// README.md and docs/man/telvor-cli.1 against the command table and telvor-cli --help: every
// command and option a user can give is described in both, so the docs cannot fall behind.
#include "cli/Commandtable.h"
#include "support/Run.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TDocCommand {
    std::string name;
    std::vector<std::string> options; // without the leading "--"
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool startsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

bool mentionsOption(const std::string& text, const std::string& option) {
    return std::regex_search(text, std::regex("--" + option + "([^a-z0-9-]|$)"));
}

std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems)
        text += "  " + p + "\n";
    return text;
}

// The man page as a reader sees it: no font escapes, "\-" as "-".
std::string plainMan(std::string man) {
    man = std::regex_replace(man, std::regex(R"(\\f[BIRP])"), "");
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
    return std::regex_replace(man, std::regex(R"(\\e)"), "\\");
}

// The text of one .SH section of a plain man page.
std::string manSection(const std::string& man, const std::string& name) {
    std::string text;
    bool inside = false;
    for (const std::string& line : lines(man)) {
        if (startsWith(line, ".SH"))
            inside = line == ".SH " + name;
        else if (inside)
            text += line + "\n";
    }
    return text;
}

// The .TP entries of a section, heading line first; a heading ".B record stop" belongs to
// "record".
std::vector<std::pair<std::string, std::string>> manEntries(const std::string& section) {
    std::vector<std::pair<std::string, std::string>> entries;
    bool heading = false;
    for (const std::string& line : lines(section)) {
        if (line == ".TP") {
            heading = true;
            entries.emplace_back();
            continue;
        }
        if (startsWith(line, ".PP") || entries.empty())
            continue;
        if (heading) {
            std::smatch m;
            std::regex_search(line, m, std::regex(R"(^\.BI? +"?([a-z][a-z0-9-]*))"));
            entries.back().first = m.size() > 1 ? m[1].str() : "";
            heading = false;
        }
        entries.back().second += line + "\n";
    }
    return entries;
}

std::vector<std::string> manGaps(const std::string& rawMan,
                                 const std::vector<TDocCommand>& commands,
                                 const std::vector<std::string>& globalOptions) {
    const std::string man = plainMan(rawMan);
    const auto entries = manEntries(manSection(man, "COMMANDS"));
    std::vector<std::string> gaps;
    for (const TDocCommand& c : commands) {
        std::string text;
        for (const auto& [name, body] : entries)
            if (name == c.name)
                text += body;
        if (text.empty()) {
            gaps.push_back("no entry for the command " + c.name);
            continue;
        }
        for (const std::string& o : c.options)
            if (!mentionsOption(text, o))
                gaps.push_back(c.name + ": --" + o + " is not in its entry");
    }
    const std::string options = manSection(man, "OPTIONS");
    for (const std::string& o : globalOptions)
        if (!mentionsOption(options, o))
            gaps.push_back("--" + o + " is not under OPTIONS");
    return gaps;
}

// The command an example line "telvor-cli [options] command ..." runs, also at the end of a
// pipe ("printf ... | telvor-cli ..."); empty for another line.
std::string exampleCommand(const std::string& line, const std::vector<TDocCommand>& commands) {
    const std::size_t at = line.find("telvor-cli ");
    if (at == std::string::npos || (at > 0 && line.compare(at - 2, 2, "| ") != 0))
        return "";
    std::istringstream words(line.substr(at + 11));
    std::string word;
    while (words >> word)
        for (const TDocCommand& c : commands)
            if (word == c.name)
                return word;
    return "";
}

// What the README says about each command: its example lines, and the paragraphs that name it
// as `name` or `name ...`.
std::vector<std::string> readmeGaps(const std::string& readme,
                                    const std::vector<TDocCommand>& commands,
                                    const std::vector<std::string>& globalOptions) {
    std::map<std::string, std::string> about;
    std::vector<std::string> paragraphs(1);
    bool code = false;
    for (const std::string& line : lines(readme)) {
        if (startsWith(line, "```")) {
            code = !code;
            continue;
        }
        if (code) {
            const std::string name = exampleCommand(line, commands);
            if (!name.empty())
                about[name + " example"] += line + "\n";
        } else if (line.empty()) {
            paragraphs.emplace_back();
        } else {
            paragraphs.back() += line + "\n";
        }
    }
    for (const std::string& p : paragraphs)
        for (const TDocCommand& c : commands)
            if (p.find("`" + c.name + "`") != std::string::npos ||
                p.find("`" + c.name + " ") != std::string::npos)
                about[c.name] += p;

    std::vector<std::string> gaps;
    for (const TDocCommand& c : commands) {
        if (about[c.name + " example"].empty())
            gaps.push_back("no example line \"telvor-cli ... " + c.name + "\"");
        const std::string text = about[c.name + " example"] + about[c.name];
        for (const std::string& o : c.options)
            if (!mentionsOption(text, o))
                gaps.push_back(c.name + ": --" + o +
                               " is in no example of it and no paragraph "
                               "naming `" +
                               c.name + "`");
    }
    for (const std::string& o : globalOptions)
        if (!mentionsOption(readme, o))
            gaps.push_back("--" + o + " is nowhere");
    return gaps;
}

std::vector<TDocCommand> tableCommands() {
    std::vector<TDocCommand> commands;
    for (const telvor::TCliCommand& c : telvor::cliCommands()) {
        commands.push_back({c.name, {}});
        for (const telvor::TCliOption& o : c.options)
            commands.back().options.push_back(o.name);
    }
    return commands;
}

// The options --help lists that belong to no command (--port, --help, ...).
std::vector<std::string> globalOptions(const std::vector<TDocCommand>& commands) {
    const telvor::testing::TRun help =
        telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " --help");
    std::set<std::string> own;
    for (const TDocCommand& c : commands)
        own.insert(c.options.begin(), c.options.end());
    std::vector<std::string> options;
    // An option's own line starts two spaces in; its wrapped help stands further in.
    const std::regex optionLine(R"(^  (-[a-zA-Z?], )?--([a-z][a-z0-9-]*))");
    for (const std::string& line : lines(help.out)) {
        std::smatch m;
        if (std::regex_search(line, m, optionLine) && !own.count(m[2].str()))
            options.push_back(m[2].str());
    }
    return options;
}

class CliDocs : public ::testing::Test {
protected:
    const std::vector<TDocCommand> commands = tableCommands();
    const std::vector<std::string> globals = globalOptions(commands);
};

TEST_F(CliDocs, HelpListsTheConnectionOptions) {
    // Guards the reading of --help: without these the global checks would pass on nothing.
    for (const char* o : {"port", "baud", "settings", "help"})
        EXPECT_NE(std::find(globals.begin(), globals.end(), o), globals.end()) << o;
}

TEST_F(CliDocs, ManPageHasEveryCommandAndOption) {
    const auto gaps =
        manGaps(readFile(TELVOR_SOURCE_DIR "/docs/man/telvor-cli.1"), commands, globals);
    EXPECT_TRUE(gaps.empty()) << "docs/man/telvor-cli.1 lacks:\n" << joined(gaps);
}

TEST_F(CliDocs, ReadmeHasEveryCommandAndOption) {
    const auto gaps = readmeGaps(readFile(TELVOR_SOURCE_DIR "/README.md"), commands, globals);
    EXPECT_TRUE(gaps.empty()) << "README.md lacks:\n" << joined(gaps);
}

// The checks themselves, on small documents with one gap each.
TEST(CliDocsCheck, FindsWhatTheDocumentsLack) {
    const std::vector<TDocCommand> commands = {{"get", {"dir", "append"}}, {"rm", {"force"}}};
    const std::string man = ".SH COMMANDS\n.TP\n.B get \\fR[\\fB\\-\\-dir\\fR \\fIfolder\\fR]\n"
                            "Download.\n.TP\n.B rmdir\n--force\n.SH OPTIONS\n.TP\n"
                            ".BI \\-\\-port \" NAME\"\nThe port.\n.SH SEE ALSO\n--baud\n";
    EXPECT_EQ(
        manGaps(man, commands, {"port", "baud"}),
        (std::vector<std::string>{"get: --append is not in its entry",
                                  "no entry for the command rm", "--baud is not under OPTIONS"}));

    const std::string readme = "```sh\nprintf x | telvor-cli --port X get a --dir d\n"
                               "telvor-cli-like rm\n```\n\n"
                               "`get` resumes with `--append`.\n\n`rm` deletes.\n\n"
                               "--force and --port\n";
    EXPECT_EQ(
        readmeGaps(readme, commands, {"port", "baud"}),
        (std::vector<std::string>{"no example line \"telvor-cli ... rm\"",
                                  "rm: --force is in no example of it and no paragraph naming `rm`",
                                  "--baud is nowhere"}));
}

} // namespace
