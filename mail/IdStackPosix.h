#pragma once
#include "mail/IdStack.h"

// The stack over POSIX sockets. errno and resolver failures are reported as the Windows
// Sockets numbers of the error table, so messages read the same on every platform.
class TIdStackPosix : public TIdStack {
  public:
    TIdStackPosix();

    TIdStackSocketHandle WSSocket(int family, int type, int protocol) override;
    int WSBind(TIdStackSocketHandle s, const TIdSockAddr& addr) override;
    int WSConnect(TIdStackSocketHandle s, const TIdSockAddr& addr) override;
    int WSSend(TIdStackSocketHandle s, const void* buf, int len) override;
    int WSRecv(TIdStackSocketHandle s, void* buf, int len) override;
    int WSSelect(std::vector<TIdStackSocketHandle>* read, std::vector<TIdStackSocketHandle>* write,
                 std::vector<TIdStackSocketHandle>* except, int timeoutMs) override;
    int WSShutdown(TIdStackSocketHandle s, int how) override;
    int WSCloseSocket(TIdStackSocketHandle s) override;
    int WSSetSockOpt(TIdStackSocketHandle s, int level, int name, const void* value,
                     int len) override;
    int WSGetSockName(TIdStackSocketHandle s, TIdSockAddr& addr) override;
    int WSGetPeerName(TIdStackSocketHandle s, TIdSockAddr& addr) override;
    std::string WSGetHostByName(const std::string& host) override;
    int WSGetLastError() override;
    void WSSetLastError(int error) override;
    std::string LocalHostName() override;

    // Knows 11001 "Host not found." before the common table.
    std::string SocketErrorText(int error) const override;
};

// The Windows Sockets number for an errno value (0 stays 0; a value without a counterpart
// is passed on unchanged, so its message carries the number and no text).
int IdErrnoToWinsock(int err);
