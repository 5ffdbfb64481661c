#pragma once
#include "mail/IdBuffer.h"
#include "mail/IdTexts.h"
#include "mail/IdComponent.h"
#include "mail/IdIOHandler.h"
#include "mail/IdRFCReply.h"

#include <cstdint>
#include <functional>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum TIdMaxLineAction { maException, maSplit };

class EIdTCPConnectionError : public EIdException {
  public:
    using EIdException::EIdException;
};

class EIdAlreadyConnected : public EIdTCPConnectionError {
  public:
    EIdAlreadyConnected() : EIdTCPConnectionError(IdTexts::AlreadyConnected) {}
};

class EIdNotConnected : public EIdTCPConnectionError {
  public:
    EIdNotConnected() : EIdTCPConnectionError(IdTexts::NotConnected) {}
};

class EIdReadTimeout : public EIdTCPConnectionError {
  public:
    EIdReadTimeout() : EIdTCPConnectionError(IdTexts::ReadTimeout, TIdFailure::Timeout) {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdTCPConnectionError {
  public:
    EIdReadLnMaxLineLengthExceeded() : EIdTCPConnectionError(IdTexts::MaxLineLengthExceeded) {}
};

// A line holding CR or LF would end early on the wire and let the rest pass as a second
// command, so it is refused before anything is sent.
class EIdUnsafeLine : public EIdTCPConnectionError {
  public:
    EIdUnsafeLine() : EIdTCPConnectionError(IdTexts::UnsafeLine) {}
};

// A reply past the limits of one reply; the connection has been closed.
class EIdReplyTooLong : public EIdTCPConnectionError {
  public:
    EIdReplyTooLong() : EIdTCPConnectionError(IdTexts::ReplyTooLong, TIdFailure::ReplyTooLong) {}
};

// The user (another thread) ended the operation through Interrupt.
class EIdOperationCancelled : public EIdException {
  public:
    EIdOperationCancelled() : EIdException(IdTexts::OperationCancelled, TIdFailure::Cancelled) {}
};

using TIdReplyCodes = std::vector<std::int16_t>;

// A buffered, blocking, line-oriented connection with the command/reply exchange of text
// protocols. Time-outs are in ms: -1 = ReadTimeout, -2 = no limit; ReadTimeout 0 = no limit.
class TIdTCPConnection : public TIdComponent {
  public:
    // RFC 5321 lines are far shorter; this bounds what a broken server can make us hold.
    static constexpr int DefaultMaxLineLength = 16384;
    // Bytes asked for in one receive.
    static constexpr int DefaultRecvBufferSize = 32768;
    // A server that never ends a reply must not make us hold it all: real replies are a few
    // lines (a long EHLO reply is some twenty).
    static constexpr std::size_t MaxReplyLines = 1000;
    static constexpr std::size_t MaxReplyBytes = 1024 * 1024;

    TIdTCPConnection();
    ~TIdTCPConnection() override;

    // --- Handler ---
    TIdIOHandler* IOHandler() const { return m_ioHandler; }
    // Frees an owned current handler, then uses handler (owned when owns is set).
    void SetIOHandler(TIdIOHandler* handler, bool owns = false);
    bool OwnsIOHandler() const { return m_ownedHandler != nullptr; }

    // --- Settings ---
    int ReadTimeout() const { return m_readTimeout; }
    void SetReadTimeout(int ms) { m_readTimeout = ms; }
    int MaxLineLength() const { return m_maxLineLength; }
    void SetMaxLineLength(int length) { m_maxLineLength = length; }
    TIdMaxLineAction MaxLineAction() const { return m_maxLineAction; }
    void SetMaxLineAction(TIdMaxLineAction action) { m_maxLineAction = action; }
    int RecvBufferSize() const { return m_recvBufferSize; }
    // At least one byte: a zero-byte receive would read as a peer close.
    void SetRecvBufferSize(int size) { m_recvBufferSize = size < 1 ? 1 : size; }
    int SendBufferSize() const { return m_sendBufferSize; }
    void SetSendBufferSize(int size) { m_sendBufferSize = size; }

    bool PeerClosed() const { return m_peerClosed; }
    TIdManagedBuffer& PendingInput() { return m_pendingInput; }
    TIdRFCReply& LastReply() { return m_lastReply; }
    const TIdRFCReply& LastReply() const { return m_lastReply; }

    std::function<void(TIdTCPConnection& sender)> OnDisconnected;

    // --- Ending an operation from another thread ---
    // Safe from any thread: whatever the connection waits for (connect, TLS handshake, read,
    // write) ends at once, and it and every later operation throw EIdOperationCancelled
    // until ResetInterrupt, which the owner calls before the next operation.
    void Interrupt();
    void ResetInterrupt();
    bool Interrupted() const { return m_interrupted; }
    // Throws EIdOperationCancelled after Interrupt.
    void CheckInterrupted() const;

    // --- Connection state ---
    // Notices a peer close ("Disconnected." once); throws EIdConnClosedGracefully when
    // raiseIfDisconnected and nothing is left to read (or ignoreBuffer).
    virtual void CheckDisconnected(bool raiseIfDisconnected, bool ignoreBuffer);
    virtual bool IsConnected();
    // Orderly close with "Disconnecting." and "Disconnected."; never throws.
    virtual void CloseConnection();
    // Closes the socket without status events.
    virtual void DropSocket();
    // Empties the input buffer and forgets a noticed close.
    virtual void ResetInput();

    // --- Reading ---
    // Receives one chunk: bytes added, 0 when the connection closed, -1 after a time-out
    // when raiseOnTimeout is false. Throws EIdNotConnected, EIdReadTimeout,
    // EIdConnClosedGracefully, EIdSocketError.
    virtual int FillInputBuffer(bool raiseIfDisconnected, int timeout, bool raiseOnTimeout);
    // One line without its terminator (with LF, a CR before it goes too). Returns "" once
    // when the peer closed amid a line. Throws EIdReadLnMaxLineLengthExceeded with
    // maException, and the errors of FillInputBuffer.
    virtual std::string ReadLine(const std::string& terminator = "\n", int timeout = -1,
                                 int maxLineLength = -1);
    // The first line not blank after trimming bytes <= 32, tried up to failCount times.
    std::string ReadNonBlankLine(int failCount);
    // Exactly count bytes.
    void ReadBytes(void* buffer, int count);
    std::string ReadBytes(int count);

    // --- Writing (unbuffered: every call sends at once) ---
    virtual void WriteText(const std::string& text);
    // text + CR LF in one send; throws EIdUnsafeLine when text holds CR or LF.
    virtual void WriteLine(const std::string& text);
    void WriteLines(const std::vector<std::string>& lines);
    // Sends every byte; throws EIdNotConnected, EIdConnClosedGracefully, EIdSocketError
    // (after 10053, 10054 or 10058 the socket is dropped first).
    void WriteBytes(const void* buffer, std::size_t count);

    // --- Commands and replies ---
    // WriteLine(out) then ReadReply(allowed); an empty list accepts any code.
    virtual std::int16_t SendCommand(const std::string& out, const TIdReplyCodes& allowed);
    // code -1 accepts any reply; otherwise only code.
    virtual std::int16_t SendCommand(const std::string& out, std::int16_t code = -1);
    virtual std::int16_t ReadReply(const TIdReplyCodes& allowed);
    // Reads all lines of one reply into LastReply. Past MaxReplyLines lines or MaxReplyBytes
    // bytes (blank lines included) closes the connection and throws EIdReplyTooLong.
    void ReceiveReply();
    // Returns code when allowed is empty or holds it, else RaiseReplyError.
    virtual std::int16_t CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed);
    // Throws EIdProtocolReplyError with LastReply's code and printable text.
    [[noreturn]] virtual void RaiseReplyError();
    // Throws E with LastReply's printable text and no code.
    template <class E> [[noreturn]] void RaiseReplyErrorAs() {
        throw E(m_lastReply.PrintableText());
    }

  protected:
    virtual void DoOnDisconnected();

  private:
    void ReadLineTo(std::string& line, const std::string& terminator, int timeout,
                    int maxLineLength);
    void ReadNonBlankLineTo(std::string& line, int failCount);

    // Lines of the reply being read, kept between replies so their memory is reused.
    std::vector<std::string> m_replyLines;

    // Held while the handler is replaced, so Interrupt never reaches a freed one.
    std::mutex m_handlerLock;
    std::atomic<bool> m_interrupted{false};
    TIdIOHandler* m_ioHandler = nullptr;
    std::unique_ptr<TIdIOHandler> m_ownedHandler;
    TIdManagedBuffer m_pendingInput;
    int m_recvBufferSize = DefaultRecvBufferSize;
    int m_sendBufferSize = DefaultRecvBufferSize;
    int m_maxLineLength = DefaultMaxLineLength;
    TIdMaxLineAction m_maxLineAction = maException;
    int m_readTimeout = 0;
    bool m_peerClosed = false;
    TIdRFCReply m_lastReply;
};
