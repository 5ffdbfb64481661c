#pragma once
// Shared by the benchmarks: a listening TCP socket on 127.0.0.1 and a port the system picks.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

// Returns the listening socket and sets `port`; throws when the socket cannot listen.
inline int ListenOnLoopback(int backlog, int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(fd, backlog) < 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot listen");
    }
    port = ntohs(addr.sin_port);
    return fd;
}
