#pragma once
// The script interpreter: runs ".vxc" files line by line on the UI thread against the link,
// waits for and checks replies, and follows the "@" directives. Headless: the manual-mode
// window and `telvor-cli run` each give it a host.
#include "manual/Scriptlines.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

class TProfile;

class TScriptHost {
public:
    virtual ~TScriptHost() = default;

    // The link: a command line with checksum and line end; raw bytes; speed and RTS/CTS.
    virtual bool sendLine(std::string_view line) = 0;
    virtual bool writeRaw(std::string_view bytes) = 0;
    virtual void setLinkSpeed(std::uint32_t bitsPerSecond) = 0;
    virtual void setLinkHandshake(bool on) = 0;
    // Receiver rate over PC port speed, as the session found it.
    virtual int speedDivisor() = 0;

    // ">" + text + line feed in the pane; not logged, not captured.
    virtual void echo(const std::string& text) = 0;
    virtual void clearPane() = 0;
    virtual void setStatus(const std::string& text) = 0;
    virtual std::string status() = 0;
    // A line the run passed over although the author meant something by it (a misspelt
    // directive, a called script that is missing); the run goes on.
    virtual void warn(const std::string& text) = 0;
    // Around a run at depth 0: every control off but "Stop script", and back.
    virtual void runStarted() = 0;
    virtual void runEnded() = 0;

    // Ends the session; asks the program to quit.
    virtual void disconnect() = 0;
    virtual void quit() = 0;

    // Time passes only here; received data arrive (through received()) while events run.
    virtual void processEvents() = 0;
    virtual void sleep(int ms) = 0;
    virtual std::uint32_t nowMs() = 0;
};

class TScriptInterpreter {
public:
    static constexpr int kMaxDepth = 200;
    // A reply capture keeps at most this much (a chatty receiver cannot fill the memory).
    static constexpr std::size_t kCaptureLimit = 64 * 1024;

    // `profile` takes "@set speed" and "@set rtscts" (may be null).
    TScriptInterpreter(TScriptHost& host, TProfile* profile);

    // Relative script names are found here.
    void setFolder(std::string folder) { folder_ = std::move(folder); }

    // 0: normal end, "@stop", a missing file or the user's stop; 1: an error stop,
    // "@disconnect", "@exit", a failed nested call or too deep a call.
    int RunScript(std::string_view argumentText, int depth = 0);

    bool running() const { return running_; }
    void requestStop() { stop_ = true; }
    bool stopRequested() const { return stop_; }
    // The final status of the last run at depth 0 ("" after a normal end).
    const std::string& finalStatus() const { return finalStatus_; }
    // What the last run at depth 0 passed over (see TScriptHost::warn), in order.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Every received byte run, as the pane writer gets it.
    void received(const std::uint8_t* data, std::size_t count);

private:
    struct TRun;
    bool nextLine(TRun& run, std::string& line);
    bool runLine(TRun& run, const std::string& line, int depth);
    bool directive(TRun& run, const TDirective& d, const std::string& line, int depth);
    void warn(const std::string& text);
    bool command(TRun& run, const std::string& line);
    void gotoLabel(TRun& run, const std::string& name);
    bool call(TRun& run, const std::string& text, int depth);
    void sleep(TRun& run, int ms);
    void set(TRun& run, const std::vector<std::string>& items);
    bool errorStop(TRun& run, const std::string& text);
    std::string resolve(const std::string& name) const;
    void waitFor(int ms, std::uint32_t since, int timeoutMs);

    TScriptHost& host_;
    TProfile* profile_;
    std::string folder_;
    bool running_ = false;
    bool stop_ = false;
    bool received_ = false;
    bool capturing_ = false;
    std::string capture_;
    std::string finalStatus_;
    std::vector<std::string> warnings_;
};

} // namespace telvor
