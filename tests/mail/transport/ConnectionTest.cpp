#include "mail/IdTCPClient.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

namespace {

using namespace veldrano::test;
using std::chrono::milliseconds;

// --- Lines ----------------------------------------------------------------------------------

TEST(ConnectionReadLine, EndsAtLfWithOrWithoutCrAndKeepsALoneCr) {
    ClientOnServer s;
    s.server.send("250 OK\r\n250 OK\nA\rB\r\n\r\n");
    s.connect();
    EXPECT_EQ(s.client.ReadLine(), "250 OK");
    EXPECT_EQ(s.client.ReadLine(), "250 OK");
    EXPECT_EQ(s.client.ReadLine(), "A\rB");
    EXPECT_EQ(s.client.ReadLine(), "");
}

TEST(ConnectionReadLine, LinesSplitAcrossManySendsAndReceives) {
    ClientOnServer s;
    s.server.sendSplit("first line\r\nsecond\r\n", 3, milliseconds(2));
    s.connect();
    s.client.SetRecvBufferSize(2);
    EXPECT_EQ(s.client.ReadLine(), "first line");
    EXPECT_EQ(s.client.ReadLine(), "second");
}

TEST(ConnectionReadLine, OtherTerminators) {
    ClientOnServer s;
    s.server.send("a||b\r\n");
    s.connect();
    EXPECT_EQ(s.client.ReadLine("||"), "a");
    EXPECT_EQ(s.client.ReadLine("\r\n"), "b");
}

struct LimitRow {
    const char* name;
    std::size_t length; // bytes before the terminator
    const char* ending;
    bool accepted;
};

// Test names show the row name rather than its bytes.
void PrintTo(const LimitRow& row, std::ostream* os) {
    *os << row.name;
}

class ConnectionLineLimit : public ::testing::TestWithParam<LimitRow> {};

TEST_P(ConnectionLineLimit, AcceptsUpTo16384BytesCountingTheCr) {
    const LimitRow& row = GetParam();
    ClientOnServer s;
    const std::string body(row.length, 'x');
    s.server.send(body + row.ending + "next\r\n");
    s.connect();
    if (row.accepted) {
        EXPECT_EQ(s.client.ReadLine(), body);
        EXPECT_EQ(s.client.ReadLine(), "next");
    } else {
        EXPECT_EQ(ErrorText<EIdReadLnMaxLineLengthExceeded>([&] { s.client.ReadLine(); }),
                  "Max line length exceeded.");
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, ConnectionLineLimit,
                         ::testing::Values(LimitRow{"Exactly16384Lf", 16384, "\n", true},
                                           LimitRow{"Over16385Lf", 16385, "\n", false},
                                           LimitRow{"Exactly16384CrLf", 16384, "\r\n", false},
                                           LimitRow{"Under16383CrLf", 16383, "\r\n", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectionLineLimit, TooManyBytesWithoutLfRaiseBeforeTheLfArrives) {
    ClientOnServer s;
    s.server.send(std::string(16385, 'x')); // the LF never comes
    s.connect();
    EXPECT_THROW(s.client.ReadLine(), EIdReadLnMaxLineLengthExceeded);
    EXPECT_EQ(s.client.PendingInput().Size(), 16385u); // nothing lost
}

TEST(ConnectionLineLimit, SplitReturnsPiecesOfTheLimit) {
    ClientOnServer s;
    s.server.send(std::string(10, 'a') + std::string(10, 'b') + "cc\r\nnext\n");
    s.connect();
    s.client.SetMaxLineAction(maSplit);
    s.client.SetMaxLineLength(10);
    EXPECT_EQ(s.client.ReadLine(), std::string(10, 'a'));
    EXPECT_EQ(s.client.ReadLine(), std::string(10, 'b'));
    EXPECT_EQ(s.client.ReadLine(), "cc");
    EXPECT_EQ(s.client.ReadLine(), "next");
}

TEST(ConnectionLineLimit, ZeroMeansNoLimit) {
    ClientOnServer s;
    const std::string big(100000, 'y');
    s.server.send(big + "\n");
    s.connect();
    s.client.SetMaxLineLength(0);
    EXPECT_EQ(s.client.ReadLine(), big);
}

// --- Closes and resets ----------------------------------------------------------------------

TEST(ConnectionClose, LineThenCloseGivesTheLineThenClosedGracefullyOnce) {
    ClientOnServer s;
    int disconnected = 0;
    s.client.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
    s.server.send("221 bye\r\n").close();
    s.connect();
    ASSERT_TRUE(s.server.finished());
    EXPECT_EQ(s.client.ReadLine(), "221 bye");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ErrorText<EIdConnClosedGracefully>([&] { s.client.ReadLine(); }),
                  "Connection Closed Gracefully.");
    }
    EXPECT_THROW(s.client.WriteLine("QUIT"), EIdConnClosedGracefully);
    EXPECT_FALSE(s.client.IsConnected());
    EXPECT_EQ(disconnected, 1);
    const std::vector<std::string> expected = {"Connecting to 127.0.0.1.", "Connected.",
                                               "Disconnected."};
    EXPECT_EQ(s.status.texts, expected);
}

TEST(ConnectionClose, HalfLineThenCloseGivesOneEmptyLineThenRaises) {
    ClientOnServer s;
    s.server.send("250 hal").close();
    s.connect();
    EXPECT_EQ(s.client.ReadLine(), "");
    EXPECT_EQ(s.client.PendingInput().View(), "250 hal");
    EXPECT_THROW(s.client.ReadLine(), EIdConnClosedGracefully);
}

TEST(ConnectionClose, ReadBytesTakesExactCountsAndRaisesWhenTheRestIsMissing) {
    ClientOnServer s;
    s.server.sendSplit("0123456789", 4).close();
    s.connect();
    EXPECT_EQ(s.client.ReadBytes(3), "012");
    EXPECT_EQ(s.client.ReadBytes(6), "345678");
    EXPECT_THROW(s.client.ReadBytes(2), EIdConnClosedGracefully);
    EXPECT_EQ(s.client.PendingInput().View(), "9");
}

TEST(ConnectionClose, ResetBeforeSendRaises10054AndDropsTheSocket) {
    ClientOnServer s;
    s.connect();
    s.server.reset(); // queued after the connect, which a reset would otherwise race
    ASSERT_TRUE(s.server.finished());
    // The reset makes the socket readable once it has arrived; under load that can lag.
    ASSERT_TRUE(s.client.IOHandler()->WaitReadable(2000));
    const auto e = Thrown<EIdSocketError>([&] { s.client.WriteLine("NOOP"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), 10054);
    EXPECT_STREQ(e->what(), "Socket Error # 10054\r\nConnection reset by peer.");
    EXPECT_FALSE(s.client.IsConnected());
}

TEST(ConnectionClose, SendingAfterThePeerClosedEndsIn10058) {
    ClientOnServer s;
    s.server.close();
    s.connect();
    ASSERT_TRUE(s.server.finished());
    // The first line still leaves; the closed peer answers it with a reset.
    int code = 0;
    for (int i = 0; i < 20 && code == 0; ++i) {
        try {
            s.client.WriteLine("NOOP");
            std::this_thread::sleep_for(milliseconds(10));
        } catch (const EIdSocketError& e) {
            code = e.SocketErrorCode();
        }
    }
    EXPECT_EQ(code, 10058);
    EXPECT_FALSE(s.client.IsConnected());
}

TEST(ConnectionClose, ResetWhileReadingRaisesASocketError) {
    ClientOnServer s;
    s.connect();
    s.server.pause(milliseconds(50)).reset();
    const auto e = Thrown<EIdSocketError>([&] { s.client.ReadLine(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), 10054);
}

struct SendFailureRow {
    const char* name;
    int error;
    bool drops;
};

// Test names show the row name rather than its bytes.
void PrintTo(const SendFailureRow& row, std::ostream* os) {
    *os << row.name;
}

class ConnectionSendFailure : public ::testing::TestWithParam<SendFailureRow> {};

TEST_P(ConnectionSendFailure, ClosesOnlyForAbortResetAndShutdown) {
    const SendFailureRow& row = GetParam();
    TIdTCPConnection connection;
    ScriptedIOHandler handler;
    connection.SetIOHandler(&handler);
    handler.sendResult = -1;
    handler.sendError = row.error;
    const auto e = Thrown<EIdSocketError>([&] { connection.WriteLine("MAIL FROM:<a@b>"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), row.error);
    EXPECT_EQ(handler.open, !row.drops);
}

INSTANTIATE_TEST_SUITE_P(Errors, ConnectionSendFailure,
                         ::testing::Values(SendFailureRow{"Aborted", 10053, true},
                                           SendFailureRow{"Reset", 10054, true},
                                           SendFailureRow{"Shutdown", 10058, true},
                                           SendFailureRow{"NoBuffers", 10055, false},
                                           SendFailureRow{"TimedOut", 10060, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectionWrite, PartialSendsAreCompletedAndCountedAsWork) {
    TIdTCPConnection connection;
    ScriptedIOHandler handler;
    connection.SetIOHandler(&handler);
    handler.sendResult = 3; // the transport takes three bytes at a time
    std::vector<std::int64_t> counts;
    connection.OnWork = [&](TIdComponent&, TWorkMode, std::int64_t n) { counts.push_back(n); };
    connection.BeginWork(wmWrite);
    connection.WriteLine("HELO x");
    connection.EndWork(wmWrite);
    EXPECT_EQ(handler.sent, "HELO x\r\n");
    EXPECT_EQ(counts, (std::vector<std::int64_t>{3, 6, 8}));
}

TEST(ConnectionWrite, LinesWithCrOrLfAreNeverSent) {
    ClientOnServer s;
    s.server.expect("RSET\r\n").expect("one\r\ntwo\r\n").expectClosed();
    s.connect();
    s.client.WriteLine("RSET");
    for (const char* bad : {"RCPT TO:<a@b>\r\nDATA", "x\ny", "x\r"}) {
        EXPECT_EQ(ErrorText<EIdUnsafeLine>([&] { s.client.WriteLine(bad); }),
                  "Line not sent: it contains a CR or LF character.");
    }
    EXPECT_THROW(s.client.SendCommand("NOOP\r\nQUIT"), EIdUnsafeLine);
    EXPECT_THROW(s.client.WriteLines({"one", "bad\n", "two"}), EIdUnsafeLine);
    s.client.WriteLine("two");
    s.client.CloseConnection();
    EXPECT_TRUE(s.server.finished());
    EXPECT_EQ(s.server.received(), "RSET\r\none\r\ntwo\r\n");
}

TEST(ConnectionWrite, EmptyTextSendsNothingAndChecksNothing) {
    TIdTCPConnection never;
    never.WriteText(""); // no connection, yet no error
    never.WriteBytes(nullptr, 0);
    EXPECT_EQ(ErrorText<EIdNotConnected>([&] { never.WriteText("x"); }), "Not Connected");
    EXPECT_THROW(never.ReadLine(), EIdNotConnected);
}

// --- Time-outs ------------------------------------------------------------------------------

TEST(ConnectionTimeout, ReadTimeoutRaisesAndKeepsBufferedBytes) {
    ClientOnServer s;
    s.server.send("partial");
    s.connect();
    s.client.SetReadTimeout(100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorText<EIdReadTimeout>([&] { s.client.ReadLine(); }), "Read Timeout");
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(90));
    s.server.send(" line\r\n");
    EXPECT_EQ(s.client.ReadLine(), "partial line");
}

TEST(ConnectionTimeout, AnExplicitTimeoutWaitsAgainUntilDataComes) {
    ClientOnServer s;
    s.server.pause(milliseconds(150)).send("late\r\n");
    s.connect();
    EXPECT_EQ(s.client.ReadLine("\n", 20), "late"); // repeats the 20 ms wait, never raises
    EXPECT_EQ(s.client.FillInputBuffer(false, 20, false), -1);
}

// --- Connecting and closing -----------------------------------------------------------------

TEST(ConnectionConnect, ConnectWhileConnectedRaisesAndKeepsTheConnection) {
    ClientOnServer s;
    s.server.expect("still here\r\n");
    s.connect();
    EXPECT_EQ(ErrorText<EIdAlreadyConnected>([&] { s.client.ConnectToHost(); }),
              "Already connected.");
    EXPECT_TRUE(s.client.IsConnected());
    s.client.WriteLine("still here");
    EXPECT_TRUE(s.server.finished());
    EXPECT_EQ(s.server.connections(), 1);
}

TEST(ConnectionConnect, AFailedConnectLeavesTheClientReadyForTheNextOne) {
    ClientOnServer s;
    s.server.send("220 hello\r\n");
    UnusedPort unused;
    s.client.SetPort(unused.port());
    EXPECT_THROW(s.client.ConnectToHost(), EIdSocketError);
    TIdIOHandler* first = s.client.IOHandler();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(s.client.IsConnected());

    s.client.SetHost("no-such-host.invalid");
    EXPECT_THROW(s.client.ConnectToHost(), EIdSocketError);

    s.client.SetHost("localhost");
    s.client.SetPort(s.server.port());
    s.client.ConnectToHost();
    EXPECT_EQ(s.client.IOHandler(), first); // the same handler, given a new socket
    EXPECT_EQ(s.client.ReadLine(), "220 hello");
}

TEST(ConnectionConnect, StatusEventsOfAWholeSession) {
    ClientOnServer s;
    int connected = 0;
    int disconnected = 0;
    s.client.OnConnected = [&](TIdTCPClient&) { ++connected; };
    s.client.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
    s.server.expectClosed();
    s.client.SetHost("LocalHost");
    s.connect();
    EXPECT_EQ(connected, 1);
    s.client.CloseConnection();
    EXPECT_EQ(s.client.IOHandler(), nullptr); // the handler it made is freed
    EXPECT_EQ(disconnected, 1);
    EXPECT_TRUE(s.server.finished());
    const std::vector<std::string> expected = {"Connecting to 127.0.0.1.", "Connected.",
                                               "Disconnecting.", "Disconnected."};
    EXPECT_EQ(s.status.texts, expected); // no lookup for localhost, no "Resolving"

    s.status.texts.clear();
    s.server.send("again\r\n");
    s.connect();
    EXPECT_EQ(s.client.ReadLine(), "again");
    EXPECT_EQ(s.server.connections(), 2);
}

TEST(ConnectionConnect, CloseWithoutConnectionReportsAndRaisesNothing) {
    StatusLog status;
    TIdTCPClient client;
    client.OnStatus = status.handler();
    client.CloseConnection();
    EXPECT_EQ(status.texts, (std::vector<std::string>{"Disconnecting.", "Disconnected."}));
    EXPECT_FALSE(client.IsConnected());
}

TEST(ConnectionConnect, BorrowedHandlerIsForgottenWhenItGoes) {
    TIdTCPConnection connection;
    {
        ScriptedIOHandler handler;
        connection.SetIOHandler(&handler);
        EXPECT_TRUE(connection.IsConnected());
    }
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_FALSE(connection.IsConnected());
}

} // namespace
