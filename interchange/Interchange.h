#pragma once
#include "book/ContactRecord.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veldrano {

// A file of another program's format (vCard, CSV) that cannot be read as contacts, or a
// contact that cannot become a record of the program. The message is Spanish text for the
// user; `line()` is the line of the input it concerns, from 1 (0 when none applies).
class InterchangeError : public std::runtime_error {
  public:
    InterchangeError(size_t line, const std::string& message)
        : std::runtime_error(message), m_line(line) {}
    size_t line() const { return m_line; }

  private:
    size_t m_line;
};

// Receives each contact a reader finds, in file order: the eleven fields in UTF-8 (one line
// each) and the line of the input where the contact starts.
using ContactSink = std::function<void(ContactRecord&& utf8, size_t line)>;

// A field holds one line: each line break (CR LF, CR or LF) inside an imported value becomes
// one space.
void JoinValueLines(std::string& value);

// The first of the bytes `Set` in `text` from `pos`, or text.size(). Standard find_first_of
// looks each byte up in the set through a library call, which was most of a large import;
// this looks at eight bytes at a time.
template <char... Set> size_t FindAnyOf(std::string_view text, size_t pos = 0) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    // The high bit of each byte that is zero; the lowest one set is exact (a false one can
    // only follow a true one).
    const auto zeroBytes = [](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
    for (; pos + 8 <= text.size(); pos += 8) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        const uint64_t found = (zeroBytes(word ^ (kOnes * static_cast<unsigned char>(Set))) | ...);
        if (found == 0)
            continue;
        if constexpr (std::endian::native == std::endian::little)
            return pos + static_cast<size_t>(std::countr_zero(found)) / 8;
        break;
    }
    for (; pos < text.size(); ++pos)
        if (((text[pos] == Set) || ...))
            return pos;
    return text.size();
}

} // namespace veldrano
