#include "mail/IdIOHandler.h"

#include <chrono>

TIdIOHandler::~TIdIOHandler() {
    if (m_freeNotification)
        m_freeNotification(this);
}

// --- TIdConnectThread -----------------------------------------------------------------------

TIdConnectThread::~TIdConnectThread() {
    // Never leave a worker running on a handle that is about to go.
    WaitFor();
}

void TIdConnectThread::Start() {
    m_thread = std::thread([this] { Run(); });
}

void TIdConnectThread::Run() {
    try {
        const int rc = m_handle.ConnectPeer(Id_PF_INET);
        // A socket closed from outside on time-out reads as a bad or non-socket.
        TIdComponent::Stack().CheckSocketResult(rc, {IdErr::BadFile, IdErr::NotSocket});
    } catch (const std::exception& e) {
        m_failureText = e.what();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    m_done.notify_all();
}

bool TIdConnectThread::WaitFinished(int msec) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_done.wait_for(lock, std::chrono::milliseconds(msec), [this] { return m_finished; });
}

bool TIdConnectThread::Finished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}

void TIdConnectThread::WaitFor() {
    if (m_thread.joinable())
        m_thread.join();
}

// --- TIdIOHandlerSocket ---------------------------------------------------------------------

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
    CloseHandler();
}

void TIdIOHandlerSocket::CloseHandler() {
    std::lock_guard<std::mutex> lock(m_socketLock);
    if (m_socketHandle)
        m_socketHandle->ReleaseSocket();
}

void TIdIOHandlerSocket::Interrupt() {
    std::lock_guard<std::mutex> lock(m_socketLock);
    m_interrupted = true;
    if (m_socketHandle && m_socketHandle->HasSocket())
        Stack().WSShutdown(m_socketHandle->SocketNumber(), Id_SD_Both);
}

void TIdIOHandlerSocket::ConnectSocket(const std::string& host, int port, int timeout,
                                       int boundPortMax, int boundPortMin, int boundPort,
                                       const std::string& boundIP) {
    if (!m_socketHandle)
        m_socketHandle = std::make_unique<TIdSocketHandle>();
    TIdSocketHandle& h = *m_socketHandle;
    h.SetFamily(TIdStack::IsIPv6Address(host) ? Id_PF_INET6 : Id_PF_INET);
    {
        std::lock_guard<std::mutex> lock(m_socketLock);
        h.OpenSocket(Id_SOCK_STREAM, 0);
    }
    h.SetIP(boundIP);
    h.SetPort(boundPort);
    h.SetClientPortMin(boundPortMin);
    h.SetClientPortMax(boundPortMax);
    h.BindLocal();

    TIdStack& stack = Stack();
    // Reported only when a lookup happens: localhost and dotted quads need none.
    if (!TIdStack::IsDottedQuad(host) && !TIdStack::IsIPv6Address(host) &&
        !TIdStack::IsLocalHostAlias(host))
        ReportStatus(hsResolving, {host});
    h.SetPeerAddress(stack.ResolveHostName(host), port);
    if (!m_useNagle) {
        const int one = 1;
        stack.CheckSocketResult(
            stack.WSSetSockOpt(h.SocketNumber(), Id_IPPROTO_TCP, Id_TCP_NODELAY, &one, 4));
    }
    ReportStatus(hsConnecting, {h.RemoteIP()});
    if (m_interrupted) // too late for the shutdown to reach the connect below
        throw EIdClosedSocket();
    if (timeout != -1 && timeout != 0)
        ConnectWithTimeout(timeout);
    else
        stack.CheckSocketResult(h.ConnectPeer(Id_PF_INET));
}

bool TIdIOHandlerSocket::IsConnected() {
    return m_socketHandle && m_socketHandle->HasSocket();
}

void TIdIOHandlerSocket::OpenHandler() {
    std::lock_guard<std::mutex> lock(m_socketLock);
    if (m_socketHandle) {
        // A socket still held would leak when the handle forgets its number.
        m_socketHandle->ReleaseSocket();
        m_socketHandle->ResetHandle(true);
    } else {
        m_socketHandle = std::make_unique<TIdSocketHandle>();
    }
}

bool TIdIOHandlerSocket::WaitReadable(int msec) {
    if (!m_socketHandle)
        throw EIdConnClosedGracefully();
    return m_socketHandle->WaitReadable(msec);
}

int TIdIOHandlerSocket::Receive(void* buf, int len) {
    if (!IsConnected())
        throw EIdClosedSocket();
    return m_socketHandle->Receive(buf, len);
}

int TIdIOHandlerSocket::Send(const void* buf, int len) {
    if (!IsConnected())
        throw EIdClosedSocket();
    return m_socketHandle->Send(buf, len);
}

void TIdIOHandlerSocket::ConnectWithTimeout(int timeout) {
    if (!IsConnected()) // no socket allocated to connect
        throw EIdClosedSocket();
    const int step = ConnectWaitStepMs;
    TIdConnectThread worker(*m_socketHandle);
    worker.Start();

    int remaining = timeout == Id_TIMEOUT_INFINITE ? step + 1 : timeout;
    while (remaining > step) {
        if (worker.WaitFinished(step)) {
            remaining = 0;
            break;
        }
        remaining = timeout == Id_TIMEOUT_INFINITE ? step + 1 : remaining - step;
    }
    if (remaining > 0)
        worker.WaitFinished(remaining);

    if (!worker.Finished()) {
        worker.Terminate();
        CloseHandler(); // makes the blocked connect return
        worker.WaitFor();
        throw EIdConnectTimeout();
    }
    worker.WaitFor();
    if (!worker.FailureText().empty())
        throw EIdConnectException(worker.FailureText());
}
