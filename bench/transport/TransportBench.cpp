// Reads 200,000 reply lines from a loopback peer that sends them as fast as it can, through
// the connection's ReadLine and through ReceiveReply, and compares each with a baseline
// that only recv()s the same bytes into one buffer. Best of several runs each.
#include "mail/IdTCPClient.h"
#include "bench/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr int kLines = 200000;
constexpr int kLinesPerReply = 1000; // an EHLO-like multi-line reply, repeated
constexpr int kRuns = 15;            // rounds; the three readers take turns in each

using Clock = std::chrono::steady_clock;

std::string MakePayload() {
    std::string out;
    for (int i = 0; i < kLines; ++i) {
        const bool last = (i + 1) % kLinesPerReply == 0;
        out += last ? "250 " : "250-";
        out += "mail.example.com offers extension number " + std::to_string(i) + "\r\n";
    }
    return out;
}

// One listening socket; each run accepts a client and sends it the whole payload.
class Peer {
  public:
    explicit Peer(const std::string& payload) : m_payload(payload) {
        m_fd = ListenOnLoopback(4, m_port);
    }
    ~Peer() { ::close(m_fd); }
    int port() const { return m_port; }

    // Serves one client in a thread; join the result when the reader is done.
    std::thread serveOne() {
        return std::thread([this] {
            const int c = ::accept(m_fd, nullptr, nullptr);
            std::size_t pos = 0;
            while (pos < m_payload.size()) {
                const ssize_t n =
                    ::send(c, m_payload.data() + pos, m_payload.size() - pos, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                pos += static_cast<std::size_t>(n);
            }
            ::close(c);
        });
    }

  private:
    const std::string& m_payload;
    int m_fd = -1;
    int m_port = 0;
};

// Runs one read against a fresh peer connection; seconds taken.
double TimeOnce(Peer& peer, const std::function<void(int port)>& read) {
    std::thread server = peer.serveOne();
    const auto start = Clock::now();
    read(peer.port());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    server.join();
    return seconds;
}

void Baseline(int port, std::size_t expected) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
        throw std::runtime_error("cannot connect");
    static char buffer[32768];
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    ::close(s);
    if (total != expected)
        throw std::runtime_error("baseline read a short payload");
}

void Connect(TIdTCPClient& client, int port) {
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.ConnectToHost();
}

void ByLines(int port) {
    TIdTCPClient client;
    Connect(client, port);
    for (int i = 0; i < kLines; ++i) {
        if (client.ReadLine().empty())
            throw std::runtime_error("short read");
    }
    client.CloseConnection();
}

void ByReplies(int port) {
    TIdTCPClient client;
    Connect(client, port);
    for (int i = 0; i < kLines / kLinesPerReply; ++i) {
        client.ReadReply({250});
        if (client.LastReply().Text().size() != kLinesPerReply)
            throw std::runtime_error("short reply");
    }
    client.CloseConnection();
}

void Report(const char* name, double seconds, double baseline) {
    std::printf("%-28s %8.1f ms  %12.0f lines/s  ratio to baseline %.2f\n", name, seconds * 1e3,
                kLines / seconds, seconds / baseline);
}

} // namespace

int main() {
    const std::string payload = MakePayload();
    Peer peer(payload);
    // Interleaved so that load from elsewhere on the machine hits all three alike.
    double baseline = 1e9, lines = 1e9, replies = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        baseline =
            std::min(baseline, TimeOnce(peer, [&](int port) { Baseline(port, payload.size()); }));
        lines = std::min(lines, TimeOnce(peer, ByLines));
        replies = std::min(replies, TimeOnce(peer, ByReplies));
    }
    std::printf("%d reply lines, %zu bytes, best of %d runs\n", kLines, payload.size(), kRuns);
    Report("baseline recv()", baseline, baseline);
    Report("ReadLine", lines, baseline);
    Report("ReceiveReply (1000-line)", replies, baseline);
    return 0;
}
