#pragma once
// The worker that merges a finished raw file into an existing one of the same final name and
// runs the external RINEX converter on it, one worker per file, each on its own thread.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace telvor {

class TProfile;

// What the worker reads from the settings when it is made.
struct TConverterSettings {
    std::string application;   // "Application"; default installedConverter()
    std::string settingsFile;  // handed to the converter with -p
    std::string workingFolder; // "RealTime"/"OutputPath"
    bool noGps = false, noGlo = false, noL1 = false, noL2 = false;
    std::string options;
};
TConverterSettings readConverterSettings(const TProfile& profile);
// telvor-vxr2rin beside the running program (or in the build tree's converter folder beside
// its own), else the bare name for PATH.
std::string installedConverter();

// The command line, as it goes to the communication log.
std::string converterCommandLine(const TConverterSettings& s, const std::string& fileName);
// Splits a command line into words: blanks separate, double quotes group (and are removed).
std::vector<std::string> splitCommandLine(const std::string& line);
// "Terminated with error code N" and, for known codes, the converter's text.
std::string exitCodeText(int code);

class TConvertThread {
public:
    enum : int { kConvert = 1, kMerge = 2 };

    TConvertThread(TConverterSettings settings, std::string fileName, int tasks,
                   std::string mergeSource);
    ~TConvertThread(); // joins
    TConvertThread(const TConvertThread&) = delete;
    TConvertThread& operator=(const TConvertThread&) = delete;

    // Starts the thread; at the end it posts "DETH" to the real-time window.
    void Start();
    void WaitFor();
    bool finished() const { return finished_.load(); }

    const std::string fileName;
    const int tasks;
    const std::string mergeSource;
    // Empty on success; read after finished().
    std::string errorText;
    std::atomic<bool> merging{false};

    // The body, on the caller's thread (tests, and the thread).
    void Execute();

private:
    void merge();
    void convert();

    TConverterSettings settings_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
};

} // namespace telvor
