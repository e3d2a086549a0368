// Bytes from a sharing peer: the reader resynchronises, unscrambles and checks every packet;
// each good message is dispatched to the forwarding rules as the server would. Nothing
// crashes, no message exceeds what a packet can hold, every message survives a round trip,
// and no "MM" message grows past the packet size in force.
#include "server/Forwarder.h"
#include "server/Packetreader.h"
#include "server/Sharingpacket.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the key: the default, a long one, or a single high byte.
    static const char* const kKeys[] = {"PRAVL", "a sharing password of some length", "\xfe"};
    const std::string key = kKeys[data[0] % 3];
    ++data;
    --size;

    int limit = 1500;
    telvor::TForwarder forwarder([&](const std::uint8_t*, std::size_t n) {
        if (n > std::size_t(limit) + 2)
            std::abort();
    });
    telvor::TPacketReader reader([&](const std::uint8_t* m, std::size_t n) {
        if (n > std::size_t(telvor::kMaxMessageSize))
            std::abort();
        const telvor::TBytes again = telvor::buildPacket(m, n, key);
        auto back = telvor::openPacket(again.data(), again.size(), key);
        if (!back || back->size() != n || !std::equal(back->begin(), back->end(), m))
            std::abort();
        if (n < 2)
            return;
        const std::string code(reinterpret_cast<const char*>(m), 2);
        if (code == "WC") {
            forwarder.onCommand(std::string_view(reinterpret_cast<const char*>(m + 2), n - 2));
            limit = forwarder.packetSize();
        } else if (code == "MM") {
            forwarder.forward(m + 2, n - 2);
        }
    });
    reader.setKey(key);
    // In two reads, as a socket would deliver them.
    const std::size_t half = size / 2;
    reader.feed(data, half);
    reader.feed(data + half, size - half);
    if (reader.pending() > telvor::TPacketReader::kPendingSize)
        std::abort();
    forwarder.flush();

    const std::string text(reinterpret_cast<const char*>(data), size);
    if (auto password = telvor::decodeStoredPassword(text))
        if (telvor::decodeStoredPassword(telvor::encodeStoredPassword(*password)) != *password)
            std::abort();
    return 0;
}
