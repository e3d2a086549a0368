#include "rtlog/Convertthread.h"

#include "protocol/Bridge.h"
#include "protocol/Logfile.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace telvor {
namespace {

const char* const kExitTexts[] = {"Error opening/reading file",
                                  "Not a VXR file format",
                                  "Inconsistent or corrupt data in VXR file",
                                  "Conversion aborted by user",
                                  "Internal error",
                                  "File already loaded",
                                  "Loading in progress",
                                  "DLL does not contain LoadFile function",
                                  "File queued",
                                  "Bad time",
                                  "File name length exceeds allowed value",
                                  "Error opening output file"};

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::string installedConverter() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec).parent_path();
    if (!ec)
        for (const fs::path& p : {self / "telvor-vxr2rin", self / "../rinex/telvor-vxr2rin"})
            if (exists(p.string()) && p.string().find_first_of(" \"\t") == std::string::npos)
                return fs::weakly_canonical(p, ec).string();
    return "telvor-vxr2rin";
}

TConverterSettings readConverterSettings(const TProfile& p) {
    TConverterSettings s;
    s.application = p.read(keys::Vxr2RinApplication);
    if (s.application.empty())
        s.application = installedConverter();
    std::error_code ec;
    s.settingsFile = std::filesystem::absolute(p.fileName(), ec).string();
    s.workingFolder = p.read(keys::RealTimeOutputPath);
    s.noGps = p.read(keys::Vxr2RinNoGPS);
    s.noGlo = p.read(keys::Vxr2RinNoGLO);
    s.noL1 = p.read(keys::Vxr2RinNoL1);
    s.noL2 = p.read(keys::Vxr2RinNoL2);
    s.options = p.read(keys::Vxr2RinOptions);
    return s;
}

std::string converterCommandLine(const TConverterSettings& s, const std::string& fileName) {
    std::string line = s.application + " -i \"" + fileName + "\" -p \"" + s.settingsFile + "\" -q";
    if (s.noGps)
        line += " -G";
    if (s.noGlo)
        line += " -R";
    if (s.noL1)
        line += " -1";
    if (s.noL2)
        line += " -2";
    return line + " " + s.options;
}

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

std::string exitCodeText(int code) {
    std::string text = "Terminated with error code " + std::to_string(code);
    if (code >= 1 && code <= 12)
        text += std::string(" (") + kExitTexts[code - 1] + ")";
    else if (code == -1)
        text += " (Invalid command line?)";
    return text;
}

TConvertThread::TConvertThread(TConverterSettings settings, std::string file, int t,
                               std::string source)
    : fileName(std::move(file)), tasks(t), mergeSource(std::move(source)),
      settings_(std::move(settings)) {}

TConvertThread::~TConvertThread() {
    WaitFor();
}

void TConvertThread::Start() {
    thread_ = std::thread([this] {
        Execute();
        finished_ = true;
        uiBridge().post(TWindowId::RealTime, kConversionEndedCode);
    });
}

void TConvertThread::WaitFor() {
    if (thread_.joinable())
        thread_.join();
}

void TConvertThread::Execute() {
    if (tasks & kMerge)
        merge();
    if ((tasks & kConvert) && errorText.empty())
        convert();
}

void TConvertThread::merge() {
    merging = true;
    struct TDone {
        std::atomic<bool>& flag;
        ~TDone() { flag = false; }
    } done{merging};
    if (fileName.empty() || mergeSource.empty()) {
        errorText = "Error: No File Name";
        return;
    }
    for (const std::string* name : {&fileName, &mergeSource})
        if (!exists(*name)) {
            errorText = "Error: Can't open File " + *name;
            return;
        }
    const int out = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (out < 0) {
        errorText = "Error: Can't open file: " + fileName + std::strerror(errno);
        return;
    }
    const int in = ::open(mergeSource.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        errorText = "Error: Can't open file: " + mergeSource + std::strerror(errno);
        ::close(out);
        return;
    }
    std::vector<char> block(65536);
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, block.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                errorText = w < 0 ? std::strerror(errno) : "Disk full or disk error";
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        errorText = std::strerror(errno);
        ok = false;
    }
    // The source goes only once every byte of it is in the target.
    if (ok)
        ::unlink(mergeSource.c_str());
    else if (errorText.empty())
        errorText = "Error: Can't read file: " + mergeSource;
}

void TConvertThread::convert() {
    const std::string line = converterCommandLine(settings_, fileName);
    logLine("TRACE_RTL: ConvertThread() app: " + line);
    std::vector<std::string> words = splitCommandLine(line);
    if (words.empty()) {
        errorText = exitCodeText(-1);
        return;
    }
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!settings_.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, settings_.workingFolder.c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        errorText = std::strerror(rc);
        return;
    }
    int status = 0;
    pid_t r;
    do
        r = ::waitpid(pid, &status, 0);
    while (r < 0 && errno == EINTR);
    if (r < 0) {
        errorText = std::strerror(errno);
        return;
    }
    if (WIFSIGNALED(status)) {
        errorText = "Terminated by signal " + std::to_string(WTERMSIG(status));
        return;
    }
    int code = WEXITSTATUS(status);
    if (code == 255) // exit(-1) as the system reports it
        code = -1;
    if (code != 0)
        errorText = exitCodeText(code);
}

} // namespace telvor
