#include "tests/mail/transport/TransportTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace veldrano::test {

int ScriptedIOHandler::Send(const void* buf, int len) {
    if (sendResult < 0) {
        Stack().WSSetLastError(sendError);
        return -1;
    }
    const int n = sendResult > 0 && sendResult < len ? sendResult : len;
    sent.append(static_cast<const char*>(buf), static_cast<std::size_t>(n));
    return n;
}

UnusedPort::UnusedPort() {
    // Holding the bound socket keeps the port from being handed to anyone else.
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0)
        throw std::runtime_error("UnusedPort: cannot bind");
    m_port = ntohs(addr.sin_port);
}

UnusedPort::~UnusedPort() {
    ::close(m_fd);
}

} // namespace veldrano::test
