// 100 one-line messages, one session each, to a local SMTP sink: over STARTTLS, against the
// same over plain TCP (the handshake cost made visible), and against msmtp sending the same
// messages over STARTTLS (one process per message, as msmtp is used). Best of several runs.
#include "mail/IdSMTP.h"
#include "bench/LoopbackListener.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <fcntl.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMessages = 100;
constexpr int kRuns = 3;

// A certificate for 127.0.0.1 that the client trusts through SSL_CERT_FILE, made with the
// openssl command in a folder of its own.
struct TestCertificate {
    std::filesystem::path folder;
    std::string certificate, key;

    TestCertificate() {
        char pattern[] = "/tmp/veldrano-tls-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            throw std::runtime_error("no temporary folder");
        folder = pattern;
        certificate = (folder / "cert.pem").string();
        key = (folder / "key.pem").string();
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 "
            "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
            key + " -out " + certificate + " 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("the openssl command could not make a certificate");
        ::setenv("SSL_CERT_FILE", certificate.c_str(), 1);
    }
    ~TestCertificate() { std::filesystem::remove_all(folder); }
};

// A sink that answers every command, offering STARTTLS when it has a certificate; serves one
// connection at a time on its own thread until destroyed.
class Sink {
  public:
    explicit Sink(const TestCertificate* tls) {
        if (tls) {
            m_context = SSL_CTX_new(TLS_server_method());
            if (SSL_CTX_use_certificate_file(m_context, tls->certificate.c_str(),
                                             SSL_FILETYPE_PEM) != 1 ||
                SSL_CTX_use_PrivateKey_file(m_context, tls->key.c_str(), SSL_FILETYPE_PEM) != 1)
                throw std::runtime_error("the sink cannot load its certificate");
        }
        m_fd = ListenOnLoopback(16, m_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~Sink() {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_thread.join();
        SSL_CTX_free(m_context);
    }
    int port() const { return m_port; }

  private:
    // One connection: plain, then TLS after STARTTLS.
    struct Peer {
        int fd;
        SSL* ssl = nullptr;
        std::string pending;

        void Say(const std::string& text) {
            if (ssl)
                SSL_write(ssl, text.data(), static_cast<int>(text.size()));
            else
                ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        }
        // The next line with its CR LF, or "" when the client has gone.
        std::string Line() {
            for (;;) {
                if (const auto eol = pending.find('\n'); eol != std::string::npos) {
                    std::string line = pending.substr(0, eol + 1);
                    pending.erase(0, eol + 1);
                    return line;
                }
                char buffer[16384];
                const int n = ssl ? SSL_read(ssl, buffer, sizeof buffer)
                                  : static_cast<int>(::recv(fd, buffer, sizeof buffer, 0));
                if (n <= 0)
                    return {};
                pending.append(buffer, static_cast<std::size_t>(n));
            }
        }
    };

    void Serve() {
        for (;;) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0)
                return;
            // A reply must not wait for the acknowledgement of the one before (Nagle).
            const int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            Peer peer{c, nullptr, {}};
            ServeSmtp(peer);
            if (peer.ssl) {
                SSL_shutdown(peer.ssl);
                SSL_free(peer.ssl);
            }
            ::close(c);
        }
    }

    void ServeSmtp(Peer& peer) {
        peer.Say("220 sink ready\r\n");
        bool inData = false;
        for (std::string line; !(line = peer.Line()).empty();) {
            if (inData) {
                if (line == ".\r\n") {
                    inData = false;
                    peer.Say("250 queued\r\n");
                }
            } else if (line.starts_with("EHLO")) {
                peer.Say(m_context && !peer.ssl ? "250-sink\r\n250 STARTTLS\r\n" : "250 sink\r\n");
            } else if (line == "STARTTLS\r\n" && m_context) {
                peer.Say("220 go ahead\r\n");
                peer.ssl = SSL_new(m_context);
                SSL_set_fd(peer.ssl, peer.fd);
                if (SSL_accept(peer.ssl) != 1)
                    return;
            } else if (line == "DATA\r\n") {
                peer.Say("354 go ahead\r\n");
                inData = true;
            } else if (line == "QUIT\r\n") {
                peer.Say("221 bye\r\n");
                return;
            } else {
                peer.Say("250 ok\r\n");
            }
        }
    }

    SSL_CTX* m_context = nullptr;
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
};

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// As the send-mail dialog sends: the server text counts the sink's port as 25, so the
// session uses STARTTLS when the sink offers it.
double SendWithClient(const Sink& sink) {
    const std::string server = "127.0.0.1:" + std::to_string(sink.port());
    const auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        TIdSMTP smtp;
        smtp.UseServer(ParseServerText(server, sink.port()));
        TIdSMTP::SendOneMessage(smtp, "Hola", "luis@example.com", "ana@example.com",
                                "Una sola linea.", {});
    }
    return Seconds(start);
}

// msmtp with STARTTLS, one process per message and the message on its standard input.
double SendWithMsmtp(const Sink& sink, const TestCertificate& tls) {
    const std::string message = (tls.folder / "message.eml").string();
    if (FILE* f = std::fopen(message.c_str(), "w")) {
        std::fputs("From: ana@example.com\r\nTo: luis@example.com\r\nSubject: Hola\r\n\r\n"
                   "Una sola linea.\r\n",
                   f);
        std::fclose(f);
    }
    const std::string port = "--port=" + std::to_string(sink.port());
    const std::string trust = "--tls-trust-file=" + tls.certificate;
    const char* argv[] = {"msmtp",
                          "--file=/dev/null",
                          "--host=127.0.0.1",
                          port.c_str(),
                          "--tls=on",
                          "--tls-starttls=on",
                          trust.c_str(),
                          "--from=ana@example.com",
                          "--auth=off",
                          "--",
                          "luis@example.com",
                          nullptr};
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, message.c_str(), O_RDONLY, 0);
    const auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "msmtp", &files, nullptr, const_cast<char**>(argv), environ) != 0 ||
            ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            posix_spawn_file_actions_destroy(&files);
            return -1;
        }
    }
    const double seconds = Seconds(start);
    posix_spawn_file_actions_destroy(&files);
    return seconds;
}

} // namespace

int main() {
    // The sink's TLS writes to a client that has already hung up must not end the bench.
    std::signal(SIGPIPE, SIG_IGN);
    const TestCertificate tls;
    Sink plainSink(nullptr);
    Sink tlsSink(&tls);
    double plain = 1e9, startTls = 1e9, msmtp = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        plain = std::min(plain, SendWithClient(plainSink));
        startTls = std::min(startTls, SendWithClient(tlsSink));
        msmtp = std::min(msmtp, SendWithMsmtp(tlsSink, tls));
    }
    std::printf("%d one-line messages, one session each, best of %d runs\n", kMessages, kRuns);
    std::printf("%-30s %8.1f ms  %6.2f ms per message\n", "baseline: plain TCP", plain * 1e3,
                plain * 1e3 / kMessages);
    std::printf("%-30s %8.1f ms  %6.2f ms per message  ratio to plain %.2f\n", "STARTTLS",
                startTls * 1e3, startTls * 1e3 / kMessages, startTls / plain);
    if (msmtp > 0)
        std::printf("%-30s %8.1f ms  %6.2f ms per message  ours/msmtp %.2f\n",
                    "msmtp, STARTTLS, a process each", msmtp * 1e3, msmtp * 1e3 / kMessages,
                    startTls / msmtp);
    else
        std::printf("msmtp could not run here; no comparison with it\n");
    return 0;
}
