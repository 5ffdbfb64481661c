#include "mail/IdTCPConnection.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {
const std::string kLF = "\n";

// Reply codes are ASCII; the C library's locale-aware tolower is needlessly slow here.
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

TIdTCPConnection::TIdTCPConnection() {
    m_pendingInput.BytesRemovedHandler = [this](std::size_t n) {
        DoWork(wmRead, static_cast<std::int64_t>(n));
    };
}

TIdTCPConnection::~TIdTCPConnection() {
    DropSocket();
    SetIOHandler(nullptr);
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler, bool owns) {
    std::lock_guard<std::mutex> lock(m_handlerLock);
    if (handler && m_interrupted)
        handler->Interrupt();
    if (m_ioHandler && m_ioHandler != handler) {
        m_ioHandler->SetFreeNotification(nullptr);
        m_ownedHandler.reset(); // frees the old handler only when it was ours
    }
    m_ioHandler = handler;
    if (!handler)
        return;
    if (owns && m_ownedHandler.get() != handler)
        m_ownedHandler.reset(handler);
    handler->SetFreeNotification([this](TIdIOHandler* gone) {
        if (m_ioHandler == gone)
            m_ioHandler = nullptr;
        if (m_ownedHandler.get() == gone)
            (void)m_ownedHandler.release(); // it is being destroyed already
    });
}

// --- Ending an operation from another thread -----------------------------------------------

void TIdTCPConnection::Interrupt() {
    std::lock_guard<std::mutex> lock(m_handlerLock);
    m_interrupted = true;
    if (m_ioHandler)
        m_ioHandler->Interrupt();
}

void TIdTCPConnection::ResetInterrupt() {
    std::lock_guard<std::mutex> lock(m_handlerLock);
    m_interrupted = false;
    if (m_ioHandler)
        m_ioHandler->ResetInterrupt();
}

void TIdTCPConnection::CheckInterrupted() const {
    if (m_interrupted)
        throw EIdOperationCancelled();
}

// --- Connection state -----------------------------------------------------------------------

void TIdTCPConnection::CheckDisconnected(bool raiseIfDisconnected, bool ignoreBuffer) {
    bool disconnected;
    if (m_peerClosed || !m_ioHandler) {
        disconnected = m_ioHandler != nullptr;
        if (m_ioHandler && m_ioHandler->IsConnected()) {
            DropSocket();
            ReportStatus(hsDisconnected);
            DoOnDisconnected();
        }
    } else {
        disconnected = !m_ioHandler->IsConnected();
    }
    if (disconnected && raiseIfDisconnected && (m_pendingInput.Size() == 0 || ignoreBuffer))
        throw EIdConnClosedGracefully();
}

bool TIdTCPConnection::IsConnected() {
    CheckDisconnected(false, false);
    return m_ioHandler && m_ioHandler->IsConnected();
}

void TIdTCPConnection::CloseConnection() {
    ReportStatus(hsDisconnecting);
    DropSocket();
    if (m_ownedHandler)
        SetIOHandler(nullptr);
    DoOnDisconnected();
    ReportStatus(hsDisconnected);
}

void TIdTCPConnection::DropSocket() {
    if (!m_ioHandler)
        return;
    m_peerClosed = true;
    m_ioHandler->CloseHandler();
}

void TIdTCPConnection::ResetInput() {
    m_pendingInput.Clear();
    m_peerClosed = false;
}

void TIdTCPConnection::DoOnDisconnected() {
    if (OnDisconnected)
        OnDisconnected(*this);
}

// --- Reading --------------------------------------------------------------------------------

int TIdTCPConnection::FillInputBuffer(bool raiseIfDisconnected, int timeout, bool raiseOnTimeout) {
    if (timeout == -1)
        timeout = m_readTimeout == 0 ? Id_TIMEOUT_INFINITE : m_readTimeout;
    CheckDisconnected(raiseIfDisconnected, false);
    if (!IsConnected()) {
        if (raiseIfDisconnected)
            throw EIdNotConnected();
        return 0;
    }
    TIdStack& stack = Stack();
    int result = 0;
    int n = 0;
    do {
        CheckInterrupted();
        if (!m_ioHandler->WaitReadable(timeout)) {
            if (raiseOnTimeout)
                throw EIdReadTimeout();
            return -1;
        }
        // Received straight into the input buffer: no scratch copy.
        char* space = m_pendingInput.Reserve(static_cast<std::size_t>(m_recvBufferSize));
        n = m_ioHandler->Receive(space, m_recvBufferSize);
        // The shut-down socket of an interrupt reads as a close or a failure.
        if (n <= 0)
            CheckInterrupted();
        m_peerClosed = n == 0;
        // A closed or aborted socket leaves buffered bytes readable; only an empty buffer
        // turns it into an error.
        if (n != 0 && stack.CheckSocketResult(n, {IdErr::Shutdown, IdErr::ConnectionAborted})) {
            DropSocket();
            if (m_pendingInput.Size() == 0)
                stack.RaiseSocketFailure(stack.LastSocketError());
            n = 0;
        }
        if (n > 0)
            m_pendingInput.Commit(static_cast<std::size_t>(n));
        CheckDisconnected(raiseIfDisconnected, false);
        result = n;
    } while (n == 0 && IsConnected());
    return result;
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeout,
                                       int maxLineLength) {
    std::string line;
    ReadLineTo(line, terminator, timeout, maxLineLength);
    return line;
}

void TIdTCPConnection::ReadLineTo(std::string& line, const std::string& terminator, int timeout,
                                  int maxLineLength) {
    if (maxLineLength == -1)
        maxLineLength = m_maxLineLength;
    const std::string& term = terminator.empty() ? kLF : terminator;
    // 0 (or any other non-positive length) means no limit.
    const bool limited = maxLineLength > 0;
    const auto limit = static_cast<std::size_t>(limited ? maxLineLength : 0);

    std::size_t found = std::string::npos;
    std::size_t scanned = 0;
    for (;;) {
        if (m_pendingInput.Size() > 0) {
            const std::string_view data = m_pendingInput.View();
            // Bytes searched in an earlier pass are not searched again.
            const std::size_t from = scanned >= term.size() - 1 ? scanned - (term.size() - 1) : 0;
            found = term.size() == 1 ? data.find(term[0], from) : data.find(term, from);
            scanned = data.size();
        }
        if (found != std::string::npos && !(limited && found > limit))
            break;
        if (found != std::string::npos || (limited && scanned > limit)) {
            // Over-long line.
            if (m_maxLineAction == maException)
                throw EIdReadLnMaxLineLengthExceeded();
            line.assign(m_pendingInput.Memory(), limit);
            m_pendingInput.DropBytes(limit);
            return;
        }
        CheckDisconnected(true, true);
        if (FillInputBuffer(true, timeout, timeout == -1) == 0) {
            line.clear();
            return;
        }
    }
    std::size_t length = found;
    if (term == kLF && length > 0 && m_pendingInput.Memory()[length - 1] == '\r')
        --length;
    line.assign(m_pendingInput.Memory(), length);
    m_pendingInput.DropBytes(found + term.size());
}

std::string TIdTCPConnection::ReadNonBlankLine(int failCount) {
    std::string line;
    ReadNonBlankLineTo(line, failCount);
    return line;
}

void TIdTCPConnection::ReadNonBlankLineTo(std::string& line, int failCount) {
    line.clear();
    for (int i = 0; i < failCount && line.empty(); ++i) {
        ReadLineTo(line, kLF, -1, -1);
        IdTrimControlsInPlace(line);
    }
}

void TIdTCPConnection::ReadBytes(void* buffer, int count) {
    if (count <= 0 || !buffer)
        return;
    const auto want = static_cast<std::size_t>(count);
    while (m_pendingInput.Size() < want) {
        FillInputBuffer(true, -1, true);
        CheckDisconnected(true, true);
    }
    std::memcpy(buffer, m_pendingInput.Memory(), want);
    m_pendingInput.DropBytes(want);
}

std::string TIdTCPConnection::ReadBytes(int count) {
    std::string bytes(static_cast<std::size_t>(std::max(count, 0)), '\0');
    ReadBytes(bytes.data(), count);
    return bytes;
}

// --- Writing --------------------------------------------------------------------------------

void TIdTCPConnection::WriteText(const std::string& text) {
    if (text.empty())
        return;
    WriteBytes(text.data(), text.size());
}

void TIdTCPConnection::WriteLine(const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos)
        throw EIdUnsafeLine();
    WriteText(text + "\r\n");
}

void TIdTCPConnection::WriteLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        WriteLine(line);
}

void TIdTCPConnection::WriteBytes(const void* buffer, std::size_t count) {
    if (count == 0 || !buffer)
        return;
    CheckDisconnected(true, true);
    if (!IsConnected())
        throw EIdNotConnected();
    TIdStack& stack = Stack();
    const char* bytes = static_cast<const char*>(buffer);
    std::size_t pos = 0;
    do {
        const int piece = static_cast<int>(std::min<std::size_t>(count - pos, INT_MAX));
        CheckInterrupted();
        const int n = m_ioHandler->Send(bytes + pos, piece);
        if (n <= 0)
            CheckInterrupted();
        m_peerClosed = n == 0;
        CheckDisconnected(true, false);
        if (stack.CheckSocketResult(
                n, {IdErr::Shutdown, IdErr::ConnectionAborted, IdErr::ConnectionReset})) {
            DropSocket();
            stack.RaiseSocketFailure(stack.LastSocketError());
        }
        DoWork(wmWrite, n);
        pos += static_cast<std::size_t>(n);
    } while (pos < count);
}

// --- Commands and replies -------------------------------------------------------------------

std::int16_t TIdTCPConnection::SendCommand(const std::string& out, const TIdReplyCodes& allowed) {
    WriteLine(out);
    return ReadReply(allowed);
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& out, std::int16_t code) {
    return code == -1 ? SendCommand(out, TIdReplyCodes{}) : SendCommand(out, TIdReplyCodes{code});
}

std::int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& allowed) {
    ReceiveReply();
    return CheckReplyCode(static_cast<std::int16_t>(m_lastReply.NumericCode()), allowed);
}

void TIdTCPConnection::ReceiveReply() {
    std::size_t count = 0, linesRead = 0, bytesRead = 0;
    auto readNext = [&]() -> const std::string& {
        if (count == m_replyLines.size())
            m_replyLines.emplace_back();
        std::string& line = m_replyLines[count];
        do {
            ReadLineTo(line, kLF, -1, -1);
            bytesRead += line.size() + 1;
            if (++linesRead > MaxReplyLines || bytesRead > MaxReplyBytes) {
                DropSocket();
                throw EIdReplyTooLong();
            }
            IdTrimControlsInPlace(line);
        } while (line.empty()); // blank lines are skipped
        ++count;
        return line;
    };
    const std::string first = readNext().substr(0, 4);
    if (first.size() > 3 && first[3] == '-') {
        const std::string terminator = first.substr(0, 3) + " ";
        for (;;) {
            const std::string& line = readNext();
            if (line.size() < 4)
                break;
            const bool last =
                std::equal(terminator.begin(), terminator.end(), line.begin(),
                           [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
            if (last)
                break;
        }
    }
    // Only a complete reply replaces the last one.
    m_lastReply.ParseReply(m_replyLines.data(), count);
}

std::int16_t TIdTCPConnection::CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed) {
    if (allowed.empty() || std::find(allowed.begin(), allowed.end(), code) != allowed.end())
        return code;
    RaiseReplyError();
    // Never accept a refused code, even from an override that forgot to throw.
    throw EIdProtocolReplyError(m_lastReply.NumericCode(), m_lastReply.PrintableText());
}

void TIdTCPConnection::RaiseReplyError() {
    throw EIdProtocolReplyError(m_lastReply.NumericCode(), m_lastReply.PrintableText());
}
