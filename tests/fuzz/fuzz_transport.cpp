// Feeds arbitrary server bytes to the reply and line readers through a socket pair, plain or
// (one input in eight) through the TLS transport. The
// connection's receive size, line limit and over-long-line action come from the input too,
// so the same bytes arrive in many different chunkings.
#include "mail/IdIOHandlerTls.h"
#include "mail/IdTCPConnection.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <string>

namespace {

// Every byte is on the wire and the writer has closed, so a wait that times out is a bug.
constexpr int kReadTimeoutMs = 2000;
// Keeps one write within the socket pair's buffer.
constexpr std::size_t kMaxInput = 64 * 1024;

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

struct Reader {
    TIdTCPConnection& conn;
    const std::string& input;
    std::int64_t consumed = 0; // bytes the connection has handed out, from its work count

    // The line must be the next input bytes, followed by nothing (a split piece), LF or CR LF.
    void CheckLine(const std::string& line, std::int64_t before, int maxLen) {
        const std::int64_t used = consumed - before;
        const auto at = static_cast<std::size_t>(before);
        Check(input.compare(at, line.size(), line) == 0);
        Check(line.find('\n') == std::string::npos);
        if (maxLen > 0)
            Check(line.size() <= static_cast<std::size_t>(maxLen));
        Check(used >= static_cast<std::int64_t>(line.size()));
        // Nothing after it: a split piece, or the one empty result after a close amid a line.
        const std::string rest =
            input.substr(at + line.size(), static_cast<std::size_t>(used) - line.size());
        Check(rest.empty() || rest == "\n" || rest == "\r\n");
    }

    void Step(std::uint8_t op, int maxLen) {
        const std::int64_t before = consumed;
        switch (op % 4) {
        case 0: {
            conn.ReceiveReply();
            const TIdRFCReply& r = conn.LastReply();
            Check(!r.Text().empty());
            Check(r.TextCode().size() <= 4);
            break;
        }
        case 1:
            CheckLine(conn.ReadLine(), before, maxLen);
            break;
        case 2: {
            const std::string line = conn.ReadNonBlankLine(3);
            Check(line.empty() || (static_cast<unsigned char>(line.front()) > 32 &&
                                   static_cast<unsigned char>(line.back()) > 32));
            break;
        }
        case 3: {
            const int count = 1 + op / 4 % 16;
            const std::string bytes = conn.ReadBytes(count);
            Check(input.compare(static_cast<std::size_t>(before), bytes.size(), bytes) == 0);
            Check(consumed - before == count);
            break;
        }
        }
    }
};

// The TLS peer of the harness: a certificate for "localhost" made at start-up and trusted
// through SSL_CERT_FILE, as the tests trust their test authority.
struct TlsPeer {
    SSL_CTX* context = nullptr;

    TlsPeer() {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 7 * 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_EXTENSION* names =
            X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, "DNS:localhost");
        X509_add_ext(cert, names, -1);
        X509_EXTENSION_free(names);
        X509_sign(cert, key, EVP_sha256());

        char path[] = "/tmp/fuzz-transport-cert-XXXXXX";
        const int fd = ::mkstemp(path);
        FILE* file = ::fdopen(fd, "w");
        PEM_write_X509(file, cert);
        std::fclose(file);
        ::setenv("SSL_CERT_FILE", path, 1);

        context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context, cert);
        SSL_CTX_use_PrivateKey(context, key);
        X509_free(cert);
        EVP_PKEY_free(key);
        // The client may hang up before the peer has written everything.
        std::signal(SIGPIPE, SIG_IGN);
    }

    // Handshakes on fd, writes the input and closes.
    void Serve(int fd, const std::string& input) const {
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            std::size_t sent = 0;
            while (sent < input.size()) {
                const int n =
                    SSL_write(ssl, input.data() + sent, static_cast<int>(input.size() - sent));
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(fd);
    }
};

} // namespace

namespace {
void Read(int fd, bool overTls, int recvSize, int maxLen, bool split, const std::string& ops,
          const std::string& input);
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);
    const int recvSize = fdp.ConsumeIntegralInRange<int>(1, 300);
    static constexpr int kLimits[] = {0, 1, 3, 4, 5, 16, 64, 16384};
    const int maxLen = kLimits[fdp.ConsumeIntegralInRange<int>(0, 7)];
    const bool split = fdp.ConsumeBool();
    // One input in eight goes through TLS: the handshake makes each run far slower.
    // (The provider gives 0 when the input has run out, so short inputs stay plain.)
    const bool overTls = fdp.ConsumeIntegralInRange<int>(0, 7) == 7;
    const std::string ops = fdp.ConsumeBytesAsString(8);
    std::string input = fdp.ConsumeRemainingBytesAsString();
    if (input.size() > kMaxInput)
        input.resize(kMaxInput);

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return 0;
    std::thread peer;
    if (overTls) {
        static const TlsPeer tls;
        peer = std::thread([&, fd = fds[1]] { tls.Serve(fd, input); });
    } else {
        if (!input.empty() &&
            ::write(fds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
            ::close(fds[0]);
            ::close(fds[1]);
            return 0;
        }
        ::close(fds[1]);
    }
    Read(fds[0], overTls, recvSize, maxLen, split, ops, input);
    if (peer.joinable())
        peer.join();
    return 0;
}

namespace {

void Read(int fd, bool overTls, int recvSize, int maxLen, bool split, const std::string& ops,
          const std::string& input) {
    TIdTCPConnection conn;
    auto* handler = overTls ? new TIdIOHandlerTls() : new TIdIOHandlerSocket();
    handler->OpenHandler();
    handler->SocketHandle()->AdoptSocket(fd);
    conn.SetIOHandler(handler, true);
    if (overTls) {
        auto* tls = static_cast<TIdIOHandlerTls*>(handler);
        tls->SetRecordTimeout(kReadTimeoutMs);
        try {
            tls->StartTls("localhost");
        } catch (const EIdReadTimeout&) {
            return; // a machine too busy to finish a handshake in time says nothing of the reader
        }
    }
    conn.SetRecvBufferSize(recvSize);
    conn.SetMaxLineLength(maxLen);
    conn.SetMaxLineAction(split ? maSplit : maException);
    conn.SetReadTimeout(kReadTimeoutMs);

    Reader reader{conn, input};
    conn.OnWork = [&](TIdComponent&, TWorkMode mode, std::int64_t count) {
        if (mode == wmRead)
            reader.consumed = count;
    };
    conn.BeginWork(wmRead);

    // Each step consumes input or ends with the close, so this bound is never the limit
    // for inputs within kMaxInput, and it keeps a faulty reader from spinning forever.
    const std::size_t maxSteps = input.size() * 2 + 8;
    try {
        for (std::size_t i = 0; i < maxSteps; ++i)
            reader.Step(ops.empty() ? 0 : static_cast<std::uint8_t>(ops[i % ops.size()]), maxLen);
        Check(false);
    } catch (const EIdReadTimeout&) {
        Check(false);
    } catch (const EIdConnClosedGracefully&) {
    } catch (const EIdNotConnected&) {
        // A read wanting more than the bytes left after a noticed close.
        Check(conn.PeerClosed() && conn.PendingInput().Size() > 0);
    } catch (const EIdReadLnMaxLineLengthExceeded&) {
        Check(!split && maxLen > 0);
    } catch (const EIdReplyTooLong&) {
        // Only past the line limit (the bytes of one input stay far below the byte limit):
        // that many line ends, or pieces of split over-long lines.
        Check(split || std::count(input.begin(), input.end(), '\n') >=
                           static_cast<std::ptrdiff_t>(TIdTCPConnection::MaxReplyLines));
        Check(!conn.IsConnected());
    }
    conn.EndWork(wmRead);
}

} // namespace
