// SendOneMessage of a 5 MB body (80-column lines) to a local SMTP sink, compared with a
// baseline that send()s the same data bytes over the same kind of socket in one loop and
// waits for the sink to acknowledge them. Also 100 one-line messages, one session each.
// The runs interleave (baseline, ours, small messages in turn) and each figure is a median,
// so a busy moment of the machine weighs on both sides alike.
#include "mail/IdSMTP.h"
#include "bench/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBodyBytes = 5 * 1024 * 1024;
constexpr int kLineWidth = 80; // with CR LF
constexpr int kRuns = 15;
constexpr double kGoal = 2.0; // SendOneMessage against the bare send() loop
constexpr int kSmallMessages = 100;

std::string MakeBody() {
    std::string body;
    body.reserve(kBodyBytes + kLineWidth);
    for (int i = 0; body.size() < kBodyBytes; ++i) {
        std::string line = "Linea " + std::to_string(i) + " ";
        line.resize(kLineWidth - 2, static_cast<char>('a' + i % 26));
        body += line + "\r\n";
    }
    return body;
}

// A listening socket on 127.0.0.1 served by one thread until stopped.
class Sink {
  public:
    enum Mode { Smtp, RawBytes };

    Sink(Mode mode, std::size_t rawBytes = 0) : m_mode(mode), m_rawBytes(rawBytes) {
        m_fd = ListenOnLoopback(16, m_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~Sink() {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_thread.join();
    }
    int port() const { return m_port; }

  private:
    void Serve() {
        for (;;) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0)
                return;
            if (m_mode == Smtp)
                ServeSmtp(c);
            else
                ServeRaw(c);
            ::close(c);
        }
    }

    static void Say(int c, const char* text) {
        ::send(c, text, std::char_traits<char>::length(text), MSG_NOSIGNAL);
    }

    // Reads everything, acknowledging with one byte once the expected count arrived.
    void ServeRaw(int c) {
        std::size_t total = 0;
        while (total < m_rawBytes) {
            const ssize_t n = ::recv(c, m_buffer, sizeof m_buffer, 0);
            if (n <= 0)
                return;
            total += static_cast<std::size_t>(n);
        }
        Say(c, "k");
    }

    // Answers every command line; after DATA, swallows bytes until CR LF "." CR LF. The
    // client sends nothing after "." before it has the answer (the sink offers no
    // PIPELINING), so the data ends where a receive ends and its last five bytes tell: as
    // cheap as the baseline's count. (Searching every receive made this thread, not the
    // client, pace the end of a large message.)
    void ServeSmtp(int c) {
        static constexpr std::string_view kEnd = "\r\n.\r\n";
        Say(c, "220 sink ready\r\n");
        std::string line;
        std::string tail; // the data's last bytes so far
        bool inData = false;
        for (;;) {
            const ssize_t n = ::recv(c, m_buffer, sizeof m_buffer, 0);
            if (n <= 0)
                return;
            std::string_view input(m_buffer, static_cast<std::size_t>(n));
            while (!input.empty()) {
                if (inData) {
                    tail += input.substr(input.size() - std::min(input.size(), kEnd.size()));
                    tail.erase(0, tail.size() - std::min(tail.size(), kEnd.size()));
                    if (tail == kEnd) {
                        inData = false;
                        Say(c, "250 queued\r\n");
                    }
                    break;
                }
                const std::size_t eol = input.find('\n');
                if (eol == std::string_view::npos) {
                    line += input;
                    break;
                }
                line += input.substr(0, eol + 1);
                input.remove_prefix(eol + 1);
                if (line == "QUIT\r\n")
                    return;
                if (line == "DATA\r\n") {
                    Say(c, "354 go ahead\r\n");
                    inData = true;
                    tail = "\r\n"; // the data may be empty: "." right away
                } else {
                    Say(c, "250 ok\r\n");
                }
                line.clear();
            }
        }
    }

    Mode m_mode;
    std::size_t m_rawBytes;
    int m_fd = -1;
    int m_port = 0;
    char m_buffer[65536];
    std::thread m_thread;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Baseline(const std::string& bytes) {
    Sink sink(Sink::RawBytes, bytes.size());
    const auto start = Clock::now();
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(sink.port()));
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
        throw std::runtime_error("cannot connect");
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const ssize_t n = ::send(s, bytes.data() + pos, bytes.size() - pos, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("send failed");
        pos += static_cast<std::size_t>(n);
    }
    char ack;
    if (::recv(s, &ack, 1, 0) != 1)
        throw std::runtime_error("no acknowledgement");
    const double seconds = Seconds(start);
    ::close(s);
    return seconds;
}

double SendLarge(const Sink& sink, const std::string& body) {
    const auto start = Clock::now();
    TIdSMTP::SendOneMessage("127.0.0.1", "Mensaje grande", "luis@example.com", "ana@example.com",
                            body, sink.port());
    return Seconds(start);
}

double SendSmall(const Sink& sink) {
    const auto start = Clock::now();
    for (int i = 0; i < kSmallMessages; ++i)
        TIdSMTP::SendOneMessage("127.0.0.1", "Hola", "luis@example.com", "ana@example.com",
                                "Una sola linea.", sink.port());
    return Seconds(start);
}

} // namespace

int main() {
    const std::string body = MakeBody();
    const double megabytes = static_cast<double>(body.size()) / (1024.0 * 1024.0);
    Sink smtpSink(Sink::Smtp);
    std::vector<double> baselines, larges, smalls;
    for (int run = 0; run < kRuns; ++run) {
        baselines.push_back(Baseline(body));
        larges.push_back(SendLarge(smtpSink, body));
        smalls.push_back(SendSmall(smtpSink));
    }
    const double baseline = Median(baselines), large = Median(larges), small = Median(smalls);
    std::printf("body %.2f MB in %d-column lines, median of %d interleaved runs\n", megabytes,
                kLineWidth, kRuns);
    std::printf("%-34s %8.1f ms  %8.1f MB/s\n", "baseline: one send() loop", baseline * 1e3,
                megabytes / baseline);
    std::printf("%-34s %8.1f ms  %8.1f MB/s  ratio to baseline %.2f (goal <= %.0f)\n",
                "SendOneMessage, 5 MB body", large * 1e3, megabytes / large, large / baseline,
                kGoal);
    std::printf("%-34s %8.1f ms  %8.3f ms per message\n", "100 one-line messages", small * 1e3,
                small * 1e3 / kSmallMessages);
    return 0;
}
