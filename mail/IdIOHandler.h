#pragma once
#include "mail/IdComponent.h"
#include "mail/IdSocketHandle.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The transport under a connection: open, connect, wait, move bytes, close.
class TIdIOHandler : public TIdComponent {
  public:
    TIdIOHandler() = default;
    ~TIdIOHandler() override;

    // Closes the transport; never throws.
    virtual void CloseHandler() {}
    // Opens, binds and connects (timeout in ms: -1 or 0 = the system's own, -2 = no limit).
    virtual void ConnectSocket(const std::string& host, int port, int timeout, int boundPortMax,
                               int boundPortMin, int boundPort, const std::string& boundIP) {
        (void)host, (void)port, (void)timeout, (void)boundPortMax, (void)boundPortMin,
            (void)boundPort, (void)boundIP;
    }
    virtual bool IsConnected() = 0;
    // Prepares the handler for a new connection.
    virtual void OpenHandler() {}
    virtual bool WaitReadable(int msec) = 0;
    // Raw results: byte count, 0 when the peer closed (receive), -1 on failure.
    virtual int Receive(void* buf, int len) = 0;
    virtual int Send(const void* buf, int len) = 0;
    // From any thread: makes what the transport is waiting for (connect, read, write) return
    // at once. The transport is useless afterwards but for closing.
    virtual void Interrupt() {}
    // Forgets an Interrupt, so the transport can connect again.
    virtual void ResetInterrupt() {}

    // Told once when this handler is destroyed, so a connection using it can let go.
    void SetFreeNotification(std::function<void(TIdIOHandler*)> notify) {
        m_freeNotification = std::move(notify);
    }

  private:
    std::function<void(TIdIOHandler*)> m_freeNotification;
};

// Runs one blocking connect of a handle in a worker thread. The waiter may close the socket
// from outside to end a connect that takes too long.
class TIdConnectThread {
  public:
    explicit TIdConnectThread(TIdSocketHandle& handle) : m_handle(handle) {}
    ~TIdConnectThread();
    TIdConnectThread(const TIdConnectThread&) = delete;
    TIdConnectThread& operator=(const TIdConnectThread&) = delete;

    void Start();
    // Waits up to msec for the connect to end; true when it has.
    bool WaitFinished(int msec);
    bool Finished();
    // Marks the thread as told to stop; the connect itself ends when its socket is closed.
    void Terminate() { m_terminateRequested = true; }
    void WaitFor();
    // The connect's failure message; empty when it succeeded.
    const std::string& FailureText() const { return m_failureText; }

  private:
    void Run();

    TIdSocketHandle& m_handle;
    std::string m_failureText;
    std::atomic<bool> m_terminateRequested{false};
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// The socket transport.
class TIdIOHandlerSocket : public TIdIOHandler {
  public:
    TIdIOHandlerSocket() = default;
    ~TIdIOHandlerSocket() override;

    void CloseHandler() override;
    // Allocates, binds, resolves (status "Resolving hostname %s." for a real lookup), reports
    // "Connecting to %s." and connects. Throws the socket layer's exceptions.
    void ConnectSocket(const std::string& host, int port, int timeout, int boundPortMax,
                       int boundPortMin, int boundPort, const std::string& boundIP) override;
    bool IsConnected() override;
    void OpenHandler() override;
    // Throws EIdConnClosedGracefully without a socket.
    bool WaitReadable(int msec) override;
    // Throw EIdClosedSocket "Disconnected." without a socket.
    int Receive(void* buf, int len) override;
    int Send(const void* buf, int len) override;
    // Shuts the socket down both ways, which ends a blocked connect, read, wait or write.
    void Interrupt() override;
    void ResetInterrupt() override { m_interrupted = false; }

    // Connect in a worker thread, waiting in 125 ms steps; throws EIdConnectTimeout when the
    // time is up (the socket is closed then) or EIdConnectException with the failure.
    void ConnectWithTimeout(int timeout);

    TIdSocketHandle* SocketHandle() { return m_socketHandle.get(); }
    bool UseNagle() const { return m_useNagle; }
    void SetUseNagle(bool use) { m_useNagle = use; }

    // Step of the connect wait: the waiter checks the worker this often.
    static constexpr int ConnectWaitStepMs = 125;

  private:
    std::unique_ptr<TIdSocketHandle> m_socketHandle;
    bool m_useNagle = true;
    // Held while the socket is made or released, so Interrupt never shuts down a socket
    // number that has been closed and given to someone else.
    std::mutex m_socketLock;
    std::atomic<bool> m_interrupted{false};
};
