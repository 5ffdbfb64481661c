#include "mail/IdTextLines.h"

#include <bit>
#include <cstdint>
#include <cstring>

std::size_t FindLineBreak(std::string_view text, std::size_t pos) {
    // Sixteen bytes compared at once: body lines are short, so two memchr calls per line
    // cost more in calls than in scanning. The vector type is the compiler's own, so it
    // builds the fastest compare of the machine.
    using Block = char __attribute__((vector_size(16)));
    if (pos >= text.size())
        return std::string_view::npos;
    const char* p = text.data() + pos;
    const char* const end = text.data() + text.size();
    for (; end - p >= 16; p += 16) {
        Block bytes;
        std::memcpy(&bytes, p, sizeof bytes);
        const auto hits = (bytes == '\r') | (bytes == '\n'); // 0xFF where a break is
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, sizeof halves);
        if ((halves[0] | halves[1]) == 0)
            continue;
        const std::size_t at = static_cast<std::size_t>(p - text.data());
        if constexpr (std::endian::native == std::endian::little)
            return at +
                   (halves[0] ? std::countr_zero(halves[0]) : 64 + std::countr_zero(halves[1])) / 8;
        else
            return at +
                   (halves[0] ? std::countl_zero(halves[0]) : 64 + std::countl_zero(halves[1])) / 8;
    }
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n')
            return static_cast<std::size_t>(p - text.data());
    return std::string_view::npos;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachTextLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}
