// `telvor-cli run` and `telvor-cli terminal`.
#include "cli/Manualcommands.h"

#include "cli/Clisession.h"
#include "manual/Linkhost.h"
#include "manual/Scriptlines.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Tick.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace telvor {
namespace {

namespace fs = std::filesystem;

// The terminal's side of a session: received bytes to standard output and to the running
// script's capture, echo lines beside them, statuses kept for the end.
class TCliTerminal : public TLinkScriptHost, public TTerminalSink {
public:
    TCliTerminal(TCliContext& ctx, TSession& session)
        : ctx_(ctx), session_(session), interpreter_(*this, &ctx.profile) {}
    ~TCliTerminal() override { close(); }

    TScriptInterpreter& interpreter() { return interpreter_; }

    // Messages off (the session's pause), then every received byte comes here.
    void open() {
        session_.pauseMonitoring();
        commState().SetTerminalSink(this);
        SetInputMode(TInputMode::Terminal);
        open_ = true;
    }
    // As the window closes: delivery stopped first, the receiver's output stopped, then a
    // disconnect that restores what the session changed.
    void close() {
        if (!open_)
            return;
        open_ = false;
        commState().SetTerminalSink(nullptr);
        SetInputMode(TInputMode::Idle);
        if (session_.connected()) {
            SendAndWait("####\ndm\n%%", 2000);
            session_.disconnect();
        }
        ctx_.out.flush();
    }

    // Events run until `quietMs` pass without received data (at most `maxMs`).
    void drain(int quietMs, int maxMs) {
        const std::uint32_t start = tickCount();
        lastData_ = start;
        while (ticksSince(lastData_) < std::uint32_t(quietMs) &&
               ticksSince(start) < std::uint32_t(maxMs) && !cliStopRequested())
            TLinkScriptHost::sleep(10);
    }

    void OnTerminalData(const std::uint8_t* data, std::size_t count) override {
        ctx_.out.write(reinterpret_cast<const char*>(data), std::streamsize(count));
        ctx_.out.flush();
        lastData_ = tickCount();
        interpreter_.received(data, count);
    }

    int speedDivisor() override { return session_.speedDivisor(); }
    void echo(const std::string& text) override {
        ctx_.out << ">" << text << "\n";
        ctx_.out.flush();
    }
    void clearPane() override {}
    void setStatus(const std::string& text) override {
        status_ = text;
        if (ctx_.verbose && !text.empty())
            ctx_.err << text << std::endl;
    }
    std::string status() override { return status_; }
    void warn(const std::string& text) override { ctx_.err << text << std::endl; }
    void runStarted() override {}
    void runEnded() override {}
    void disconnect() override {
        close();
        disconnected_ = true;
    }
    void quit() override { quit_ = true; }
    // Ctrl-C stops the script as its "Stop script" button would.
    void processEvents() override {
        TLinkScriptHost::processEvents();
        if (cliStopRequested())
            interpreter_.requestStop();
    }
    void sleep(int ms) override {
        TLinkScriptHost::sleep(ms);
        if (cliStopRequested())
            interpreter_.requestStop();
    }

    bool disconnected() const { return disconnected_; }
    bool quitRequested() const { return quit_; }

private:
    TCliContext& ctx_;
    TSession& session_;
    TScriptInterpreter interpreter_;
    std::string status_;
    std::uint32_t lastData_ = 0;
    bool open_ = false;
    bool disconnected_ = false;
    bool quit_ = false;
};

// Items in double quotes when they hold a blank or a comma, so each stays one parameter.
std::string argumentText(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty())
            text += " ";
        text += item.find_first_of(" \t,") != std::string::npos ? "\"" + item + "\"" : item;
    }
    return text;
}

// After a script: 0 for a normal end, 1 for an error stop, an interruption or a line the
// run passed over (already on standard error), so that a typo cannot pass for success.
int finishRun(TCliContext& ctx, TCliTerminal& terminal, int result) {
    const std::string& status = terminal.interpreter().finalStatus();
    if (!status.empty())
        ctx.err << status << std::endl;
    const bool passedOver = !terminal.interpreter().warnings().empty();
    return result != 0 || status == "Interrupted" || passedOver ? 1 : 0;
}

} // namespace

int runScriptCommand(TCliContext& ctx) {
    const fs::path script = fs::absolute(ctx.args.front());
    if (std::FILE* f = std::fopen(script.c_str(), "rb")) {
        std::fclose(f);
    } else {
        ctx.err << "Unable to open " << ctx.args.front() << ": " << std::strerror(errno)
                << std::endl;
        return 1;
    }
    TCliView view(ctx.err, ctx.verbose, ctx.progress);
    TSession session(ctx.profile, view);
    {
        TRunning running(session);
        if (!connectSession(ctx, session))
            return 1;
    }
    TCliTerminal terminal(ctx, session);
    terminal.open();
    // "@call" finds the script's neighbours.
    terminal.interpreter().setFolder(script.parent_path().string());
    std::vector<std::string> items = {script.filename().string()};
    items.insert(items.end(), ctx.args.begin() + 1, ctx.args.end());
    const int result = terminal.interpreter().RunScript(argumentText(items), 0);
    if (!terminal.disconnected())
        terminal.drain(200, 1000); // what the last lines still brought
    terminal.close();
    return finishRun(ctx, terminal, result);
}

int runTerminal(TCliContext& ctx) {
    TCliView view(ctx.err, ctx.verbose, ctx.progress);
    TSession session(ctx.profile, view);
    {
        TRunning running(session);
        if (!connectSession(ctx, session))
            return 1;
    }
    TCliTerminal terminal(ctx, session);
    terminal.open();
    int code = 0;
    std::string pending;
    bool end = false;
    while (!end && !cliStopRequested() && !terminal.disconnected()) {
        // Standard input is polled beside the events, so received data keep flowing.
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                end = true;
            else
                pending.append(buffer, std::size_t(n));
        }
        std::size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos || (end && !pending.empty())) {
            const std::string line =
                trimScriptLine(pending.substr(0, eol == std::string::npos ? pending.size() : eol));
            pending.erase(0, eol == std::string::npos ? pending.size() : eol + 1);
            if (line.empty())
                continue;
            if (line[0] == '@') {
                terminal.interpreter().setFolder(fs::current_path().string());
                if (terminal.interpreter().RunScript(std::string_view(line).substr(1), 0) != 0 ||
                    !terminal.interpreter().warnings().empty())
                    code = 1;
                if (const std::string& s = terminal.interpreter().finalStatus(); !s.empty())
                    ctx.err << s << std::endl;
                if (terminal.disconnected())
                    break;
            } else if (!SendLine(line)) {
                ctx.err << "Can't send command" << std::endl;
                code = 1;
            }
        }
        terminal.processEvents();
    }
    if (!terminal.disconnected())
        terminal.drain(300, 3000); // the replies to the last lines
    terminal.close();
    return code;
}

} // namespace telvor
