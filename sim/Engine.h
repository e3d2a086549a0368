#pragma once
// The receiver itself, without any I/O: takes the bytes that arrive on its port, answers them,
// and produces the messages of each epoch. The host (TSimReceiver) moves the bytes and keeps
// time.
#include "sim/Blocktransfer.h"
#include "sim/Filesystem.h"
#include "sim/Modem.h"
#include "sim/Outputs.h"
#include "sim/Params.h"
#include "sim/Simoptions.h"
#include "sim/Sky.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace telvorsim {

// One line of the --truth file for an epoch: receiver time (UTC ms), GPS week and seconds of
// week on the receiver clock, the antenna (m, Earth-fixed), the receiver clock bias (s), and
// the satellites in the solution ("G05", "R12").
std::string truthLine(const TEpoch& epoch);
// Encodes one due message; the first epoch after enabling sends all held data where the
// message wants that.
void encodeDue(const TEpochView& view, const TOutputs::TDue& due, std::vector<std::string>& out);

class TEngineHost {
public:
    virtual ~TEngineHost() = default;
    // Bytes for the port; `reply` for "RE"/"ER" (they may be delayed, and are never dropped
    // for room like data messages).
    virtual void send(std::string bytes, bool reply) = 0;
    // The port's own rate changes once everything queued so far has left.
    virtual void switchRateAfterOutput(unsigned rate) = 0;
    // The receiver restarts once everything queued so far has left.
    virtual void restartAfterOutput(bool clearNvram) = 0;
};

struct TCommand;

class TEngine {
public:
    TEngine(const TSimOptions& options, TEngineHost& host, std::string portName,
            std::int64_t startMs);

    // Bytes received on the port.
    void receive(const std::uint8_t* data, std::size_t count);
    // Forgets a partly received line (the line was garbled, or the peer went away), and a
    // block transfer in progress with it.
    void dropPartialLine() {
        line_.clear();
        transfer_.cancel();
    }
    // Advances receiver time by one epoch; sends the due messages when `emit`.
    void runEpoch(bool emit);
    // Back after a restart: volatile state gone; a cleared NVRAM also restores every
    // parameter.
    void reboot(bool clearNvram);
    // As when first switched on: factory parameters and files, no outputs, nothing tracked,
    // the clock at `startMs`. Much cheaper than a new engine: the parameter table is parsed
    // once.
    void powerUp(std::int64_t startMs);

    void setFaults(const TFaults& faults);
    void triggerEvent(char which) { events_.push_back(which); }
    // The radio modem on options.modemPort, null without one.
    TSimModem* modem() { return modem_.get(); }
    const TSimModem* modem() const { return modem_.get(); }

    // State, for the host and for tests.
    const std::string& portName() const { return port_; }
    unsigned portRate() const; // the port's rate parameter, 0 when the port has none
    std::int64_t receiverTimeMs() const { return timeMs_; }
    std::uint64_t epochs() const { return epochs_; }
    std::vector<std::string> enabledMessages(const std::string& port = "") const;
    const std::deque<std::string>& commands() const { return commands_; }
    std::optional<std::string> param(const std::string& path) const;
    // What "print,<path>" answers as a whole (before it is cut into replies); none for "ER".
    std::optional<std::string> printed(const std::string& path);
    int restarts() const { return restarts_; }
    const TFileSystem& files() const { return files_; }
    const TBlockTransfer& transfer() const { return transfer_; }

    // Normalises a parameter path as commands give it: relative paths live under "/par/",
    // "/cur/term" is this port.
    std::string normalise(const std::string& path) const;

private:
    struct TResult {
        TResult() = default;
        TResult(bool o, std::string v, std::function<void()> after)
            : ok(o), value(std::move(v)), afterReply(std::move(after)) {}
        bool ok = true;
        std::string value; // "RE": after the echo; "ER": the error text
        std::function<void()> afterReply;
        std::vector<std::string> parts; // when set: one reply each, instead of `value`
        bool raw = false;               // `value` goes out as it stands, without a frame
    };
    using THandler = TResult (TEngine::*)(const std::vector<std::string>& args);
    struct TCommandEntry {
        const char* verb;
        std::size_t maxArgs; // the last argument keeps any further commas
        THandler handler;
    };
    static const TCommandEntry kCommands[];

    TResult cmdPrint(const std::vector<std::string>& args);
    TResult cmdSet(const std::vector<std::string>& args);
    TResult cmdEm(const std::vector<std::string>& args);
    TResult cmdDm(const std::vector<std::string>& args);
    TResult cmdOut(const std::vector<std::string>& args);
    TResult cmdInit(const std::vector<std::string>& args);
    // The file memory (Filecommands.cpp).
    TResult cmdGet(const std::vector<std::string>& args);
    TResult cmdCreate(const std::vector<std::string>& args);
    TResult cmdRemove(const std::vector<std::string>& args);
    // Recording into the current log file (Recording.cpp).
    TResult cmdEvent(const std::vector<std::string>& args);
    TResult startRecording(const std::vector<TMsgItem>& items);
    void stopRecording();
    void recordEpoch();
    std::optional<TResult> printFiles(const std::string& path);
    std::optional<TResult> printFileBytes(const std::string& argument);
    std::uint32_t fileTime() const;
    std::string echo_;       // of the command being answered
    std::string logFile_;    // what "em,/cur/log" records into: the file created last
    bool recording_ = false; // "/cur/log" is logFile_, and it grows every due epoch

    void onLine(const std::string& line);
    void execute(const TCommand& cmd);
    void reply(const TCommand& cmd, const TResult& result);
    bool portArg(const std::string& arg, std::string& port) const;
    bool isPort(const std::string& path) const;
    bool acceptsCommands() const;
    std::string resolveVar(std::string_view name) const;
    TSkySettings skySettings() const;
    static TSky makeSky(const TSimOptions& options);
    void emitEpoch(const TEpoch& epoch, const std::vector<TOutputs::TDue>& due, bool forced);
    std::string fileIdentifier() const;
    void log(const std::string& text) const;
    bool logging() const { return options_.verbose && options_.log; }
    // Input mode "echo": what arrives goes to the port's echo target (Modem side, Engine.cpp).
    bool echoing() const;
    void echoByte(char c);
    void toModem(const std::string& bytes);

    TSimOptions options_;
    TEngineHost& host_;
    std::string port_;
    TParamTree params_;
    TOutputs outputs_;
    TSky sky_;
    TEpoch last_;
    // The sky at power-up depends only on the options and the start time: restarts reuse it.
    struct TPowerUpSky {
        std::int64_t startMs;
        TSky sky;
        TEpoch first;
    };
    std::optional<TPowerUpSky> powerUpSky_;
    std::int64_t timeMs_;
    std::int64_t restartMs_;
    std::uint64_t epochs_ = 0;
    int restarts_ = 0;
    // An "em" of the def set starts a new message set: its first epoch opens with "QF".
    bool newMessageSet_ = false;
    std::string line_;
    std::string echoLine_; // the line being echoed, to see the echo-off text
    std::unique_ptr<TSimModem> modem_;
    std::vector<char> events_;
    std::deque<std::string> commands_;
    TFileSystem files_;
    TBlockTransfer transfer_;
    std::regex refuse_, ignore_;
    bool hasRefuse_ = false, hasIgnore_ = false;
};

} // namespace telvorsim
