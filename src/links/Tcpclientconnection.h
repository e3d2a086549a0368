#pragma once
// The "Internet Client" link: a receiver shared by another copy of the program. It owns no
// socket; the sharing window carries its writes and feeds back what arrives.
#include "protocol/Link.h"

#include <cstddef>
#include <cstdint>

namespace telvor {

// Implemented by the sharing window's client end. Called on the UI thread.
class TRemoteWriter {
public:
    virtual ~TRemoteWriter() = default;
    // Sends one "WC" message carrying `count` bytes (possibly none); true when it went out.
    virtual bool WriteWC(const std::uint8_t* data, std::size_t count) = 0;
    // The link goes away: stop the client end.
    virtual void Stop() = 0;
};

void SetRemoteWriter(TRemoteWriter* writer);
TRemoteWriter* RemoteWriter();

class TTCPClientConnection : public TReceiverConnection {
public:
    static constexpr int kPieceSize = 1500;

    // Its input thread is never started: data arrive through the feeding functions.
    TTCPClientConnection();
    ~TTCPClientConnection() override;

    int Read(std::uint8_t*, int) override { return 0; }
    int Write(const std::uint8_t* bytes, int count) override;
    void WaitEvent(std::uint32_t& word) override;
};

} // namespace telvor
