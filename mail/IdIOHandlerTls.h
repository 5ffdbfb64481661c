#pragma once
#include "mail/IdIOHandler.h"

#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// TLS could not be set up or broke down; the message says why, in Spanish, for the user.
class EIdTlsError : public EIdException {
  public:
    explicit EIdTlsError(const std::string& message) : EIdException(message, TIdFailure::Tls) {}
};

// The socket transport with TLS (OpenSSL 3) under it once StartTls has run, or from the first
// byte with ImplicitTls (RFC 8314). The connection above reads and writes as before; it does
// not know whether the bytes are encrypted. Until then it is the plain socket transport.
class TIdIOHandlerTls : public TIdIOHandlerSocket {
  public:
    // TLS 1.2 is the oldest version without known weaknesses of its own (RFC 8996).
    static constexpr int MinimumTlsVersion = 0x0303;

    TIdIOHandlerTls() = default;
    ~TIdIOHandlerTls() override;

    bool ImplicitTls() const { return m_implicitTls; }
    // TLS right after the TCP connect, for the host given to ConnectSocket.
    void SetImplicitTls(bool implicit) { m_implicitTls = implicit; }
    // Longest wait, in ms, for the handshake and for the rest of a record once one has begun
    // to arrive (0 = no limit); a wait that runs out throws EIdReadTimeout.
    int RecordTimeout() const { return m_recordTimeout; }
    void SetRecordTimeout(int ms) { m_recordTimeout = ms; }

    // Negotiates TLS on the connected socket: at least TLS 1.2, the name sent for the
    // server's choice of certificate (SNI), and the certificate checked against the system's
    // trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured) and against host. Throws
    // EIdTlsError naming the reason (expired, another host, unknown issuer, ...), or
    // EIdReadTimeout; the socket is closed then.
    void StartTls(const std::string& host);
    bool TlsActive() const { return m_ssl != nullptr; }

    void ConnectSocket(const std::string& host, int port, int timeout, int boundPortMax,
                       int boundPortMin, int boundPort, const std::string& boundIP) override;
    // Sends the TLS close notice when it can, then closes the socket.
    void CloseHandler() override;
    bool WaitReadable(int msec) override;
    // Throw EIdTlsError when TLS breaks down, EIdReadTimeout when a record stalls.
    int Receive(void* buf, int len) override;
    int Send(const void* buf, int len) override;

  private:
    void FreeTls();
    // The result of a failed TLS call as the socket layer reports it, or a throw.
    int Failure(int result);

    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    bool m_implicitTls = false;
    int m_recordTimeout = 0;
};

// True for 127.0.0.0/8 and ::1: bytes to such an address never leave the machine.
bool IsLoopbackAddress(const std::string& ip);
