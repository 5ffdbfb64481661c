#include "mail/IdStack.h"
#include "mail/IdTexts.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

// The four parts of a text cut at its first three dots; missing parts stay empty.
std::array<std::string, 4> CutAtDots(const std::string& text) {
    std::array<std::string, 4> parts;
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = text.find('.', start);
        if (dot == std::string::npos) {
            parts[i] = text.substr(std::min(start, text.size()));
            start = text.size() + 1;
            break;
        }
        parts[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    if (start <= text.size())
        parts[3] = text.substr(start);
    return parts;
}

// Strict decimal integer: digits only (no sign, no blanks), within int range.
bool ReadInteger(const std::string& s, long long& value) {
    if (s.empty() || s.size() > 10)
        return false;
    long long v = 0;
    for (const char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return v <= 2147483647LL;
}

} // namespace

std::string FormatSocketError(int error, const std::string& text) {
    return IdTexts::SocketErrorPrefix + std::to_string(error) + "\r\n" + text;
}

std::string TIdStack::SocketErrorText(int error) const {
    for (const IdTexts::SocketErrorText& e : IdTexts::SocketErrorTexts) {
        if (e.number == error)
            return FormatSocketError(error, e.text);
    }
    return FormatSocketError(error, "");
}

bool TIdStack::IsLocalHostAlias(const std::string& host) {
    static const std::string kLocal = "localhost";
    return host.size() == kLocal.size() &&
           std::equal(host.begin(), host.end(), kLocal.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

std::string TIdStack::ResolveHostName(const std::string& host) {
    if (IsLocalHostAlias(host))
        return "127.0.0.1";
    if (IsDottedQuad(host) || IsIPv6Address(host))
        return host;
    std::string address = WSGetHostByName(host);
    if (address.empty())
        CheckSocketResult(Id_SOCKET_ERROR);
    return address;
}

bool TIdStack::IsDottedQuad(const std::string& text) {
    for (const std::string& part : CutAtDots(text)) {
        long long v = 0;
        if (!ReadInteger(part, v) || v < 0 || v > 255)
            return false;
    }
    return true;
}

TIdInAddr TIdStack::ParseDottedQuad(const std::string& text) {
    TIdInAddr addr{};
    const auto parts = CutAtDots(text);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        long long v = 0;
        if (!ReadInteger(parts[i], v))
            throw std::invalid_argument("'" + parts[i] + "' is not a valid integer value");
        // A part beyond one byte would silently address another host.
        if (v < 0 || v > 255)
            throw std::out_of_range("'" + parts[i] + "' is not a valid address byte");
        addr[i] = static_cast<std::uint8_t>(v);
    }
    return addr;
}

std::string TIdStack::FormatDottedQuad(const TIdInAddr& addr) {
    return std::to_string(addr[0]) + "." + std::to_string(addr[1]) + "." + std::to_string(addr[2]) +
           "." + std::to_string(addr[3]);
}

bool TIdStack::IsIPv6Address(const std::string& text) {
    in6_addr address{};
    return inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

TIdSockAddr TIdStack::MakeSockAddr(const std::string& ip, int port, int family) {
    TIdSockAddr addr;
    addr.Port = static_cast<std::uint16_t>(port);
    addr.IPv6 = family == Id_PF_INET6 || IsIPv6Address(ip);
    if (!addr.IPv6)
        addr.Addr = ip.empty() ? TIdInAddr{0, 0, 0, 0} : ParseDottedQuad(ip);
    else if (!ip.empty() && inet_pton(AF_INET6, ip.c_str(), addr.Addr6.data()) != 1)
        throw std::invalid_argument("'" + ip + "' is not an IPv6 address");
    return addr;
}

std::string TIdStack::FormatAddress(const TIdSockAddr& addr) {
    if (!addr.IPv6)
        return FormatDottedQuad(addr.Addr);
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, addr.Addr6.data(), text, sizeof text);
    return text;
}

TIdStackSocketHandle TIdStack::NewSocket(int type, int protocol, int family) {
    const TIdStackSocketHandle s = WSSocket(family, type, protocol);
    if (s == Id_INVALID_SOCKET)
        throw EIdInvalidSocket();
    return s;
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> ignored) {
    if (result != Id_SOCKET_ERROR)
        return false;
    const int error = WSGetLastError();
    m_lastSocketError.store(error);
    if (std::find(ignored.begin(), ignored.end(), error) != ignored.end())
        return true;
    RaiseSocketFailure(error);
}

void TIdStack::RaiseSocketFailure(int error) {
    throw EIdSocketError(error, SocketErrorText(error));
}
