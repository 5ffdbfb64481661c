#include "mail/IdIOHandler.h"
#include "mail/IdTCPClient.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace veldrano::test;
using Clock = std::chrono::steady_clock;

long long ElapsedMs(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(SocketConnect, NothingListeningIsRefusedWith10061) {
    UnusedPort unused;
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(unused.port());
    const auto e = Thrown<EIdSocketError>([&] { client.ConnectToHost(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), 10061);
    EXPECT_STREQ(e->what(), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_FALSE(client.IsConnected());
}

TEST(SocketConnect, UnknownHostRaises11001AfterTheResolvingStatus) {
    StatusLog status;
    TIdTCPClient client;
    client.OnStatus = status.handler();
    client.SetHost("no-such-host.invalid");
    client.SetPort(25);
    EXPECT_EQ(ErrorText<EIdSocketError>([&] { client.ConnectToHost(); }),
              "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(status.texts, std::vector<std::string>{"Resolving hostname no-such-host.invalid."});
}

// A listener on 127.0.0.1 whose accept queue is full: Linux drops further SYNs, so a
// connect to it hangs as to a host that does not answer.
class FullBacklogListener {
  public:
    FullBacklogListener() {
        std::uint16_t port = 0;
        m_listen = BindLoopbackSocket(0, port);
        m_port = port;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        // Connect until one no longer completes: from then on the queue is full.
        for (int i = 0; i < 16 && !m_full; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            m_fillers.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            pollfd p{fd, POLLOUT, 0};
            m_full = ::poll(&p, 1, 200) == 0;
        }
    }
    ~FullBacklogListener() {
        for (int fd : m_fillers)
            ::close(fd);
        ::close(m_listen);
    }
    bool full() const { return m_full; }
    int port() const { return m_port; }

  private:
    int m_listen = -1;
    int m_port = 0;
    bool m_full = false;
    std::vector<int> m_fillers;
};

TEST(SocketConnect, ConnectWithTimeoutGivesUpInAboutTheRequestedTime) {
    FullBacklogListener listener;
    ASSERT_TRUE(listener.full()) << "could not fill the accept queue";
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(listener.port());

    const auto start = Clock::now();
    EXPECT_EQ(ErrorText<EIdConnectTimeout>([&] { client.ConnectToHost(300); }),
              "Connect timed out.");
    const long long ms = ElapsedMs(start);
    EXPECT_GE(ms, 290);
    EXPECT_LT(ms, 1000);
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(client.IOHandler());
    ASSERT_NE(handler, nullptr);
    EXPECT_FALSE(handler->SocketHandle()->HasSocket()); // closed from outside
    EXPECT_FALSE(client.IsConnected());
}

TEST(SocketConnect, ConnectWithTimeoutThatSucceedsOrFailsReportsWithoutWaitingTheTime) {
    ClientOnServer s;
    s.server.send("hi\r\n");
    const auto start = Clock::now();
    s.client.ConnectToHost(5000);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(s.client.ReadLine(), "hi");

    UnusedPort unused;
    TIdTCPClient refused;
    refused.SetHost("127.0.0.1");
    refused.SetPort(unused.port());
    EXPECT_EQ(ErrorText<EIdConnectException>([&] { refused.ConnectToHost(5000); }),
              "Socket Error # 10061\r\nConnection refused.");
}

TEST(SocketHandle, WaitReadablePollsAndWaits) {
    ClientOnServer s;
    s.connect();
    auto* handler = s.client.IOHandler();
    const auto start = Clock::now();
    EXPECT_FALSE(handler->WaitReadable(0));
    EXPECT_FALSE(handler->WaitReadable(150));
    EXPECT_GE(ElapsedMs(start), 140);

    s.server.pause(std::chrono::milliseconds(100)).send("x");
    EXPECT_TRUE(handler->WaitReadable(-2)); // no limit: returns when the byte comes
    handler->CloseHandler();
    EXPECT_THROW(handler->WaitReadable(0), EIdConnClosedGracefully);

    TIdSocketHandle stale; // a socket number nothing has open: the wait fails quietly
    stale.AdoptSocket(1 << 20);
    EXPECT_FALSE(stale.WaitReadable(-2));
}

TEST(SocketHandle, AWaitSetHoldsAtMost64Sockets) {
    TIdComponent keepStack;
    std::vector<TIdStackSocketHandle> set(65, 0);
    EXPECT_EQ(ErrorText<EIdStackSetSizeExceeded>(
                  [&] { TIdComponent::Stack().WSSelect(&set, nullptr, nullptr, 0); }),
              "Set Size Exceeded.");
}

TEST(SocketHandle, SendAndReceiveWithoutSocketRaiseDisconnected) {
    TIdIOHandlerSocket handler;
    char byte = 0;
    EXPECT_EQ(ErrorText<EIdClosedSocket>([&] { handler.Send(&byte, 1); }), "Disconnected.");
    EXPECT_THROW(handler.Receive(&byte, 1), EIdClosedSocket);
}

TEST(SocketHandle, BindsToAFreePortOfTheRangeFromTheTopDown) {
    TIdComponent keepStack;
    UnusedPort taken; // the top of the range is in use, so a lower port must be chosen
    TIdSocketHandle handle;
    handle.OpenSocket(Id_SOCK_STREAM, 0);
    handle.SetIP("127.0.0.1");
    handle.SetClientPortMin(taken.port() - 20);
    handle.SetClientPortMax(taken.port());
    handle.BindLocal();
    EXPECT_LT(handle.Port(), taken.port());
    EXPECT_GE(handle.Port(), taken.port() - 20);
    EXPECT_EQ(handle.IP(), "127.0.0.1");

    TIdSocketHandle exhausted;
    exhausted.OpenSocket(Id_SOCK_STREAM, 0);
    exhausted.SetIP("127.0.0.1");
    exhausted.SetClientPortMin(taken.port());
    exhausted.SetClientPortMax(taken.port());
    const std::string port = std::to_string(taken.port());
    EXPECT_EQ(ErrorText<EIdCanNotBindPortInRange>([&] { exhausted.BindLocal(); }),
              "Can not bind in port range (" + port + " - " + port + ")");
}

TEST(SocketHandle, ReversedRangeAndTakenPortAreRefused) {
    TIdComponent keepStack;
    TIdSocketHandle handle;
    handle.OpenSocket(Id_SOCK_STREAM, 0);
    handle.SetClientPortMin(40010);
    handle.SetClientPortMax(40000);
    EXPECT_EQ(ErrorText<EIdInvalidPortRange>([&] { handle.BindLocal(); }),
              "Invalid Port Range (40010 - 40000)");

    UnusedPort taken;
    handle.SetIP("127.0.0.1");
    handle.SetPort(taken.port());
    EXPECT_EQ(ErrorText<EIdCouldNotBindSocket>([&] { handle.BindLocal(); }),
              "Could not bind socket. Address and port are already in use.");
}

TEST(SocketHandle, ConnectReadsBothEndpointsBack) {
    ClientOnServer s;
    s.connect();
    auto* handle = dynamic_cast<TIdIOHandlerSocket*>(s.client.IOHandler())->SocketHandle();
    EXPECT_EQ(handle->RemoteIP(), "127.0.0.1");
    EXPECT_EQ(handle->RemotePort(), s.server.port());
    EXPECT_EQ(handle->IP(), "127.0.0.1");
    EXPECT_NE(handle->Port(), 0);
}

} // namespace
