#include "mail/IdStackPosix.h"
#include "mail/IdTexts.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <utility>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The failure of the last thin call made by this thread, as a Windows Sockets number.
thread_local int tLastError = 0;

int Fail(int err) {
    tLastError = IdErrnoToWinsock(err);
    return Id_SOCKET_ERROR;
}

// A socket address of either family, as the system calls take it.
struct SystemAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

SystemAddress ToSockAddr(const TIdSockAddr& a) {
    SystemAddress out;
    if (a.IPv6) {
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&out.storage);
        sin6->sin6_family = AF_INET6;
        sin6->sin6_port = htons(a.Port);
        std::memcpy(&sin6->sin6_addr, a.Addr6.data(), 16);
        out.length = sizeof(sockaddr_in6);
    } else {
        auto* sin = reinterpret_cast<sockaddr_in*>(&out.storage);
        sin->sin_family = AF_INET;
        sin->sin_port = htons(a.Port);
        std::memcpy(&sin->sin_addr, a.Addr.data(), 4);
        out.length = sizeof(sockaddr_in);
    }
    return out;
}

TIdSockAddr FromSockAddr(const sockaddr_storage& storage) {
    TIdSockAddr a;
    if (storage.ss_family == AF_INET6) {
        const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        a.IPv6 = true;
        std::memcpy(a.Addr6.data(), &sin6->sin6_addr, 16);
        a.Port = ntohs(sin6->sin6_port);
    } else {
        const auto* sin = reinterpret_cast<const sockaddr_in*>(&storage);
        std::memcpy(a.Addr.data(), &sin->sin_addr, 4);
        a.Port = ntohs(sin->sin_port);
    }
    return a;
}

int ResolverErrorToWinsock(int gaiError) {
    switch (gaiError) {
    case EAI_NONAME:
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return IdErr::HostNotFound;
    case EAI_AGAIN:
        return IdErr::TryAgain;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return IdErr::NoData;
#endif
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return IdErrnoToWinsock(errno);
    default:
        return IdErr::NoRecovery;
    }
}

// Adds the sockets of one set to the poll list with the events that make them ready.
void AddToPoll(std::vector<pollfd>& fds, const std::vector<TIdStackSocketHandle>* set,
               short events) {
    if (!set)
        return;
    if (set->size() > Id_MaxWaitSetSize)
        throw EIdStackSetSizeExceeded();
    for (TIdStackSocketHandle s : *set)
        fds.push_back(pollfd{s, events, 0});
}

// Keeps in a set only the sockets whose poll entry reported one of the events.
int KeepReady(std::vector<TIdStackSocketHandle>* set, const std::vector<pollfd>& fds,
              std::size_t& index, short events) {
    if (!set)
        return 0;
    std::vector<TIdStackSocketHandle> ready;
    for (std::size_t i = 0; i < set->size(); ++i, ++index) {
        if (fds[index].revents & events)
            ready.push_back((*set)[i]);
    }
    *set = std::move(ready);
    return static_cast<int>(set->size());
}

} // namespace

namespace {

// errno to the Windows Sockets error number the messages are written for.
constexpr std::pair<int, int> kWinsockErrors[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {EPIPE, 10058},
    {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

} // namespace

int IdErrnoToWinsock(int err) {
    for (const auto& [posix, winsock] : kWinsockErrors)
        if (posix == err)
            return winsock;
    return err; // 0 and anything unmapped pass through
}

TIdStackPosix::TIdStackPosix() = default;

TIdStackSocketHandle TIdStackPosix::WSSocket(int family, int type, int protocol) {
    // Close-on-exec: the socket belongs to this process only.
    const int s =
        ::socket(family == Id_PF_INET6 ? AF_INET6 : family, type | SOCK_CLOEXEC, protocol);
    return s < 0 ? Fail(errno) : s;
}

int TIdStackPosix::WSBind(TIdStackSocketHandle s, const TIdSockAddr& addr) {
    const SystemAddress a = ToSockAddr(addr);
    return ::bind(s, a.get(), a.length) < 0 ? Fail(errno) : 0;
}

int TIdStackPosix::WSConnect(TIdStackSocketHandle s, const TIdSockAddr& addr) {
    const SystemAddress a = ToSockAddr(addr);
    return ::connect(s, a.get(), a.length) < 0 ? Fail(errno) : 0;
}

int TIdStackPosix::WSSend(TIdStackSocketHandle s, const void* buf, int len) {
    for (;;) {
        // MSG_NOSIGNAL: a closed peer is an error result, never a SIGPIPE.
        const ssize_t n = ::send(s, buf, static_cast<std::size_t>(len), MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR) // a signal is not a failure of the send
            return Fail(errno);
    }
}

int TIdStackPosix::WSRecv(TIdStackSocketHandle s, void* buf, int len) {
    for (;;) {
        const ssize_t n = ::recv(s, buf, static_cast<std::size_t>(len), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return Fail(errno);
    }
}

int TIdStackPosix::WSSelect(std::vector<TIdStackSocketHandle>* read,
                            std::vector<TIdStackSocketHandle>* write,
                            std::vector<TIdStackSocketHandle>* except, int timeoutMs) {
    // poll rather than select: no FD_SETSIZE limit on socket numbers.
    std::vector<pollfd> fds;
    AddToPoll(fds, read, POLLIN);
    AddToPoll(fds, write, POLLOUT);
    AddToPoll(fds, except, POLLPRI);
    const short readReady = POLLIN | POLLHUP | POLLERR;
    const short writeReady = POLLOUT | POLLHUP | POLLERR;

    using Clock = std::chrono::steady_clock;
    const bool unlimited = timeoutMs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : timeoutMs);
    int n;
    for (;;) {
        int wait = -1;
        if (!unlimited) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = static_cast<int>(std::max<long long>(0, left.count()));
        }
        n = ::poll(fds.data(), fds.size(), wait);
        if (n >= 0 || errno != EINTR)
            break;
    }
    if (n < 0)
        return Fail(errno);
    for (const pollfd& p : fds) {
        // A socket number that is not open is a failure, as select reports it.
        if (p.revents & POLLNVAL)
            return Fail(EBADF);
    }
    std::size_t index = 0;
    int ready = KeepReady(read, fds, index, readReady);
    ready += KeepReady(write, fds, index, writeReady);
    ready += KeepReady(except, fds, index, POLLPRI);
    return ready;
}

int TIdStackPosix::WSShutdown(TIdStackSocketHandle s, int how) {
    return ::shutdown(s, how) < 0 ? Fail(errno) : 0;
}

int TIdStackPosix::WSCloseSocket(TIdStackSocketHandle s) {
    return ::close(s) < 0 ? Fail(errno) : 0;
}

int TIdStackPosix::WSSetSockOpt(TIdStackSocketHandle s, int level, int name, const void* value,
                                int len) {
    return ::setsockopt(s, level, name, value, static_cast<socklen_t>(len)) < 0 ? Fail(errno) : 0;
}

int TIdStackPosix::WSGetSockName(TIdStackSocketHandle s, TIdSockAddr& addr) {
    sockaddr_storage storage{};
    socklen_t len = sizeof storage;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&storage), &len) < 0)
        return Fail(errno);
    addr = FromSockAddr(storage);
    return 0;
}

int TIdStackPosix::WSGetPeerName(TIdStackSocketHandle s, TIdSockAddr& addr) {
    sockaddr_storage storage{};
    socklen_t len = sizeof storage;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&storage), &len) < 0)
        return Fail(errno);
    addr = FromSockAddr(storage);
    return 0;
}

std::string TIdStackPosix::WSGetHostByName(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || !result) {
        tLastError = rc != 0 ? ResolverErrorToWinsock(rc) : IdErr::HostNotFound;
        return {};
    }
    sockaddr_storage storage{};
    std::memcpy(&storage, result->ai_addr, sizeof(sockaddr_in));
    ::freeaddrinfo(result);
    return FormatAddress(FromSockAddr(storage));
}

int TIdStackPosix::WSGetLastError() {
    return tLastError;
}

void TIdStackPosix::WSSetLastError(int error) {
    tLastError = error;
}

std::string TIdStackPosix::LocalHostName() {
    char name[250] = {};
    ::gethostname(name, sizeof name - 1); // the last byte stays NUL even when cut short
    return std::string(name);
}

std::string TIdStackPosix::SocketErrorText(int error) const {
    if (error == IdErr::HostNotFound)
        return FormatSocketError(error, IdTexts::HostNotFound);
    return TIdStack::SocketErrorText(error);
}
