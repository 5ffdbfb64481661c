#include "mail/IdComponent.h"
#include "mail/IdTexts.h"
#include "mail/IdStackPosix.h"

#include <memory>
#include <mutex>

namespace {

std::mutex StackLock;
int StackUsersCount = 0;
std::unique_ptr<TIdStack> SocketStack;
// Set when the first stack is made and never cleared: the platform is started once.
bool StackStartedFlag = false;

std::string FormatStatus(const char* format, const std::vector<std::string>& args) {
    std::string out;
    std::size_t next = 0;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            if (next < args.size())
                out += args[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

const char* IdStatusText(TIdStatus status) {
    const auto i = static_cast<std::size_t>(status);
    return i < std::size(IdTexts::StatusTexts) ? IdTexts::StatusTexts[i] : "%s";
}

TIdComponent::TIdComponent() {
    std::lock_guard<std::mutex> lock(StackLock);
    if (StackUsersCount == 0) {
        SocketStack = std::make_unique<TIdStackPosix>();
        StackStartedFlag = true;
    }
    ++StackUsersCount;
}

TIdComponent::~TIdComponent() {
    std::lock_guard<std::mutex> lock(StackLock);
    if (--StackUsersCount == 0)
        SocketStack.reset();
}

TIdStack& TIdComponent::Stack() {
    return *SocketStack;
}

int TIdComponent::StackUsers() {
    std::lock_guard<std::mutex> lock(StackLock);
    return StackUsersCount;
}

bool TIdComponent::HasSocketStack() {
    std::lock_guard<std::mutex> lock(StackLock);
    return SocketStack != nullptr;
}

bool TIdComponent::StackStarted() {
    std::lock_guard<std::mutex> lock(StackLock);
    return StackStartedFlag;
}

void TIdComponent::ReportStatus(TIdStatus status, const std::vector<std::string>& args) {
    if (OnStatus)
        OnStatus(*this, status, FormatStatus(IdStatusText(status), args));
}

void TIdComponent::BeginWork(TWorkMode mode, std::int64_t maximum) {
    WorkState& w = m_work[mode];
    if (++w.level == 1) {
        w.maximum = maximum;
        w.count = 0;
        if (OnWorkBegin)
            OnWorkBegin(*this, mode, maximum);
    }
}

void TIdComponent::DoWork(TWorkMode mode, std::int64_t count) {
    WorkState& w = m_work[mode];
    if (w.level < 1)
        return;
    w.count += count;
    if (OnWork)
        OnWork(*this, mode, w.count);
}

void TIdComponent::EndWork(TWorkMode mode) {
    WorkState& w = m_work[mode];
    if (w.level == 1 && OnWorkEnd)
        OnWorkEnd(*this, mode);
    // An unbalanced end must not drive the level negative and mute later begins.
    if (w.level > 0)
        --w.level;
}
