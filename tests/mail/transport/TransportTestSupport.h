#pragma once
#include "mail/IdTCPClient.h"
#include "tests/support/net/LoopbackServer.h"

#include <optional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace veldrano::test {

// The exception of type E that f throws, or nothing (and a test failure) when it throws none.
template <class E, class F> std::optional<E> Thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "expected " << typeid(E).name() << " to be thrown";
    return std::nullopt;
}

// The message of the E that f throws.
template <class E, class F> std::string ErrorText(F&& f) {
    const std::optional<E> e = Thrown<E>(std::forward<F>(f));
    return e ? e->what() : "(nothing thrown)";
}

// Status texts as an attached OnStatus handler sees them.
struct StatusLog {
    std::vector<std::string> texts;
    TIdStatusEvent handler() {
        return [this](TIdComponent&, TIdStatus, const std::string& text) { texts.push_back(text); };
    }
};

// A client aimed at the scripted server, with its status texts logged.
struct ClientOnServer {
    LoopbackServer server;
    TIdTCPClient client;
    StatusLog status;

    ClientOnServer() {
        client.SetHost(LoopbackServer::host());
        client.SetPort(server.port());
        client.OnStatus = status.handler();
    }
    void connect() { client.ConnectToHost(); }
};

// A transport whose results the test chooses, for failures real sockets cannot be made to
// produce on demand.
class ScriptedIOHandler : public TIdIOHandler {
  public:
    bool open = true;
    int sendResult = 0; // returned by Send; -1 sets sendError first
    int sendError = 0;
    std::string sent;

    void CloseHandler() override { open = false; }
    bool IsConnected() override { return open; }
    bool WaitReadable(int) override { return true; }
    int Receive(void*, int) override { return 0; }
    int Send(const void* buf, int len) override;
};

// A port on 127.0.0.1 where nothing listens (bound, never listening).
class UnusedPort {
  public:
    UnusedPort();
    ~UnusedPort();
    int port() const { return m_port; }

  private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace veldrano::test
