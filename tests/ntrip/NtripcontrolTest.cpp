// The NTRIP window's rules without a display: its checks, the settings it keeps (never the
// password in clear), and a run against a caster of the test's own.
#include "ntrip/Ntripcontrol.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"
#include "tests/ntrip/Netpeers.h"

#include <gtest/gtest.h>

#include <thread>

namespace telvor::testing {
namespace {

TEST(NtripControl, FieldsAreCheckedAndKeptWithoutTheClearPassword) {
    TNtripFields f{"caster.example:2101", "MNT", "user", "pa55word", "/dev/ttyUSB1", 1, 10};
    EXPECT_EQ(TNtripControl::check(f), "");
    for (auto spoil : std::initializer_list<void (*)(TNtripFields&)>{
             [](TNtripFields& x) { x.caster = "host:0"; }, [](TNtripFields& x) { x.mount = ""; },
             [](TNtripFields& x) { x.destination = ""; }, [](TNtripFields& x) { x.version = 3; }}) {
        TNtripFields bad = f;
        spoil(bad);
        EXPECT_NE(TNtripControl::check(bad), "");
    }

    TTempDir dir("ntrip");
    const std::string ini = (dir / "telvor.ini").string();
    {
        TProfile p(ini);
        TNtripControl::save(p, f);
    }
    EXPECT_EQ(fileText(ini).find("pa55word"), std::string::npos);
    TProfile p(ini);
    const TNtripFields back = TNtripControl::load(p);
    EXPECT_EQ(back.password, "pa55word");
    EXPECT_EQ(back.caster, f.caster);
    EXPECT_EQ(back.version, 1);
    EXPECT_EQ(back.ggaSeconds, 10);
}

TEST(NtripControl, StatusFollowsTheStreamAndARefusalShowsTheSourcetable) {
    TListener caster, rover;
    const std::string data = someBytes(2500, 7);
    std::thread server([&] {
        int fd = ::accept(caster.fd, nullptr, nullptr);
        char c;
        for (std::string head;
             head.find("\r\n\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1;)
            head += c;
        const std::string reply = "ICY 200 OK\r\n" + data;
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        // Kept open: the stream goes on, only the data stops.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(fd);
    });
    TNtripControl control;
    TNtripFields f{"127.0.0.1:" + std::to_string(caster.port), "MNT", "u", "p",
                   "127.0.0.1:" + std::to_string(rover.port),  1,     0};
    ASSERT_EQ(control.start(f), "");
    const int roverFd = ::accept(rover.fd, nullptr, nullptr);
    std::string got;
    char buffer[4096];
    while (got.size() < data.size()) {
        const ssize_t n = ::recv(roverFd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    server.join();
    EXPECT_TRUE(got == data);
    auto lines = control.statusLines();
    EXPECT_TRUE(eventually([&] {
        lines = control.statusLines();
        return lines.size() >= 4 && lines[1] == "Bytes: 2500";
    })) << lines[0];
    EXPECT_EQ(lines[3].substr(0, 5), "Age: ");
    EXPECT_NE(lines[3], "Age: -");
    control.stop();
    ::close(roverFd);

    std::thread refusal([&] {
        int fd = ::accept(caster.fd, nullptr, nullptr);
        char c;
        for (std::string head;
             head.find("\r\n\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1;)
            head += c;
        const std::string table =
            "STR;NEAR;x;RTCM 3;;2;GPS;N;CZE;50.1;14.4;1\r\nENDSOURCETABLE\r\n";
        const std::string reply =
            "SOURCETABLE 200 OK\r\nContent-Length: " + std::to_string(table.size()) + "\r\n\r\n" +
            table;
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(fd);
    });
    control.setPosition(50.0875, 14.4213, 245);
    f.mount = "OTHER";
    ASSERT_EQ(control.start(f), "");
    refusal.join();
    EXPECT_TRUE(eventually([&] { return control.sourcetableRows().size() == 1; }));
    const auto rows = control.sourcetableRows();
    EXPECT_EQ(rows[0][0], "NEAR");
    EXPECT_EQ(rows[0][3].substr(rows[0][3].size() - 3), " km");
    EXPECT_EQ(control.statusLines().back(), "Error: mountpoint not found");
}

} // namespace
} // namespace telvor::testing
