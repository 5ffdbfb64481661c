#include "mail/IdMessageClient.h"
#include "mail/IdTexts.h"

#include <algorithm>

namespace {

// Body bytes gathered per send: large enough that the kernel, not a send per line, paces a
// big message, small enough to keep memory use flat.
constexpr std::size_t kBodyChunk = 256 * 1024;

// Ends the work report of a mode however the scope is left.
class WorkScope {
  public:
    WorkScope(TIdComponent& component, TWorkMode mode) : m_component(component), m_mode(mode) {
        m_component.BeginWork(m_mode, 0);
    }
    ~WorkScope() { m_component.EndWork(m_mode); }
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

  private:
    TIdComponent& m_component;
    TWorkMode m_mode;
};

std::string ConvertToIso2022Jp(std::string_view line) {
    return ShiftJisToIso2022Jp(line);
}

} // namespace

void TIdMessageClient::TransmitMessage(TIdMessage& message, bool headersOnly) {
    // The program sends text alone and has no multipart writer: nothing half right goes out.
    if (message.PartList().Count() > 0)
        throw EIdMessageException(IdTexts::PartsNotSent);
    if (message.NoEncode()) {
        WriteLines(message.MessageHeaders().Lines());
        WriteLine("");
        if (!headersOnly)
            WriteLines(message.Body());
        return;
    }
    TransmitHeaderBlock(message);
    WriteLine("");
    if (!headersOnly)
        TransmitBody(message);
}

void TIdMessageClient::TransmitHeaderBlock(TIdMessage& message) {
    const TIdHeaderList headers = message.BuildHeaderLines();
    // One send for the whole block; PutHeader and Add keep CR and LF out of every line.
    std::string block;
    for (const std::string& line : headers) {
        block += line;
        block += "\r\n";
    }
    WriteText(block);
}

void TIdMessageClient::TransmitBody(TIdMessage& message) {
    const TTransfer transfer = ChooseHeaderEncoding(message.Locale()).Transfer;
    WorkScope work(*this, wmWrite);
    ReportStatus(hsStatusText, {IdTexts::EncodingText});
    auto* convert = transfer == TTransfer::iso2022jp ? &ConvertToIso2022Jp : nullptr;
    const std::optional<TIdBodyEncoding> encoding = message.AutomaticBodyEncoding();
    if (encoding && (encoding->QuotedPrintable || convert)) {
        std::vector<std::string> lines;
        for (const std::string& line : message.Body()) {
            if (FindLineBreak(line) == std::string::npos)
                AppendBodyLine(line, *encoding, message.Locale(), lines);
            else
                for (const std::string& piece : SplitTextLines(line))
                    AppendBodyLine(piece, *encoding, message.Locale(), lines);
        }
        WriteStuffedLines(lines);
    } else if (convert) {
        WriteStuffedLines(message.Body(), convert);
    } else {
        WriteBodyLines(message);
    }
}

void TIdMessageClient::WriteBodyLines(TIdMessage& message) {
    WriteStuffedLines(message.Body());
}

void TIdMessageClient::WriteStuffedLines(const std::vector<std::string>& lines,
                                         std::string (*convert)(std::string_view)) {
    const std::size_t chunk = kBodyChunk;
    std::size_t total = 0;
    for (const std::string& line : lines)
        total += line.size() + 3;
    std::string out;
    out.reserve(std::min(total, chunk) + 1024);
    auto put = [&](std::string_view piece) {
        std::string converted;
        if (convert) {
            converted = convert(piece);
            piece = converted;
        }
        // RFC 5321 4.5.2: a line that begins with "." gets one more, so a line of one "."
        // never ends the data. Judged after conversion, which may drop leading bytes.
        if (!piece.empty() && piece.front() == '.')
            out += '.';
        out += piece;
        out += "\r\n";
        if (out.size() >= chunk) {
            WriteText(out);
            out.clear();
        }
    };
    for (const std::string& line : lines) {
        if (FindLineBreak(line) == std::string::npos) {
            put(line);
            continue;
        }
        for (const std::string& piece : SplitTextLines(line))
            put(piece);
    }
    WriteText(out);
}
