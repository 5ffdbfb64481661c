#pragma once
#include <cstddef>
#include <string>

// RFC 5321: a text line is at most 998 bytes before its CR LF.
inline constexpr size_t kMaxBodyLineLength = 998;

// The body text as it goes out: the lines of `text` (ended by CR LF, a lone CR or a lone
// LF) joined by CR LF, every line longer than `limit` bytes broken after its last space
// within the limit; a run without a space is cut at the limit, never inside a two-byte
// character of the program's code page. Every byte of the text is kept.
std::string BreakLongBodyLines(const std::string& text, size_t limit = kMaxBodyLineLength);
