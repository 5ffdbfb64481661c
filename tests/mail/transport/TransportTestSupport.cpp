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
    std::uint16_t port = 0;
    m_fd = BindLoopbackSocket(-1, port);
    m_port = port;
}

UnusedPort::~UnusedPort() {
    ::close(m_fd);
}

} // namespace veldrano::test
