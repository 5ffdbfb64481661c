#pragma once
#include "mail/IdStack.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Connection progress reported through OnStatus.
enum TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted
};

enum TWorkMode { wmRead, wmWrite };

class TIdComponent;

using TIdStatusEvent =
    std::function<void(TIdComponent& sender, TIdStatus status, const std::string& text)>;
using TWorkBeginEvent =
    std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t maximum)>;
using TWorkEvent = std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t count)>;
using TWorkEndEvent = std::function<void(TIdComponent& sender, TWorkMode mode)>;

// Base of every mail component. While any component lives, the process shares one socket
// stack: the first component makes it, the last one frees it.
class TIdComponent {
  public:
    TIdComponent();
    virtual ~TIdComponent();
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    // Formats the status text with args ("%s" and "%d" take the next argument) and hands it
    // to OnStatus; does nothing when no handler is attached.
    void ReportStatus(TIdStatus status, const std::vector<std::string>& args = {});

    // Work notifications; nesting is counted per mode and only the outermost begin and end
    // reach the handlers. Work outside a begin/end pair is ignored.
    void BeginWork(TWorkMode mode, std::int64_t maximum = 0);
    void DoWork(TWorkMode mode, std::int64_t count);
    void EndWork(TWorkMode mode);

    // The shared stack; valid while this component lives.
    static TIdStack& Stack();
    // Live components, the stack's presence and whether it was ever started.
    static int StackUsers();
    static bool HasSocketStack();
    static bool StackStarted();

  private:
    struct WorkState {
        int level = 0;
        std::int64_t maximum = 0;
        std::int64_t count = 0;
    };
    WorkState m_work[2];
};

// The status text of a status value before formatting ("Resolving hostname %s.", ...).
const char* IdStatusText(TIdStatus status);
