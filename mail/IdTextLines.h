#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The position of the first CR or LF at or after pos, or npos.
std::size_t FindLineBreak(std::string_view text, std::size_t pos = 0);

// Splits a text into lines at CR LF, a lone CR or a lone LF; a final line end adds no line.
std::vector<std::string> SplitTextLines(const std::string& text);
