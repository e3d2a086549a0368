#pragma once
// The NMEA pseudo-terminal: a pty whose slave is linked at a path the user names, so that
// gpsd or any serial reader opens it like a receiver port.
#include <string>
#include <string_view>

namespace telvor {

class TPtyOutput {
public:
    TPtyOutput() = default;
    TPtyOutput(const TPtyOutput&) = delete;
    TPtyOutput& operator=(const TPtyOutput&) = delete;
    ~TPtyOutput() { close(); }

    // Opens the pty and links `path` to its slave; a stale link there is replaced, anything
    // else at the path is left alone and refused. Empty on success, else the error text.
    std::string open(const std::string& path);
    // Closes the pty and removes the link.
    void close();
    bool isOpen() const { return master_ >= 0; }

    // Never blocks: nothing is written while no reader has the slave open (a reader that
    // comes later must not get old epochs), and bytes that do not fit are dropped.
    void write(std::string_view bytes);
    // Discards what the reader wrote (gpsd's probes). Any thread but one at a time.
    void drain();
    int fd() const { return master_; }
    const std::string& path() const { return path_; }
    const std::string& slave() const { return slave_; }
    bool readerPresent() const;

private:
    int master_ = -1;
    std::string path_, slave_;
};

} // namespace telvor
