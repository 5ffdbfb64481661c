#include "tests/support/net/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veldrano::test {

using Clock = std::chrono::steady_clock;

std::string EscapeBytes(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 32 || c == 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

int BindLoopbackSocket(int backlog, std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0; // a free port the system picks
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        (backlog >= 0 && ::listen(fd, backlog) < 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0) {
        const std::string why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot bind a test socket on 127.0.0.1: " + why);
    }
    port = ntohs(addr.sin_port);
    return fd;
}

LoopbackServer::LoopbackServer() {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        throw std::runtime_error("LoopbackServer: cannot make its wake-up descriptor");
    m_listenFd = BindLoopbackSocket(8, m_port);
    m_thread = std::thread([this] { worker(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
    m_changed.notify_all();
    m_thread.join();
    closeClient(false);
    ::close(m_listenFd);
    ::close(m_wakeFd);
    if (!m_failure.empty() && !m_failureReported)
        ADD_FAILURE() << m_failure;
}

LoopbackServer& LoopbackServer::queue(std::string name, std::function<bool()> run) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_steps.push_back(Step{std::move(name), std::move(run)});
    }
    m_changed.notify_all();
    return *this;
}

void LoopbackServer::worker() {
    for (;;) {
        Step step;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || !m_steps.empty(); });
            if (m_stop)
                return;
            step = std::move(m_steps.front());
            m_steps.pop_front();
            m_busy = true;
        }
        const bool ok = step.run();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_busy = false;
        if (!ok) {
            if (!m_stepError.empty())
                m_failure = "scripted server failed at step " + step.name + ": " + m_stepError;
            m_steps.clear();
        }
        m_changed.notify_all();
        if (!ok)
            break;
    }
    closeClient(false);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stop; });
}

bool LoopbackServer::fail(const std::string& why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop)
        return false;
    std::string text = why + "\ntranscript:\n";
    for (const auto& [who, bytes] : m_transcript)
        text += std::string(1, who) + ": " + EscapeBytes(bytes) + "\n";
    m_stepError = text;
    return false;
}

bool LoopbackServer::waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<Ms>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || (fds[1].revents & POLLIN))
            return false;
        return true;
    }
}

bool LoopbackServer::acceptClient(Ms timeout) {
    closeClient(false);
    m_unread.clear();
    if (!waitReadable(m_listenFd, Clock::now() + timeout))
        return fail("no client connected within " + std::to_string(timeout.count()) + " ms");
    m_clientFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_clientFd < 0)
        return fail(std::string("accept failed: ") + std::strerror(errno));
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_connections;
    return true;
}

bool LoopbackServer::ensureConnected(Ms timeout) {
    return m_clientFd >= 0 || acceptClient(timeout);
}

long LoopbackServer::readSome() {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(m_clientFd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            const std::string bytes(buf, static_cast<std::size_t>(n));
            m_unread += bytes;
            record('C', bytes);
        }
        return static_cast<long>(n);
    }
}

bool LoopbackServer::sendAll(const std::string& bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const ssize_t n = ::send(m_clientFd, bytes.data() + pos, bytes.size() - pos, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail("sending " + EscapeBytes(bytes) + " failed: " + std::strerror(errno));
        pos += static_cast<std::size_t>(n);
    }
    record('S', bytes);
    return true;
}

void LoopbackServer::closeClient(bool abortive) {
    if (m_clientFd < 0)
        return;
    if (abortive) {
        const linger l{1, 0};
        ::setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(m_clientFd);
    m_clientFd = -1;
}

void LoopbackServer::record(char who, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (who == 'C')
        m_received += bytes;
    // Consecutive pieces from the same side read as one entry.
    if (!m_transcript.empty() && m_transcript.back().first == who)
        m_transcript.back().second += bytes;
    else
        m_transcript.emplace_back(who, bytes);
}

LoopbackServer& LoopbackServer::accept(Ms timeout) {
    return queue("accept", [this, timeout] { return acceptClient(timeout); });
}

LoopbackServer& LoopbackServer::send(std::string bytes) {
    std::string name = "send \"" + EscapeBytes(bytes) + "\""; // before bytes moves away
    return queue(std::move(name), [this, bytes = std::move(bytes)] {
        return ensureConnected(DefaultTimeout) && sendAll(bytes);
    });
}

LoopbackServer& LoopbackServer::sendSplit(std::string bytes, std::size_t pieceSize, Ms gap) {
    if (pieceSize == 0)
        pieceSize = 1;
    std::string name = "sendSplit \"" + EscapeBytes(bytes) + "\"";
    return queue(std::move(name), [this, bytes = std::move(bytes), pieceSize, gap] {
        if (!ensureConnected(DefaultTimeout))
            return false;
        for (std::size_t pos = 0; pos < bytes.size(); pos += pieceSize) {
            if (pos > 0)
                std::this_thread::sleep_for(gap);
            if (!sendAll(bytes.substr(pos, pieceSize)))
                return false;
        }
        return true;
    });
}

LoopbackServer& LoopbackServer::pause(Ms duration) {
    return queue("pause", [this, duration] {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, duration, [this] { return m_stop; });
        return !m_stop;
    });
}

LoopbackServer& LoopbackServer::expect(std::string bytes, Ms timeout) {
    std::string name = "expect \"" + EscapeBytes(bytes) + "\"";
    return queue(std::move(name), [this, bytes = std::move(bytes), timeout] {
        if (!ensureConnected(timeout))
            return false;
        const auto deadline = Clock::now() + timeout;
        while (m_unread.size() < bytes.size() && bytes.compare(0, m_unread.size(), m_unread) == 0) {
            if (!waitReadable(m_clientFd, deadline))
                return fail("expected the client to send \"" + EscapeBytes(bytes) + "\", got \"" +
                            EscapeBytes(m_unread) + "\" before the time-out");
            if (readSome() <= 0)
                return fail("expected the client to send \"" + EscapeBytes(bytes) + "\", got \"" +
                            EscapeBytes(m_unread) + "\" and then a close");
        }
        if (m_unread.compare(0, bytes.size(), bytes) != 0)
            return fail("expected the client to send \"" + EscapeBytes(bytes) + "\", got \"" +
                        EscapeBytes(m_unread) + "\"");
        m_unread.erase(0, bytes.size());
        return true;
    });
}

LoopbackServer& LoopbackServer::expectLineMatching(std::string pattern, Ms timeout) {
    std::string name = "expectLineMatching /" + pattern + "/";
    return queue(std::move(name), [this, pattern = std::move(pattern), timeout] {
        if (!ensureConnected(timeout))
            return false;
        const auto deadline = Clock::now() + timeout;
        std::size_t end;
        while ((end = m_unread.find("\r\n")) == std::string::npos) {
            if (!waitReadable(m_clientFd, deadline) || readSome() <= 0)
                return fail("expected a line matching /" + pattern + "/, got \"" +
                            EscapeBytes(m_unread) + "\" and no CR LF");
        }
        const std::string line = m_unread.substr(0, end);
        if (!std::regex_match(line, std::regex(pattern)))
            return fail("expected a line matching /" + pattern + "/, got \"" + EscapeBytes(line) +
                        "\"");
        m_unread.erase(0, end + 2);
        return true;
    });
}

LoopbackServer& LoopbackServer::expectClosed(Ms timeout) {
    return queue("expectClosed", [this, timeout] {
        if (!ensureConnected(timeout))
            return false;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (!waitReadable(m_clientFd, deadline))
                return fail("expected the client to close, it did not within " +
                            std::to_string(timeout.count()) + " ms");
            const long n = readSome();
            if (n == 0 || n < 0) // a reset is a close too
                break;
        }
        closeClient(false);
        return true;
    });
}

LoopbackServer& LoopbackServer::drain(Ms duration) {
    return queue("drain", [this, duration] {
        if (!ensureConnected(DefaultTimeout))
            return false;
        const auto deadline = Clock::now() + duration;
        while (waitReadable(m_clientFd, deadline) && readSome() > 0) {
        }
        return true;
    });
}

LoopbackServer& LoopbackServer::close() {
    return queue("close", [this] {
        if (!ensureConnected(DefaultTimeout))
            return false;
        closeClient(false);
        return true;
    });
}

LoopbackServer& LoopbackServer::reset() {
    return queue("reset", [this] {
        if (!ensureConnected(DefaultTimeout))
            return false;
        closeClient(true);
        return true;
    });
}

LoopbackServer& LoopbackServer::call(std::function<void()> action) {
    return queue("call", [action = std::move(action)] {
        action();
        return true;
    });
}

::testing::AssertionResult LoopbackServer::finished(Ms timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool idle = m_changed.wait_for(
        lock, timeout, [this] { return !m_failure.empty() || (m_steps.empty() && !m_busy); });
    if (!m_failure.empty()) {
        m_failureReported = true;
        return ::testing::AssertionFailure() << m_failure;
    }
    if (!idle) {
        std::string text = "scripted server still busy after " + std::to_string(timeout.count()) +
                           " ms with " + std::to_string(m_steps.size() + (m_busy ? 1 : 0)) +
                           " step(s) left\ntranscript:\n";
        for (const auto& [who, bytes] : m_transcript)
            text += std::string(1, who) + ": " + EscapeBytes(bytes) + "\n";
        return ::testing::AssertionFailure() << text;
    }
    return ::testing::AssertionSuccess();
}

std::string LoopbackServer::received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::string LoopbackServer::transcript() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    for (const auto& [who, bytes] : m_transcript)
        text += std::string(1, who) + ": " + EscapeBytes(bytes) + "\n";
    return text;
}

int LoopbackServer::connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

} // namespace veldrano::test
