#pragma once
#include "mail/IdException.h"
#include "mail/IdTexts.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Socket layer: the stack interface every mail component shares, its exception family and
// the Windows Sockets error numbers the user-visible messages carry.

using TIdStackSocketHandle = int;

constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
constexpr int Id_SOCKET_ERROR = -1;
constexpr int Id_PF_INET = 2;     // internet family
constexpr int Id_PF_INET6 = 23;   // IPv6 family (its Windows Sockets number)
constexpr int Id_SOCK_STREAM = 1; // stream socket
constexpr int Id_IPPROTO_TCP = 6; // option level of TCP_NODELAY
constexpr int Id_TCP_NODELAY = 1;
constexpr int Id_SD_Send = 1; // shutdown of the sending side
constexpr int Id_SD_Both = 2; // shutdown of both sides
constexpr int Id_TIMEOUT_INFINITE = -2;
// A wait set is bounded like the platform it was first written for.
constexpr std::size_t Id_MaxWaitSetSize = 64;

// Windows Sockets error numbers used by callers; the full table lives in SocketErrorText.
namespace IdErr {
constexpr int Interrupted = 10004;
constexpr int BadFile = 10009;
constexpr int AccessDenied = 10013;
constexpr int InvalidArgument = 10022;
constexpr int WouldBlock = 10035;
constexpr int NotSocket = 10038;
constexpr int AddressInUse = 10048;
constexpr int ConnectionAborted = 10053;
constexpr int ConnectionReset = 10054;
constexpr int Shutdown = 10058;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int HostNotFound = 11001;
constexpr int TryAgain = 11002;
constexpr int NoRecovery = 11003;
constexpr int NoData = 11004;
} // namespace IdErr

// An IPv4 address, four bytes in network order.
using TIdInAddr = std::array<std::uint8_t, 4>;

// --- Exceptions of the socket layer -------------------------------------------------------

class EIdStackError : public EIdException {
  public:
    using EIdException::EIdException;
};

class EIdStackInitializationFailed : public EIdStackError {
  public:
    EIdStackInitializationFailed() : EIdStackError(IdTexts::StackInitializationFailed) {}
};

class EIdStackSetSizeExceeded : public EIdStackError {
  public:
    EIdStackSetSizeExceeded() : EIdStackError(IdTexts::StackSetSizeExceeded) {}
};

// A failed socket call; the message is "Socket Error # n" CR LF and the table text.
class EIdSocketError : public EIdException {
  public:
    EIdSocketError(int code, const std::string& message) : EIdException(message), m_code(code) {}
    int SocketErrorCode() const { return m_code; }

  private:
    int m_code;
};

class EIdInvalidSocket : public EIdException {
  public:
    EIdInvalidSocket() : EIdException(IdTexts::InvalidSocket) {}
};

class EIdConnectTimeout : public EIdException {
  public:
    EIdConnectTimeout() : EIdException(IdTexts::ConnectTimeout, TIdFailure::Timeout) {}
};

// A connect on the timed path failed; the message is the failure's own.
class EIdConnectException : public EIdException {
  public:
    using EIdException::EIdException;
};

class EIdClosedSocket : public EIdException {
  public:
    EIdClosedSocket() : EIdException(IdTexts::ClosedSocket) {}
};

class EIdConnClosedGracefully : public EIdSilentException {
  public:
    EIdConnClosedGracefully() : EIdSilentException(IdTexts::ConnClosedGracefully) {}
};

class EIdSocketHandleError : public EIdException {
  public:
    using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
  public:
    EIdCouldNotBindSocket() : EIdSocketHandleError(IdTexts::CouldNotBindSocket) {}
};

class EIdInvalidPortRange : public EIdSocketHandleError {
  public:
    EIdInvalidPortRange(int min, int max)
        : EIdSocketHandleError(std::string(IdTexts::InvalidPortRange) + " (" + std::to_string(min) +
                               " - " + std::to_string(max) + ")") {}
};

class EIdCanNotBindPortInRange : public EIdSocketHandleError {
  public:
    EIdCanNotBindPortInRange(int min, int max)
        : EIdSocketHandleError(std::string(IdTexts::CanNotBindPortInRange) + " (" +
                               std::to_string(min) + " - " + std::to_string(max) + ")") {}
};

// --- The stack ----------------------------------------------------------------------------

// An IPv6 address, sixteen bytes in network order.
using TIdIn6Addr = std::array<std::uint8_t, 16>;

// The endpoint the thin calls take and give: address bytes and a host-order port; IPv4
// unless IPv6 is set.
struct TIdSockAddr {
    TIdInAddr Addr{};
    std::uint16_t Port = 0;
    bool IPv6 = false;
    TIdIn6Addr Addr6{};
};

// Abstract socket stack. The thin Ws* calls return the raw result (-1 on failure) and leave
// the failure's Windows Sockets number for WSGetLastError; the helpers above them turn
// failures into exceptions.
class TIdStack {
  public:
    TIdStack() = default;
    virtual ~TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // Thin forms of the socket calls.
    virtual TIdStackSocketHandle WSSocket(int family, int type, int protocol) = 0;
    virtual int WSBind(TIdStackSocketHandle s, const TIdSockAddr& addr) = 0;
    virtual int WSConnect(TIdStackSocketHandle s, const TIdSockAddr& addr) = 0;
    virtual int WSSend(TIdStackSocketHandle s, const void* buf, int len) = 0;
    virtual int WSRecv(TIdStackSocketHandle s, void* buf, int len) = 0;
    // Waits until a socket of a set is ready or the time (ms, -2 = no limit) is up; each set
    // (may be null) keeps only its ready sockets. More than 64 sockets in a set raise
    // EIdStackSetSizeExceeded. Returns the count of ready sockets, 0 or -1.
    virtual int WSSelect(std::vector<TIdStackSocketHandle>* read,
                         std::vector<TIdStackSocketHandle>* write,
                         std::vector<TIdStackSocketHandle>* except, int timeoutMs) = 0;
    virtual int WSShutdown(TIdStackSocketHandle s, int how) = 0;
    virtual int WSCloseSocket(TIdStackSocketHandle s) = 0;
    virtual int WSSetSockOpt(TIdStackSocketHandle s, int level, int name, const void* value,
                             int len) = 0;
    virtual int WSGetSockName(TIdStackSocketHandle s, TIdSockAddr& addr) = 0;
    virtual int WSGetPeerName(TIdStackSocketHandle s, TIdSockAddr& addr) = 0;
    // Dotted-quad text of the host's first IPv4 address, or empty on failure.
    virtual std::string WSGetHostByName(const std::string& host) = 0;
    virtual int WSGetLastError() = 0;
    // Sets what WSGetLastError answers next on this thread (for transports of their own).
    virtual void WSSetLastError(int error) = 0;

    // The host's own name, up to 250 bytes; empty when the system cannot say.
    virtual std::string LocalHostName() = 0;

    // "Socket Error # n" CR LF and the table text (empty for a number not in the table).
    virtual std::string SocketErrorText(int error) const;

    // LOCALHOST in any case -> 127.0.0.1; a dotted quad or IPv6 address unchanged; otherwise
    // a lookup.
    // Throws EIdSocketError (11001 for an unknown host).
    std::string ResolveHostName(const std::string& host);

    // "localhost" in any letter case.
    static bool IsLocalHostAlias(const std::string& host);
    // An IPv6 address in text form ("::1", "2001:db8::25"), without brackets.
    static bool IsIPv6Address(const std::string& text);
    // The endpoint of an address text (dotted quad or IPv6; empty = any address of family)
    // and a port; throws std::invalid_argument for other text.
    static TIdSockAddr MakeSockAddr(const std::string& ip, int port, int family = Id_PF_INET);
    // The address of an endpoint as text: a dotted quad, or IPv6 in its short form.
    static std::string FormatAddress(const TIdSockAddr& addr);
    // Text cut at its first three dots into four parts that each read as 0..255.
    static bool IsDottedQuad(const std::string& text);
    // Same cut, each part a strict integer; throws std::invalid_argument otherwise.
    static TIdInAddr ParseDottedQuad(const std::string& text);
    static std::string FormatDottedQuad(const TIdInAddr& addr);

    // Allocates a socket of the family (IPv4 unless told); throws EIdInvalidSocket.
    TIdStackSocketHandle NewSocket(int type, int protocol, int family = Id_PF_INET);

    // False when result is not -1. Otherwise fetches the error into LastSocketError and
    // returns true when it is one of ignored, else throws EIdSocketError.
    bool CheckSocketResult(int result, std::initializer_list<int> ignored = {});
    [[noreturn]] void RaiseSocketFailure(int error);

    int LastSocketError() const { return m_lastSocketError.load(); }

  private:
    std::atomic<int> m_lastSocketError{0};
};

// Formats "Socket Error # n" CR LF text; shared by SocketErrorText and its overrides.
std::string FormatSocketError(int error, const std::string& text);
