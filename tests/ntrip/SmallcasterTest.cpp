// Both ends against a caster of the test's own, for what str2str does not speak: NTRIP 2.0's
// chunked stream and GGA upstream, and a base's SOURCE and POST logins.
#include "ntrip/Basefeed.h"
#include "ntrip/Ntripclient.h"
#include "tests/ntrip/Netpeers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace telvor::testing {
namespace {

// Reads from `fd` until `text` ends with `end` or the peer goes.
std::string readUntil(int fd, const std::string& end, std::string text = {}) {
    char c;
    while (text.size() < end.size() || text.compare(text.size() - end.size(), end.size(), end))
        if (::recv(fd, &c, 1, 0) != 1)
            break;
        else
            text += c;
    return text;
}

int acceptOne(const TListener& l) {
    return ::accept(l.fd, nullptr, nullptr);
}

void sendText(int fd, const std::string& text) {
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

// The data of a chunked body, decoded here without the product's decoder.
std::string dechunk(const std::string& wire) {
    std::string data;
    for (std::size_t at = 0; at < wire.size();) {
        const std::size_t eol = wire.find("\r\n", at);
        if (eol == std::string::npos)
            break;
        const std::size_t n = std::stoul(wire.substr(at, eol - at), nullptr, 16);
        data += wire.substr(eol + 2, n);
        at = eol + 2 + n + 2;
    }
    return data;
}

TEST(NtripSmallCaster, ChunkedStreamIsDecodedAcrossReconnectsAndGgaGoesUp) {
    TListener caster;
    const std::string part1 = someBytes(3000, 4), part2 = someBytes(5000, 5);
    std::string request, gga;
    std::thread server([&] {
        for (const std::string* part : {&part1, &part2}) {
            const int fd = acceptOne(caster);
            request = readUntil(fd, "\r\n\r\n");
            sendText(fd, "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\n"
                         "Transfer-Encoding: chunked\r\n\r\n");
            gga = readUntil(fd, "\r\n");
            for (std::size_t at = 0; at < part->size(); at += 700) {
                const std::string piece = part->substr(at, 700);
                char size[16];
                std::snprintf(size, sizeof size, "%zX;x=y\r\n", piece.size());
                sendText(fd, size + piece + "\r\n");
            }
            ::close(fd); // a drop without the closing chunk
        }
    });
    std::mutex lock;
    std::string got;
    TNtripClientConfig config;
    config.login = {{"127.0.0.1", caster.port}, "MNT", "user", "pw", 2};
    config.ggaSeconds = 1;
    config.gga = [] { return std::string("$GPGGA,test*00\r\n"); };
    config.minBackoffMs = 50;
    TNtripClient client(config, [&](const std::uint8_t* b, std::size_t n) {
        std::lock_guard guard(lock);
        got.append(reinterpret_cast<const char*>(b), n);
        return std::string();
    });
    client.start();
    server.join();
    ASSERT_TRUE(eventually([&] { return client.status().bytes >= 8000; }, 20000));
    client.stop();
    std::lock_guard guard(lock);
    EXPECT_TRUE(got == part1 + part2);
    EXPECT_EQ(client.status().connections, 2);
    EXPECT_NE(request.find("Authorization: Basic dXNlcjpwdw==\r\n"), std::string::npos);
    EXPECT_EQ(gga, "$GPGGA,test*00\r\n");
}

TEST(NtripSmallCaster, BaseFeedLogsInAsSourceAndAsPost) {
    for (TFeedMode mode : {TFeedMode::Source1, TFeedMode::Post2}) {
        TListener caster;
        TPty base;
        const std::string corrections = someBytes(4000, 6);
        std::string request, body;
        std::thread server([&] {
            const int fd = acceptOne(caster);
            request = readUntil(fd, "\r\n\r\n");
            sendText(fd, mode == TFeedMode::Source1 ? "ICY 200 OK\r\n" : "HTTP/1.1 200 OK\r\n\r\n");
            std::string wire;
            char buffer[4096];
            while (mode == TFeedMode::Source1 ? wire.size() < corrections.size()
                                              : dechunk(wire).size() < corrections.size()) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                wire.append(buffer, static_cast<std::size_t>(n));
            }
            body = mode == TFeedMode::Source1 ? wire : dechunk(wire);
            ::close(fd);
        });
        std::string error;
        auto input = openCorrInput(base.slave, error);
        ASSERT_TRUE(input) << error;
        TBaseFeedConfig config;
        config.login = {{"127.0.0.1", caster.port}, "BASE", "u", "pw", 0};
        config.mode = mode;
        TBaseFeed feed(config, std::move(input));
        feed.start();
        ASSERT_TRUE(eventually([&] { return feed.status().connected; }, 20000));
        for (std::size_t at = 0; at < corrections.size(); at += 500)
            base.write(corrections.substr(at, 500));
        server.join();
        EXPECT_TRUE(body == corrections);
        if (mode == TFeedMode::Source1) {
            EXPECT_EQ(request.substr(0, 18), "SOURCE pw /BASE\r\nS");
        } else {
            EXPECT_EQ(request.substr(0, 22), "POST /BASE HTTP/1.1\r\nH");
            EXPECT_NE(request.find("Authorization: Basic dTpwdw==\r\n"), std::string::npos);
        }
    }
}

TEST(NtripSmallCaster, RefusedSourceIsReportedAndRetried) {
    TListener caster;
    TPty base;
    std::atomic<int> logins{0};
    std::thread server([&] {
        for (int i = 0; i < 2; ++i) {
            const int fd = acceptOne(caster);
            readUntil(fd, "\r\n\r\n");
            sendText(fd, "ERROR - Bad Password\r\n");
            ++logins;
            ::close(fd);
        }
    });
    std::string error;
    TBaseFeedConfig config;
    config.login = {{"127.0.0.1", caster.port}, "BASE", "", "bad", 0};
    config.minBackoffMs = 50;
    TBaseFeed feed(config, openCorrInput(base.slave, error));
    feed.start();
    server.join();
    EXPECT_TRUE(eventually([&] {
        return feed.status().lastError == "Caster refused the source: ERROR - Bad Password";
    }));
    EXPECT_FALSE(feed.status().connected);
    EXPECT_EQ(logins, 2);
}

} // namespace
} // namespace telvor::testing
