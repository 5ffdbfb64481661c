#pragma once
#include "mail/IdTCPConnection.h"

#include <functional>
#include <string>

// A connection that knows its target and connects to it.
class TIdTCPClient : public TIdTCPConnection {
  public:
    TIdTCPClient() = default;

    const std::string& Host() const { return m_host; }
    virtual void SetHost(const std::string& host) { m_host = host; }
    int Port() const { return m_port; }
    virtual void SetPort(int port) { m_port = port; }
    const std::string& BoundIP() const { return m_boundIP; }
    void SetBoundIP(const std::string& ip) { m_boundIP = ip; }
    int BoundPort() const { return m_boundPort; }
    void SetBoundPort(int port) { m_boundPort = port; }
    int BoundPortMin() const { return m_boundPortMin; }
    int BoundPortMax() const { return m_boundPortMax; }
    void SetBoundPortRange(int min, int max) {
        m_boundPortMin = min;
        m_boundPortMax = max;
    }

    std::function<void(TIdTCPClient& sender)> OnConnected;

    // Opens the connection to Host:Port (timeout in ms; -1 = the system's own connect
    // time-out). Throws EIdAlreadyConnected when connected (nothing changes then); any other
    // failure closes the socket and reaches the caller unchanged.
    virtual void ConnectToHost(int timeout = -1);

  protected:
    virtual void DoOnConnected();

  private:
    std::string m_host;
    int m_port = 0;
    std::string m_boundIP;
    int m_boundPort = 0;
    int m_boundPortMin = 0;
    int m_boundPortMax = 0;
};
