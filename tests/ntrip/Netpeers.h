#pragma once
// What the NTRIP tests run beside the code: child processes (str2str, telvor-sim,
// telvor-cli) stopped by their own PID, free loopback ports, a pty a test writes a base's
// corrections into, and a TCP listener.
#include "support/Eventually.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace telvor::testing {

inline int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A connected socket to 127.0.0.1:port, or -1.
inline int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        return fd;
    ::close(fd);
    return -1;
}

inline bool listening(int port) {
    const int fd = connectLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

// A listener on a free loopback port; `port` tells which.
struct TListener {
    int fd = -1, port = 0;
    TListener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 4);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~TListener() { ::close(fd); }
};

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int count(const std::string& text, const std::string& word) {
    int n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// A child with standard output and error in files; SIGTERM to its PID when it goes.
class TChild {
public:
    TChild(const std::vector<std::string>& argv, const std::string& out, const std::string& err)
        : out_(out), err_(err) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~TChild() { stop(); }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    // SIGTERM, then the exit code (-1 when killed by a signal or gone already).
    int stop() {
        if (pid_ <= 0)
            return code_;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return code_;
    }
    std::string out() const { return fileText(out_); }
    std::string err() const { return fileText(err_); }

private:
    pid_t pid_ = -1;
    int code_ = -1;
    std::string out_, err_;
};

// A pty whose slave stands for a receiver's correction port; the test writes the master.
struct TPty {
    int master = -1;
    std::string slave;
    TPty() {
        int s = -1;
        char name[128];
        termios raw{};
        ::cfmakeraw(&raw);
        if (::openpty(&master, &s, name, &raw, nullptr) == 0) {
            slave = name;
            ::close(s);
        }
    }
    ~TPty() { ::close(master); }
    void write(const std::string& bytes) const {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::write(master, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                return;
            at += static_cast<std::size_t>(n);
        }
    }
};

// Bytes that are not text, the same every run.
inline std::string someBytes(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

} // namespace telvor::testing
