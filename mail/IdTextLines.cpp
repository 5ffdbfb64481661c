#include "mail/IdTextLines.h"

#include <algorithm>
#include <cstring>

std::size_t FindLineBreak(std::string_view text, std::size_t pos) {
    // Two memchr calls rather than find_first_of, which tests every byte against the set
    // with a call of its own and dominates the time of a large body.
    if (pos >= text.size())
        return std::string_view::npos;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
    const char* limit = lf ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', limit - begin));
    const char* found = cr ? cr : lf;
    return found ? static_cast<std::size_t>(found - text.data()) : std::string_view::npos;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = FindLineBreak(text, start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}
