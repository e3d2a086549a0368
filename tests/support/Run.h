#pragma once
// Runs a program as a user would from a shell: its exit code and what it wrote.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace telvor::testing {

struct TRun {
    int code = -1;   // the exit code; -1 when the program did not exit normally
    std::string out; // standard output (and standard error where the command line sends it)
    std::string err; // filled by callers that send standard error to a file
};

inline TRun runCommand(const std::string& commandLine) {
    TRun r;
    FILE* p = ::popen(commandLine.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf{};
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p))
        r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace telvor::testing
