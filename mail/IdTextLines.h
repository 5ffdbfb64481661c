#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The position of the first CR or LF at or after pos, or npos.
std::size_t FindLineBreak(std::string_view text, std::size_t pos = 0);

// Calls line(std::string_view) for every line of a text as SplitTextLines cuts it, without
// a string per line.
template <class F> void ForEachTextLine(std::string_view text, F&& line) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = FindLineBreak(text, start);
        if (end == std::string_view::npos) {
            line(text.substr(start));
            return;
        }
        line(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
}

// Splits a text into lines at CR LF, a lone CR or a lone LF; a final line end adds no line.
std::vector<std::string> SplitTextLines(std::string_view text);
