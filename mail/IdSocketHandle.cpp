#include "mail/IdSocketHandle.h"
#include "mail/IdComponent.h"

namespace {

TIdStack& Stack() {
    return TIdComponent::Stack();
}

} // namespace

TIdSocketHandle::~TIdSocketHandle() {
    // A handle never leaks its socket, whoever frees it.
    if (m_hasSocket && TIdComponent::HasSocketStack())
        ReleaseSocket();
}

void TIdSocketHandle::OpenSocket(int type, int protocol) {
    ReleaseSocket();
    if (m_hasSocket)
        ResetHandle(true);
    m_socket = Stack().NewSocket(type, protocol, m_family);
    m_hasSocket = true;
}

void TIdSocketHandle::ReleaseSocket() {
    if (!m_hasSocket)
        return;
    m_hasSocket = false;
    Stack().WSShutdown(m_socket, Id_SD_Send);
    Stack().WSCloseSocket(m_socket);
}

void TIdSocketHandle::BindLocal() {
    if (m_port != 0 || m_clientPortMin == 0 || m_clientPortMax == 0) {
        if (!TryBindLocal())
            throw EIdCouldNotBindSocket();
        return;
    }
    if (m_clientPortMax < m_clientPortMin)
        throw EIdInvalidPortRange(m_clientPortMin, m_clientPortMax);
    for (int port = m_clientPortMax; port >= m_clientPortMin; --port) {
        m_port = port;
        if (TryBindLocal())
            return;
    }
    m_port = 0;
    throw EIdCanNotBindPortInRange(m_clientPortMin, m_clientPortMax);
}

bool TIdSocketHandle::TryBindLocal() {
    const int rc = Stack().WSBind(m_socket, TIdStack::MakeSockAddr(m_ip, m_port, m_family));
    if (Stack().CheckSocketResult(rc, {IdErr::AddressInUse}))
        return false;
    TIdSockAddr local;
    Stack().CheckSocketResult(Stack().WSGetSockName(m_socket, local));
    m_ip = TIdStack::FormatAddress(local);
    m_port = local.Port;
    return true;
}

void TIdSocketHandle::SetPeerAddress(const std::string& ip, int port) {
    m_remoteIP = ip;
    m_remotePort = port;
}

int TIdSocketHandle::ConnectPeer(int /*family*/) {
    const int rc =
        Stack().WSConnect(m_socket, TIdStack::MakeSockAddr(m_remoteIP, m_remotePort, m_family));
    if (rc != Id_SOCKET_ERROR) {
        TIdSockAddr local;
        Stack().CheckSocketResult(Stack().WSGetSockName(m_socket, local));
        m_ip = TIdStack::FormatAddress(local);
        m_port = local.Port;
        TIdSockAddr peer;
        Stack().CheckSocketResult(Stack().WSGetPeerName(m_socket, peer));
        m_remoteIP = TIdStack::FormatAddress(peer);
        m_remotePort = peer.Port;
    }
    return rc;
}

bool TIdSocketHandle::WaitReadable(int msec) {
    if (!m_hasSocket)
        throw EIdConnClosedGracefully();
    std::vector<TIdStackSocketHandle> read{m_socket};
    return Stack().WSSelect(&read, nullptr, nullptr, msec) == 1;
}

int TIdSocketHandle::Send(const void* buf, int len) {
    return Stack().WSSend(m_socket, buf, len);
}

int TIdSocketHandle::Receive(void* buf, int len) {
    return Stack().WSRecv(m_socket, buf, len);
}

void TIdSocketHandle::ResetHandle(bool resetLocal) {
    m_hasSocket = false;
    m_socket = Id_INVALID_SOCKET;
    m_remoteIP.clear();
    m_remotePort = 0;
    if (resetLocal) {
        m_ip.clear();
        m_port = 0;
    }
}

void TIdSocketHandle::AdoptSocket(TIdStackSocketHandle socket) {
    ReleaseSocket();
    m_socket = socket;
    m_hasSocket = true;
}
