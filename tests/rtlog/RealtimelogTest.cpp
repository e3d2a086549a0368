// The logging engine against telvor-sim on a pty, its clock running fast: the files it writes,
// the switches between them and the way it stops.
#include "rtlog/Realtimelog.h"

#include "protocol/Commstate.h"
#include "protocol/Link.h"
#include "settings/Settingskeys.h"
#include "support/Eventually.h"
#include "support/Loggable.h"
#include "support/Simsession.h"

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <mutex>

namespace telvor::testing {
namespace {

class THost : public TRealTimeHost {
public:
    void setStatus(const std::string& text) override { status = text; }
    bool confirm(const std::string& text) override {
        question = text;
        return answer;
    }
    std::string status, question;
    bool answer = true;
};

class RealTimeLog : public TSimSessionFixture {
protected:
    RealTimeLog() : TSimSessionFixture("telvor-rtlog") {}

    // A receiver at 460800 Bd whose clock runs 50 times faster than the wall clock, with
    // every byte it sends kept in `sent`.
    void connect(const std::string& start = "2006-05-03 14:50:00") {
        telvorsim::TSimOptions o;
        o.baud = o.defaultBaud = 460800;
        o.epochWallMs = 20;
        struct tm t {};
        strptime(start.c_str(), "%Y-%m-%d %H:%M:%S", &t);
        o.startMs = std::int64_t(timegm(&t)) * 1000;
        o.onOutput = [this](const std::uint8_t* b, std::size_t n) {
            std::lock_guard lock(sentLock);
            sent.append(reinterpret_cast<const char*>(b), n);
        };
        profile->write(keys::CommBaud, "460800");
        ASSERT_NO_FATAL_FAILURE(connectPaused(o));
        log = std::make_unique<TRealTimeLog>(host, *profile);
        log->attach();
        beginRealTimeMonitor(false, false);
        ASSERT_TRUE(eventually([&] { return log->receiverSeconds() >= 0; }));
    }
    void TearDown() override {
        log.reset();
        TSimSessionFixture::TearDown();
    }
    // What the window's edits hold by default, with a mask the receiver accepts.
    TStartRequest single(const std::string& name) {
        TStartRequest r;
        r.elevationMask = "10";
        r.options.folder = dir.string();
        r.options.singleName = name;
        return r;
    }
    TStartRequest multiple(int numbering) {
        TStartRequest r;
        r.elevationMask = "10";
        r.options.multiple = true;
        r.options.folder = dir.string();
        r.options.prefix = "site";
        r.options.granularity = 0;
        r.options.numbering = numbering;
        return r;
    }
    // Waits until the receiver is well inside a minute, so that a first file holds epochs.
    bool midMinute() {
        return eventually([&] {
            const int s = int(log->receiverSeconds()) % 60;
            return s >= 5 && s <= 40;
        });
    }
    // Runs the timer until `files` have been switched away from.
    bool runUntilSwitched(int files, std::vector<std::string>& names) {
        return eventually(
            [&] {
                log->timerStep();
                std::string now = log->currentFileName();
                if (names.empty() || names.back() != now)
                    names.push_back(now);
                return int(names.size()) > files;
            },
            30000, [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
    }
    // A receiver whose clock agrees with the times the tests feed as the input thread would.
    static telvorsim::TSimOptions at145800() {
        telvorsim::TSimOptions o;
        struct tm t {};
        strptime("2006-05-03 14:58:00", "%Y-%m-%d %H:%M:%S", &t);
        o.startMs = std::int64_t(timegm(&t)) * 1000;
        return o;
    }
    // An hourly series started at 14:58 whose receiver then goes quiet, stepped to 14:59:59:
    // the next file is prepared and waits for a marker reply that does not come.
    void prepareWhileQuiet(TStartRequest r) {
        ASSERT_NO_FATAL_FAILURE(connectPaused(at145800()));
        log = std::make_unique<TRealTimeLog>(host, *profile);
        log->attach();
        const std::uint8_t date[5] = {0xD6, 0x07, 5, 3, 0}; // 2006-05-03
        log->OnReceiverDate(date);
        log->OnReceiverTime((14 * 3600 + 58 * 60) * 1000);
        r.options.granularity = 1;
        ASSERT_TRUE(log->start(r)) << host.status;
        telvorsim::TFaults quiet;
        quiet.silentAfterMs = 0;
        sim->setFaults(quiet);
        log->OnReceiverTime((14 * 3600 + 59 * 60 + 59) * 1000);
        log->timerStep();
        ASSERT_TRUE(log->hasPrepared());
    }
    std::string sentSoFar() {
        std::lock_guard lock(sentLock);
        return sent;
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    THost host;
    std::unique_ptr<TRealTimeLog> log;
    std::mutex sentLock;
    std::string sent;
    std::vector<std::string> lines; // what the receiver was sent, under sentLock
};

TEST_F(RealTimeLog, SwitchedFilesTogetherHoldTheStreamExactlyOnce) {
    ASSERT_NO_FATAL_FAILURE(connect());
    // An earlier run's first file stays as it is: numbering goes past it.
    std::ofstream(dir / "site0000.vxr") << "earlier";
    ASSERT_TRUE(midMinute());
    ASSERT_TRUE(log->start(multiple(0))) << host.status;
    std::vector<std::string> names;
    ASSERT_TRUE(runUntilSwitched(3, names));
    log->stop(false);
    EXPECT_FALSE(log->running());
    EXPECT_EQ(readFile((dir / "site0000.vxr").string()), "earlier");
    ASSERT_EQ(names.front(), (dir / "site0001.vxr").string());

    std::string logged;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string bytes = readFile(names[i]);
        // Stop may come before the file of the last switch has its first byte.
        if (bytes.empty() && i + 1 == names.size() && i > 0)
            continue;
        ASSERT_FALSE(bytes.empty()) << names[i];
        // Each file after the first opens with the receiver's new message set.
        if (i > 0) {
            EXPECT_EQ(bytes.substr(0, 5), "QF055") << names[i];
        }
        // No reply ever lands in a file.
        EXPECT_EQ(bytes.find("RE0"), std::string::npos) << names[i];
        logged += bytes;
    }
    const std::string expected = loggableBytes(sentSoFar());
    const std::size_t at = expected.find(logged);
    ASSERT_NE(at, std::string::npos) << "the files are not one unbroken part of the stream";
    EXPECT_EQ(expected.find(logged, at + 1), std::string::npos);
    EXPECT_EQ(profile->read(keys::RealTimeAutoRun), true);
}

TEST_F(RealTimeLog, DateNamesFollowTheFirstEpochOfEachFile) {
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_TRUE(midMinute());
    ASSERT_TRUE(log->start(multiple(1))) << host.status;
    std::vector<std::string> names;
    ASSERT_TRUE(runUntilSwitched(2, names));
    log->stop(false);
    // At close each file carries the minute of the first epoch it holds, on 2006-05-03.
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".vxr")
            files.push_back(e.path().string());
    // The file of the last switch is removed when the stop comes before its first byte.
    ASSERT_GE(files.size(), 2u);
    ASSERT_LE(files.size(), 3u);
    int dated = 0;
    for (const std::string& file : files) {
        const std::string bytes = readFile(file);
        const std::size_t at = bytes.find("~~005");
        // The file opened by the last switch may be closed before its first epoch: it then
        // keeps the name it was prepared with.
        if (at == std::string::npos)
            continue;
        ++dated;
        std::uint32_t tod = 0;
        std::memcpy(&tod, bytes.data() + at + 5, 4);
        char stem[16];
        std::snprintf(stem, sizeof stem, "6123%02u%02u", tod / 3600000, tod / 60000 % 60);
        EXPECT_EQ(std::filesystem::path(file).filename(), std::string("site") + stem + ".vxr");
    }
    EXPECT_GE(dated, 2);
}

TEST_F(RealTimeLog, StartChecksItsEditsInOrder) {
    ASSERT_NO_FATAL_FAILURE(connect());
    TStartRequest r = single("data");
    // An empty mask is sent too: the receiver refuses it, and the run does not start with
    // whatever mask it had.
    r.elevationMask = "";
    EXPECT_FALSE(log->start(r));
    EXPECT_EQ(host.status, "Invalid elevation mask");
    EXPECT_EQ(log->fault(), TStartFault::ElevationMask);
    r.elevationMask = "10";
    r.interval = "0";
    EXPECT_FALSE(log->start(r));
    EXPECT_EQ(host.status, "Invalid recording interval");
    EXPECT_EQ(log->fault(), TStartFault::Interval);
    r.interval = "1";
    r.startCount = "-1";
    EXPECT_FALSE(log->start(r));
    EXPECT_EQ(host.status, "Invalid start count value (integer required)");
    r.startCount = "0";
    r.period = "x";
    EXPECT_FALSE(log->start(r));
    EXPECT_EQ(host.status, "Invalid files switching period value");
    r.elevationMask = "500";
    EXPECT_FALSE(log->start(r));
    EXPECT_EQ(host.status, "Invalid elevation mask");

    r.elevationMask = "10";
    r.period = "0";
    ASSERT_TRUE(log->start(r)) << host.status;
    EXPECT_EQ(log->request().period, "1");
    EXPECT_EQ(log->request().interval, "1.00");
    EXPECT_EQ(log->request().options.singleName, "data.vxr");
    EXPECT_EQ(profile->read(keys::RealTimeIntervalBetweenFiles), 1);
    ASSERT_TRUE(eventually([&] { return log->bytesWritten() > 2000; }));
    log->stop(false);
    EXPECT_GT(std::filesystem::file_size(dir / "data.vxr"), 2000u);
    // A single file is not remembered for AutoRun.
    EXPECT_EQ(profile->read(keys::RealTimeAutoRun), false);
}

TEST_F(RealTimeLog, WithoutReceiverTimeAMultipleFileRunNeverSwitches) {
    telvorsim::TSimOptions o;
    ASSERT_NO_FATAL_FAILURE(connectPaused(o));
    log = std::make_unique<TRealTimeLog>(host, *profile);
    log->attach();
    TStartRequest r = multiple(0);
    r.options.granularity = 0;
    ASSERT_TRUE(log->start(r)) << host.status;
    EXPECT_EQ(log->nextBoundary(), -1);
    ASSERT_TRUE(eventually([&] { return log->receiverSeconds() >= 0; }));
    for (int i = 0; i < 5; ++i)
        log->timerStep();
    EXPECT_FALSE(log->hasPrepared());
    EXPECT_EQ(log->currentFileName(), (dir / "site0000.vxr").string());
}

TEST_F(RealTimeLog, AFailingWriteStopsLoggingAndKeepsWhatLanded) {
    ASSERT_NO_FATAL_FAILURE(connect());
    TStartRequest r = single("");
    // A disk that is full from the start.
    std::filesystem::create_symlink("/dev/full", dir / "full.vxr");
    r.options.singleName = (dir / "full.vxr").string();
    ASSERT_TRUE(log->start(r)) << host.status;
    ASSERT_TRUE(eventually([&] {
        log->timerStep();
        return !log->running();
    }));
    EXPECT_EQ(host.status, "Disk full or disk error");

    // A file that may not grow past 20000 bytes: the first 20000 are the stream's.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 20000;
    setrlimit(RLIMIT_FSIZE, &small);
    r.options.singleName = (dir / "short.vxr").string();
    const bool started = log->start(r);
    const bool stopped = started && eventually([&] {
                             log->timerStep();
                             return !log->running();
                         });
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(started) << host.status;
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(host.status.empty());
    const std::string kept = readFile(r.options.singleName);
    ASSERT_EQ(kept.size(), 20000u);
    EXPECT_NE(loggableBytes(sentSoFar()).find(kept), std::string::npos);
}

TEST_F(RealTimeLog, StopConvertsTheLastFileAndDeletesItOnlyAfterSuccess) {
    ASSERT_NO_FATAL_FAILURE(connect());
    profile->write(keys::Vxr2RinApplication, std::string(TELVOR_FAKE_CONVERTER));
    profile->write(keys::Vxr2RinDeleteVXR, true);
    profile->write(keys::Vxr2RinOptions, "--exit=3");
    TStartRequest r = single("a.vxr");
    r.options.convert = true;
    ASSERT_TRUE(log->start(r)) << host.status;
    ASSERT_TRUE(eventually([&] { return log->bytesWritten() > 0; }));
    log->stop(true);
    EXPECT_EQ(host.status, "VXR to RINEX: Terminated with error code 3 (Inconsistent or corrupt "
                           "data in VXR file)");
    EXPECT_GT(std::filesystem::file_size(dir / "a.vxr"), 0u);

    profile->write(keys::Vxr2RinOptions, "");
    r.options.singleName = "b.vxr";
    ASSERT_TRUE(log->start(r)) << host.status;
    ASSERT_TRUE(eventually([&] { return log->bytesWritten() > 0; }));
    log->stop(true);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.vxr"));
    // The converter ran in the output folder on the closed file.
    EXPECT_NE(readFile((dir / "args.txt").string()).find((dir / "b.vxr").string()),
              std::string::npos);
}

// A receiver that goes quiet right after Start answers neither the switch marker nor starts a
// new message set: the prepared file takes over after the timeout, and the bytes that came
// before stay in the old file. The clock is fed as the input thread would.
TEST_F(RealTimeLog, WithoutTheMarkerReplyTheTimeoutSwitches) {
    telvorsim::TSimOptions o;
    struct tm t {};
    strptime("2006-05-03 14:05:30", "%Y-%m-%d %H:%M:%S", &t);
    o.startMs = std::int64_t(timegm(&t)) * 1000;
    ASSERT_NO_FATAL_FAILURE(connectPaused(o));
    log = std::make_unique<TRealTimeLog>(host, *profile);
    log->attach();
    log->setSwitchTimeoutMs(300);
    const std::uint8_t date[5] = {0xD6, 0x07, 5, 3, 0}; // 2006-05-03
    const std::uint32_t at145958 = (14 * 3600 + 59 * 60 + 58) * 1000;
    log->OnReceiverDate(date);
    log->OnReceiverTime((14 * 3600 + 5 * 60 + 30) * 1000);
    TStartRequest r = multiple(0);
    r.options.granularity = 1;
    ASSERT_TRUE(log->start(r)) << host.status;
    EXPECT_EQ(log->nextBoundary(), 15);
    telvorsim::TFaults quiet;
    quiet.silentAfterMs = 0;
    sim->setFaults(quiet);
    // Quiet once a query stays unanswered; replies to Start's commands may still be waiting.
    ASSERT_TRUE(eventually(
        [] {
            CurrentConnection->Input.Clear();
            return SendAndWait("%%print,/par/raw/curmsint", 100) == TReply::None;
        },
        5000));

    const std::string first = log->currentFileName();
    log->WriteData(reinterpret_cast<const std::uint8_t*>("before"), 6);
    log->OnReceiverTime(at145958 + 980);
    log->timerStep();
    EXPECT_FALSE(log->hasPrepared());
    log->OnReceiverTime(at145958 + 990);
    log->timerStep();
    ASSERT_TRUE(log->hasPrepared());
    EXPECT_EQ(log->currentFileName(), first);
    ASSERT_TRUE(eventually([&] {
        log->timerStep();
        return !log->hasPrepared();
    }));
    EXPECT_EQ(log->currentFileName(), (dir / "site0001.vxr").string());
    log->WriteData(reinterpret_cast<const std::uint8_t*>("after"), 5);
    EXPECT_EQ(log->bytesWritten(), 5u);
    log->timerStep(); // closes the old file
    const std::string old = readFile(first);
    ASSERT_GE(old.size(), 6u);
    EXPECT_EQ(old.substr(old.size() - 6), "before");
    EXPECT_EQ(old.find("after"), std::string::npos);
    EXPECT_EQ(log->nextBoundary(), 16);
    // Awake again, so that Stop is answered at once.
    sim->setFaults(telvorsim::TFaults{});
}

// A file prepared for the switch that never got a byte (the receiver went quiet, then Stop) is
// not left behind as a hole in the series; the file that holds the bytes stays.
TEST_F(RealTimeLog, AFileOfTheSeriesThatNeverGotAByteIsNotLeftBehind) {
    ASSERT_NO_FATAL_FAILURE(prepareWhileQuiet(multiple(0)));
    log->WriteData(reinterpret_cast<const std::uint8_t*>("kept"), 4);
    ASSERT_TRUE(std::filesystem::exists(dir / "site0001.vxr"));
    sim->setFaults(telvorsim::TFaults{});
    log->stop(false);
    EXPECT_FALSE(std::filesystem::exists(dir / "site0001.vxr"));
    EXPECT_NE(readFile((dir / "site0000.vxr").string()).find("kept"), std::string::npos);
}

// A write error in a series stops the run whichever file it hit, and no later file takes a
// byte: the switch that moves the failed file away does not hide the error.
TEST_F(RealTimeLog, AWriteErrorInASeriesStopsTheRunAfterASwitchToo) {
    // The first file lands on a disk that is full.
    std::filesystem::create_symlink("/dev/full", dir / "site0000.vxr");
    TStartRequest r = multiple(0);
    r.options.overwrite = true;
    ASSERT_NO_FATAL_FAILURE(prepareWhileQuiet(r));
    const std::string block(9000, 'x'); // more than the buffer: it goes to the disk
    log->WriteData(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    log->switchFiles(); // the marker's reply
    log->WriteData(reinterpret_cast<const std::uint8_t*>("after"), 5);
    sim->setFaults(telvorsim::TFaults{}); // Stop's "dm" is answered
    log->timerStep();
    EXPECT_FALSE(log->running());
    EXPECT_EQ(host.status, "Disk full or disk error");
    EXPECT_EQ(log->failure(), "Disk full or disk error");
    EXPECT_FALSE(std::filesystem::exists(dir / "site0001.vxr"));
}

// Test mode: the receiver is not asked for its stream, nothing reaches the disk, and Stop
// leaves the link idle instead of monitoring again.
TEST_F(RealTimeLog, TestModeWritesNothingAndLeavesTheLinkIdle) {
    telvorsim::TSimOptions o;
    o.verbose = true;
    o.log = [this](const std::string& line) {
        std::lock_guard lock(sentLock);
        if (line.rfind("RX: ", 0) != 0)
            return;
        // Without the checksum the link may add.
        std::string text = line.substr(4);
        if (text.size() >= 3 && text[text.size() - 3] == '@')
            text.resize(text.size() - 3);
        lines.push_back(text);
    };
    ASSERT_NO_FATAL_FAILURE(connectPaused(o));
    auto received = [&](const std::string& line) {
        std::lock_guard lock(sentLock);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    log = std::make_unique<TRealTimeLog>(host, *profile);
    log->attach();
    struct TTestMode {
        TTestMode() { commState().testMode = true; }
        ~TTestMode() { commState().testMode = false; }
    } testMode;
    TStartRequest r = single("quiet");
    ASSERT_TRUE(log->start(r)) << host.status;
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Logging);
    ASSERT_TRUE(eventually([&] { return received("%%"); }));
    EXPECT_FALSE(std::filesystem::exists(dir / "quiet.vxr"));
    log->stop(false);
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Idle);
    std::vector<std::string> all;
    {
        std::lock_guard lock(sentLock);
        all = lines;
    }
    for (const std::string& line : all)
        EXPECT_EQ(line.find("em,,def"), std::string::npos) << line;
    EXPECT_EQ(std::count(all.begin(), all.end(), "%%dm||%%dm||%%dm"), 1);
}

} // namespace
} // namespace telvor::testing
