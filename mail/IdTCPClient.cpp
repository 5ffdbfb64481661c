#include "mail/IdTCPClient.h"

void TIdTCPClient::ConnectToHost(int timeout) {
    CheckInterrupted();
    if (!IOHandler()) {
        auto* handler = new TIdIOHandlerSocket();
        handler->OnStatus = OnStatus;
        SetIOHandler(handler, true);
    } else if (IOHandler()->IsConnected()) {
        throw EIdAlreadyConnected();
    }
    try {
        IOHandler()->OpenHandler();
        ResetInput();
        IOHandler()->ConnectSocket(m_host, m_port, timeout, m_boundPortMax, m_boundPortMin,
                                   m_boundPort, m_boundIP);
        ReportStatus(hsConnected, {m_host});
        DoOnConnected();
    } catch (...) {
        DropSocket();
        CheckInterrupted(); // whatever the interrupted call made of it
        throw;
    }
}

void TIdTCPClient::DoOnConnected() {
    if (OnConnected)
        OnConnected(*this);
}
