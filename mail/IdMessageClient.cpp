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

// A run of the text at least this long goes out straight from the text rather than through
// the chunk.
constexpr std::size_t kDirectRun = 64 * 1024;

// Gathers the small pieces of a body into sends of about kBodyChunk; a long run of the
// text is sent where it lies, without a copy.
class ChunkWriter {
  public:
    explicit ChunkWriter(TIdTCPConnection& connection) : m_connection(connection) {}
    void Put(std::string_view piece) {
        if (piece.size() >= kDirectRun) {
            Flush();
            m_connection.WriteBytes(piece.data(), piece.size());
            return;
        }
        m_buffer += piece;
        if (m_buffer.size() >= kBodyChunk)
            Flush();
    }
    void Flush() {
        m_connection.WriteBytes(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

  private:
    TIdTCPConnection& m_connection;
    std::string m_buffer;
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
        auto append = [&](std::string_view line) {
            AppendBodyLine(line, *encoding, message.Locale(), lines);
        };
        if (const auto text = message.BodyText())
            ForEachTextLine(*text, append);
        else
            for (const std::string& line : message.Body()) {
                if (FindLineBreak(line) == std::string::npos)
                    append(line); // also an empty line, which cutting would drop
                else
                    ForEachTextLine(line, append);
            }
        WriteStuffedLines(lines);
    } else if (convert) {
        WriteStuffedLines(message.Body(), convert);
    } else {
        WriteBodyLines(message);
    }
}

void TIdMessageClient::WriteBodyLines(TIdMessage& message) {
    const auto text = message.BodyText();
    if (!text) {
        WriteStuffedLines(message.Body());
    } else if (message.BodyTextScan().WireReady) {
        ChunkWriter out(*this);
        out.Put(*text);
        if (!text->empty() && text->back() != '\n')
            out.Put("\r\n");
        out.Flush();
    } else {
        WriteStuffedText(*text);
    }
}

void TIdMessageClient::WriteStuffedText(std::string_view text) {
    // The wire form differs from the text only where a line begins with "." (stuffed, as
    // below) and at a lone CR or LF (made CR LF); all between goes out as it is.
    ChunkWriter out(*this);
    std::size_t run = 0; // the first byte not yet written
    std::size_t line = 0;
    while (line < text.size()) {
        if (text[line] == '.') {
            out.Put(text.substr(run, line - run));
            out.Put(".");
            run = line;
        }
        const std::size_t end = FindLineBreak(text, line);
        if (end == std::string_view::npos) {
            out.Put(text.substr(run));
            out.Put("\r\n");
            run = text.size();
            break;
        }
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            line = end + 2;
            continue;
        }
        out.Put(text.substr(run, end - run));
        out.Put("\r\n");
        line = run = end + 1;
    }
    out.Put(text.substr(run));
    out.Flush();
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
