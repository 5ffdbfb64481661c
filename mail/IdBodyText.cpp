#include "mail/IdBodyText.h"

#include "text/CodePage.h"

namespace {

// The longest piece of `line` from `start` that fits in `limit` bytes and ends at a place a
// reader can break: after a space, or else before a character boundary.
size_t PieceLength(const std::string& line, size_t start, size_t limit, int codePage) {
    size_t lastBoundary = 0, lastSpace = 0;
    size_t i = start;
    while (i < line.size() && i - start < limit) {
        size_t width = veldrano::IsLeadByte(codePage, static_cast<unsigned char>(line[i])) &&
                               i + 1 < line.size()
                           ? 2
                           : 1;
        if (i - start + width > limit)
            break;
        i += width;
        lastBoundary = i - start;
        if (line[i - 1] == ' ' && width == 1)
            lastSpace = i - start;
    }
    if (lastSpace > 0)
        return lastSpace;
    return lastBoundary > 0 ? lastBoundary : 1;
}

void AppendLine(std::string& out, const std::string& line, size_t limit, int codePage) {
    size_t start = 0;
    while (line.size() - start > limit) {
        size_t n = PieceLength(line, start, limit, codePage);
        out.append(line, start, n);
        out += "\r\n";
        start += n;
    }
    out.append(line, start, std::string::npos);
}

} // namespace

std::string BreakLongBodyLines(const std::string& text, size_t limit) {
    const int codePage = veldrano::CurrentLocale().codePage;
    std::string out;
    out.reserve(text.size() + text.size() / 64);
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        AppendLine(out, line, limit, codePage);
        out += "\r\n";
        line.clear();
    }
    AppendLine(out, line, limit, codePage);
    return out;
}
