#pragma once
#include "mail/IdStack.h"

#include <string>

// One socket and its two endpoints. Uses the shared stack, so it may only live while a mail
// component does (the I/O handler that owns it is one).
class TIdSocketHandle {
  public:
    TIdSocketHandle() = default;
    virtual ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Releases any socket held, then allocates a new one; throws EIdInvalidSocket.
    void OpenSocket(int type, int protocol);
    // Shuts down the sending side and closes the socket; errors are ignored.
    virtual void ReleaseSocket();
    // Binds to IP:Port, or to the first free port of the range from ClientPortMax down.
    // Throws EIdCouldNotBindSocket, EIdInvalidPortRange, EIdCanNotBindPortInRange,
    // EIdSocketError.
    void BindLocal();
    // One bind attempt; false when the address is in use, throws on other errors.
    bool TryBindLocal();
    void SetPeerAddress(const std::string& ip, int port);
    // Connects to RemoteIP:RemotePort and reads both endpoints back; returns the raw result
    // (-1 on failure, the error left with the stack).
    virtual int ConnectPeer(int family);
    // True only when data (or a close) is waiting within msec (-2 = no limit, 0 = poll).
    // Throws EIdConnClosedGracefully without a socket.
    bool WaitReadable(int msec);
    int Send(const void* buf, int len);
    int Receive(void* buf, int len);
    void ResetHandle(bool resetLocal);

    // Takes over an already connected socket (a socket pair end in tests and harnesses).
    void AdoptSocket(TIdStackSocketHandle socket);

    TIdStackSocketHandle SocketNumber() const { return m_socket; }
    bool HasSocket() const { return m_hasSocket; }
    const std::string& IP() const { return m_ip; }
    void SetIP(const std::string& ip) { m_ip = ip; }
    int Port() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    const std::string& RemoteIP() const { return m_remoteIP; }
    int RemotePort() const { return m_remotePort; }
    int ClientPortMin() const { return m_clientPortMin; }
    void SetClientPortMin(int port) { m_clientPortMin = port; }
    int ClientPortMax() const { return m_clientPortMax; }
    void SetClientPortMax(int port) { m_clientPortMax = port; }
    // The address family of the next socket: Id_PF_INET, or Id_PF_INET6.
    int Family() const { return m_family; }
    void SetFamily(int family) { m_family = family; }

  private:
    TIdStackSocketHandle m_socket = Id_INVALID_SOCKET;
    bool m_hasSocket = false;
    std::string m_ip;
    int m_port = 0;
    std::string m_remoteIP;
    int m_remotePort = 0;
    int m_clientPortMin = 0;
    int m_clientPortMax = 0;
    int m_family = Id_PF_INET;
};
