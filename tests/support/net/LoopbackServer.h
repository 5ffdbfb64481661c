#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veldrano::test {

// A scripted TCP peer on 127.0.0.1 for protocol tests. Steps are queued with the calls below
// and run in order on the server's own thread as soon as they are queued, so a test scripts
// the dialogue first and then drives the client:
//
//     LoopbackServer server;
//     server.send("220 ready\r\n").expect("EHLO host\r\n").send("250 ok\r\n");
//     client.SetPort(server.port()); ...
//     EXPECT_TRUE(server.finished());
//
// A step that needs a connection accepts the next client first. When a step fails (the
// client sent other bytes, or nothing in time), the server records the failure with the
// transcript, closes the connection and skips the rest; finished() reports it, and the
// destructor adds it to the running test if nobody asked.
class LoopbackServer {
  public:
    using Ms = std::chrono::milliseconds;
    static constexpr Ms DefaultTimeout{5000};

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return m_port; }
    static std::string host() { return "127.0.0.1"; }

    // Waits for the next client (the first step that needs one does this by itself).
    LoopbackServer& accept(Ms timeout = DefaultTimeout);
    // Sends the bytes in one write.
    LoopbackServer& send(std::string bytes);
    // Sends the bytes in pieces of pieceSize, pausing gap between them.
    LoopbackServer& sendSplit(std::string bytes, std::size_t pieceSize, Ms gap = Ms(5));
    LoopbackServer& pause(Ms duration);
    // The next bytes the client sends must be exactly these.
    LoopbackServer& expect(std::string bytes, Ms timeout = DefaultTimeout);
    // The next line the client sends (through CR LF) must match the ECMAScript pattern, for
    // lines whose exact text the test cannot know (a host name, a date).
    LoopbackServer& expectLineMatching(std::string pattern, Ms timeout = DefaultTimeout);
    // The client must close its side; whatever it sent first is recorded.
    LoopbackServer& expectClosed(Ms timeout = DefaultTimeout);
    // Records what the client sends during the given time.
    LoopbackServer& drain(Ms duration);
    // Orderly close of the current connection.
    LoopbackServer& close();
    // Abortive close: the client sees a reset (SO_LINGER 0).
    LoopbackServer& reset();
    // Runs an arbitrary action on the server thread (for signalling the test).
    LoopbackServer& call(std::function<void()> action);

    // Waits until every queued step has run; fails with the step and the transcript.
    ::testing::AssertionResult finished(Ms timeout = DefaultTimeout);
    // Everything received from clients, all connections in order.
    std::string received() const;
    // "S: ..." and "C: ..." lines with CR, LF and other controls escaped.
    std::string transcript() const;
    int connections() const;

  private:
    struct Step {
        std::string name;
        std::function<bool()> run; // false: failed (m_failure says why)
    };

    LoopbackServer& queue(std::string name, std::function<bool()> run);
    void worker();
    bool ensureConnected(Ms timeout);
    bool acceptClient(Ms timeout);
    // Waits until fd is readable or the deadline; false on time-out or stop.
    bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline);
    // Reads once from the client into m_unread; 0 on close, -1 on error.
    long readSome();
    bool sendAll(const std::string& bytes);
    void closeClient(bool abortive);
    void record(char who, const std::string& bytes);
    bool fail(const std::string& why);

    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::uint16_t m_port = 0;
    int m_clientFd = -1;
    std::string m_unread; // received but not yet matched by expect

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Step> m_steps;
    bool m_busy = false;
    bool m_stop = false;
    std::string m_stepError; // why the running step failed
    std::string m_failure;   // the first failure, with its step
    bool m_failureReported = false;
    std::string m_received;
    std::vector<std::pair<char, std::string>> m_transcript;
    int m_connections = 0;
    std::thread m_thread;
};

// A TCP socket bound to 127.0.0.1 on a port the system picks (its number in port), listening
// with the given backlog, or bound only when backlog is negative. Every test peer on this
// machine starts here. Throws std::runtime_error.
int BindLoopbackSocket(int backlog, std::uint16_t& port);

// Bytes with CR, LF, TAB and other controls written as escapes, for failure messages.
std::string EscapeBytes(const std::string& bytes);

} // namespace veldrano::test
