// The Ethernet link against a local listener.
#include "links/Tcpasyncconn.h"
#include "support/Peers.h"

#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

namespace telvor::testing {
namespace {

class EthernetLink : public TLinkFixture {
protected:
    CTCPAsyncConnection* connect(const std::string& host, std::uint16_t port) {
        TLinkSettings s;
        s.ethrHost = host;
        s.ethrPort = std::to_string(port);
        EXPECT_EQ(CreateReceiverConnection("ETHR", s), "");
        auto* link = static_cast<CTCPAsyncConnection*>(CurrentConnection);
        TEvent done;
        EXPECT_TRUE(link->StartConnect(&done));
        EXPECT_TRUE(done.Wait(10000));
        return link;
    }
};

TEST_F(EthernetLink, RecognisesDottedAddresses) {
    EXPECT_TRUE(CTCPAsyncConnection::IsDottedAddress("127.0.0.1"));
    EXPECT_TRUE(CTCPAsyncConnection::IsDottedAddress("255.255.255.255"));
    EXPECT_FALSE(CTCPAsyncConnection::IsDottedAddress("10.0.1"));     // two dots: a name
    EXPECT_FALSE(CTCPAsyncConnection::IsDottedAddress("1.2.3.256"));  // above 255
    EXPECT_FALSE(CTCPAsyncConnection::IsDottedAddress("1.2.3.0001")); // four digits
    EXPECT_FALSE(CTCPAsyncConnection::IsDottedAddress("1..2.3"));
    EXPECT_FALSE(CTCPAsyncConnection::IsDottedAddress("a.b.c.d"));
}

TEST_F(EthernetLink, ConnectsPassesBytesBothWaysAndStaysClosedAfterThePeerLeft) {
    TListener listener;
    auto* link = connect("127.0.0.1", listener.port());
    const int peer = listener.accept(5000);
    ASSERT_GE(peer, 0);
    ASSERT_EQ(link->ErrorText(), "");
    EXPECT_TRUE(link->IsConnected());
    EXPECT_TRUE(link->ThreadStarted());
    EXPECT_EQ(link->LinkState(), CTCPAsyncConnection::kConnected);
    EXPECT_EQ(link->PeerPort(), listener.port());
    EXPECT_EQ(link->Description(), "TCP 127.0.0.1");
    // 127.0.0.1 holds a zero byte, so no bracketed address.
    const std::string peerText = link->PeerDescription();
    EXPECT_EQ(peerText.rfind("TCP ", 0), 0u);
    EXPECT_EQ(peerText.find('['), std::string::npos) << peerText;
    EXPECT_EQ(peerText.substr(peerText.size() - 6), ":" + std::to_string(listener.port()));

    // A second attempt on a connected link ends with its error.
    TEvent again;
    ASSERT_TRUE(link->StartConnect(&again));
    ASSERT_TRUE(again.Wait(5000));
    EXPECT_EQ(link->ErrorText(), "Error: The Socket already is bound to server");
    link->ClearErrorText();

    const std::string reply = makeReply(std::string(250, 'v')); // more than one receive
    ASSERT_EQ(::send(peer, reply.data(), reply.size(), 0), static_cast<ssize_t>(reply.size()));
    ASSERT_TRUE(until([&] { return link->Input.Fill() == static_cast<int>(reply.size()); }));
    ASSERT_TRUE(link->SendCommand("dm"));
    char got[16] = {};
    ASSERT_EQ(::recv(peer, got, sizeof got, 0), 7);
    EXPECT_EQ(std::string(got, 7).substr(0, 3), "dm@");

    ::close(peer);
    ASSERT_TRUE(until([&] { return !link->IsConnected(); }));
    EXPECT_EQ(link->Write(reinterpret_cast<const std::uint8_t*>("dm\r\n"), 4), 0);
}

TEST_F(EthernetLink, ConnectionFailuresLeaveTheirText) {
    std::uint16_t closedPort;
    {
        TListener gone;
        closedPort = gone.port();
    }
    auto* link = connect("127.0.0.1", closedPort);
    // The Part's text, then which failure it was.
    EXPECT_EQ(link->ErrorText(), "Error: Connecting to the server failed\nConnection refused "
                                 "(127.0.0.1:" +
                                     std::to_string(closedPort) + ")");
    EXPECT_FALSE(link->IsConnected());
    EXPECT_FALSE(link->ThreadStarted());

    link = connect(std::string(300, 'h'), 8002); // longer than any host name
    EXPECT_EQ(link->ErrorText(), "Error: Unable to get the host name");
    link = connect("telvor-no-such-host.invalid", 8002);
    EXPECT_EQ(link->ErrorText().rfind("Error: Unable to get the host name\nUnknown host "
                                      "\"telvor-no-such-host.invalid\"",
                                      0),
              0u)
        << link->ErrorText();
    link = connect("127.0.0.1", 0);
    EXPECT_EQ(link->ErrorText(),
              "Error: Connecting to the server failed\nInvalid port (127.0.0.1:0)");
}

TEST_F(EthernetLink, ClosingAWaitingLinkAlwaysReturns) {
    TListener listener;
    for (int i = 0; i < 200; ++i) {
        auto* link = connect("127.0.0.1", listener.port());
        const int peer = listener.accept(5000);
        ASSERT_GE(peer, 0) << "round " << i;
        ASSERT_TRUE(link->IsConnected());
        if (i % 20 == 0)
            (void)!::send(peer, "RE002ok", 7, 0);
        CloseReceiverConnection();
        ::close(peer);
    }
}

} // namespace
} // namespace telvor::testing
