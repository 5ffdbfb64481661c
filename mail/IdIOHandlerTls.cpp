#include "mail/IdIOHandlerTls.h"
#include "mail/IdTexts.h"
#include "text/Charset.h"
#include "text/CodePage.h"

#include "mail/IdStackPosix.h"
#include "mail/IdTCPConnection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sys/socket.h>

namespace {

// OpenSSL writes to the socket with write(), so a peer that has gone would raise SIGPIPE and
// end the process. The signal is held back for this thread while OpenSSL runs, and one it
// raised meanwhile is taken off before it is let through again.
class SigPipeHeld {
  public:
    SigPipeHeld() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigPipeHeld() {
        sigset_t pending;
        sigemptyset(&pending);
        if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
            const timespec now{};
            sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigPipeHeld(const SigPipeHeld&) = delete;
    SigPipeHeld& operator=(const SigPipeHeld&) = delete;

  private:
    sigset_t m_pipe;
    sigset_t m_old;
};

// OpenSSL's own text for its latest error, for failures that have no better name.
std::string OpenSslText() {
    const unsigned long code = ERR_peek_last_error();
    if (code == 0)
        return IdTexts::TlsUnknownError;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// Why a certificate was refused, as the user reads it.
std::string CertificateReason(long result, const std::string& host) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return IdTexts::CertificateExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return IdTexts::CertificateNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        // The host as the user typed it, in the code page.
        return IdTexts::CertificateOfOtherHost +
               ("\"" + veldrano::CodePageTextToUtf8(host, veldrano::CurrentLocale().codePage) +
                "\"");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return IdTexts::CertificateUnknownIssuer;
    case X509_V_ERR_CERT_REVOKED:
        return IdTexts::CertificateRevoked;
    default:
        return std::string(IdTexts::CertificateInvalid) + " (" +
               X509_verify_cert_error_string(result) + ")";
    }
}

bool IsIpLiteral(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

void SetReceiveTimeout(int socket, int ms) {
    timeval limit{};
    limit.tv_sec = ms / 1000;
    limit.tv_usec = ms % 1000 * 1000;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

} // namespace

bool IsLoopbackAddress(const std::string& ip) {
    unsigned char address[16];
    if (inet_pton(AF_INET, ip.c_str(), address) == 1)
        return address[0] == 127;
    return ip == "::1";
}

TIdIOHandlerTls::~TIdIOHandlerTls() {
    CloseHandler();
}

void TIdIOHandlerTls::FreeTls() {
    SSL_free(m_ssl);
    m_ssl = nullptr;
    SSL_CTX_free(m_context);
    m_context = nullptr;
}

void TIdIOHandlerTls::StartTls(const std::string& host) {
    if (!IsConnected())
        throw EIdClosedSocket();
    FreeTls();
    ERR_clear_error();
    m_context = SSL_CTX_new(TLS_client_method());
    m_ssl = m_context ? SSL_new(m_context) : nullptr;
    if (!m_ssl) {
        FreeTls();
        throw EIdTlsError(IdTexts::TlsSetupFailed + OpenSslText());
    }
    SSL_CTX_set_min_proto_version(m_context, MinimumTlsVersion);
    // The system's trust store; OpenSSL reads SSL_CERT_FILE and SSL_CERT_DIR here.
    SSL_CTX_set_default_verify_paths(m_context);
    SSL_set_verify(m_ssl, SSL_VERIFY_PEER, nullptr);
    // SMTP ends its own exchanges, so a server that drops the line without a TLS close
    // notice is a closed connection, as it is without TLS.
    SSL_set_options(m_ssl, SSL_OP_IGNORE_UNEXPECTED_EOF);
    const int socket = SocketHandle()->SocketNumber();
    SSL_set_fd(m_ssl, socket);
    if (IsIpLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, host.c_str());
        SSL_set1_host(m_ssl, host.c_str());
    }
    SetReceiveTimeout(socket, m_recordTimeout);

    int result;
    {
        SigPipeHeld held;
        result = SSL_connect(m_ssl);
    }
    if (result == 1)
        return;
    const int error = SSL_get_error(m_ssl, result);
    const long verified = SSL_get_verify_result(m_ssl);
    std::string why;
    if (verified != X509_V_OK)
        why = IdTexts::TlsUntrusted + CertificateReason(verified, host) + ".";
    else if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
        why = IdTexts::TlsHandshakeFailed + OpenSslText();
    FreeTls();
    TIdIOHandlerSocket::CloseHandler();
    if (why.empty())
        throw EIdReadTimeout();
    throw EIdTlsError(why);
}

void TIdIOHandlerTls::ConnectSocket(const std::string& host, int port, int timeout,
                                    int boundPortMax, int boundPortMin, int boundPort,
                                    const std::string& boundIP) {
    FreeTls();
    TIdIOHandlerSocket::ConnectSocket(host, port, timeout, boundPortMax, boundPortMin, boundPort,
                                      boundIP);
    if (m_implicitTls)
        StartTls(host);
}

void TIdIOHandlerTls::CloseHandler() {
    if (m_ssl && IsConnected()) {
        SigPipeHeld held;
        SSL_shutdown(m_ssl); // the close notice only; the peer's answer is not awaited
    }
    FreeTls();
    TIdIOHandlerSocket::CloseHandler();
}

bool TIdIOHandlerTls::WaitReadable(int msec) {
    // Bytes already decrypted wait in OpenSSL, not in the socket.
    if (m_ssl && SSL_pending(m_ssl) > 0)
        return true;
    return TIdIOHandlerSocket::WaitReadable(msec);
}

int TIdIOHandlerTls::Receive(void* buf, int len) {
    if (!m_ssl)
        return TIdIOHandlerSocket::Receive(buf, len);
    if (!IsConnected())
        throw EIdClosedSocket();
    ERR_clear_error();
    SigPipeHeld held; // a read may have to write (a key update)
    const int n = SSL_read(m_ssl, buf, len);
    return n > 0 ? n : Failure(n);
}

int TIdIOHandlerTls::Send(const void* buf, int len) {
    if (!m_ssl)
        return TIdIOHandlerSocket::Send(buf, len);
    if (!IsConnected())
        throw EIdClosedSocket();
    ERR_clear_error();
    SigPipeHeld held;
    const int n = SSL_write(m_ssl, buf, len);
    return n > 0 ? n : Failure(n);
}

int TIdIOHandlerTls::Failure(int result) {
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        // Only the receive time-out on the socket makes a blocking call come back so.
        throw EIdReadTimeout();
    case SSL_ERROR_SYSCALL:
        if (errno == 0)
            return 0;
        Stack().WSSetLastError(IdErrnoToWinsock(errno));
        return Id_SOCKET_ERROR;
    default:
        throw EIdTlsError(IdTexts::TlsBroken + OpenSslText());
    }
}
