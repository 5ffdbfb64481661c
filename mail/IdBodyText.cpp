#include "mail/IdBodyText.h"

#include "mail/IdCoderHeader.h"
#include "mail/IdCoderMIME.h"
#include "mail/IdTextLines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

bool IsJapanese(const veldrano::SystemLocale& locale) {
    return ChooseHeaderEncoding(locale).Transfer == TTransfer::iso2022jp;
}

// Whether any byte of a block of sixteen has its top bit set.
bool AnyHighBit(char __attribute__((vector_size(16))) block) {
    std::uint64_t halves[2];
    std::memcpy(halves, &block, sizeof halves);
    return ((halves[0] | halves[1]) & 0x8080808080808080ULL) != 0;
}

// What the bytes of a body hold, as far as its label and encoding care.
struct BodyBytes {
    bool eightBit = false; // a byte above 0x7F
    bool c1 = false;       // a byte 0x80 to 0x9F, which ISO-8859-1 does not hold
    bool longLine = false; // a line over 998 bytes

    static bool HasHighBit(std::string_view text) {
        using Block = char __attribute__((vector_size(16)));
        Block all{};
        std::size_t i = 0;
        for (; i + sizeof(Block) <= text.size(); i += sizeof(Block)) {
            Block block;
            std::memcpy(&block, text.data() + i, sizeof block);
            all |= block;
        }
        bool any = AnyHighBit(all);
        for (; i < text.size(); ++i)
            any |= (text[i] & 0x80) != 0;
        return any;
    }

    // The common case, ASCII, is one pass of HasHighBit.
    void Scan(std::string_view text) {
        if (HasHighBit(text) && !c1) {
            eightBit = true;
            c1 = std::any_of(text.begin(), text.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 &&
                       static_cast<unsigned char>(c) <= 0x9F;
            });
        }
        if (text.size() > MaxBodyLineLength && !longLine)
            longLine = HasLineLongerThan(text, MaxBodyLineLength);
    }

    // Whether some line is longer than limit. Rather than finding every break, it looks at
    // the last break of each window of limit + 1 bytes, which jumps a dozen short lines a
    // step: a large body is one text here.
    static bool HasLineLongerThan(std::string_view text, std::size_t limit) {
        const char* p = text.data();
        const char* const end = text.data() + text.size();
        while (static_cast<std::size_t>(end - p) > limit) {
            const auto* lf = static_cast<const char*>(::memrchr(p, '\n', limit + 1));
            const auto* cr = static_cast<const char*>(::memrchr(p, '\r', limit + 1));
            if (!lf && !cr)
                return true;
            // Lines that begin before the last break end inside the window.
            p = (!cr || (lf && lf > cr) ? lf : cr) + 1;
        }
        return false;
    }
};

// The IANA name of the narrowest charset that holds the text.
std::string CharsetOf(const BodyBytes& bytes, const veldrano::SystemLocale& locale) {
    if (IsJapanese(locale))
        return "ISO-2022-JP";
    if (!bytes.eightBit)
        return "us-ascii";
    switch (locale.codePage) {
    case 936:
        return "GBK";
    case 949:
        return "EUC-KR";
    case 950:
        return "Big5";
    default:
        return bytes.c1 ? "windows-1252" : "ISO-8859-1";
    }
}

using Block16 = char __attribute__((vector_size(16)));
using Block32 = char __attribute__((vector_size(32)));

// The pairs of neighbouring bytes a body text's wire form cares about, a block at a time: a
// CR not followed by LF or an LF not preceded by CR shows as the two compares differing, a
// "." after LF begins a line. Sets high and bad for the pairs it judged and returns the
// index of the first byte it left for the caller (the first pair ends at 1).

template <class Block>
[[gnu::always_inline]] inline std::size_t ScanPairs(const char* s, std::size_t n, bool& high,
                                                    bool& bad) {
    constexpr std::size_t Width = sizeof(Block);
    Block highBits{}, badBits{};
    std::size_t k = 1;
    for (; k + Width <= n; k += Width) {
        Block prev, cur;
        std::memcpy(&prev, s + k - 1, Width);
        std::memcpy(&cur, s + k, Width);
        highBits |= cur;
        badBits |= ((cur == '\n') ^ (prev == '\r')) | ((cur == '.') & (prev == '\n'));
    }
    std::uint64_t h = 0, b = 0;
    for (std::size_t i = 0; i < Width; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, reinterpret_cast<const char*>(&highBits) + i, 8);
        h |= word;
        std::memcpy(&word, reinterpret_cast<const char*>(&badBits) + i, 8);
        b |= word;
    }
    high = (h & 0x8080808080808080ULL) != 0;
    bad = (b & 0x8080808080808080ULL) != 0;
    return k;
}

#if defined(__x86_64__)
// Twice the width on a processor that has it: the pass runs at about the speed of memory.
[[gnu::target("avx2")]] std::size_t ScanPairsAvx2(const char* s, std::size_t n, bool& high,
                                                  bool& bad) {
    return ScanPairs<Block32>(s, n, high, bad);
}
#endif

std::size_t ScanPairsWidest(const char* s, std::size_t n, bool& high, bool& bad) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return ScanPairsAvx2(s, n, high, bad);
#endif
    return ScanPairs<Block16>(s, n, high, bad);
}

} // namespace

TIdBodyEncoding ChooseBodyEncoding(const std::vector<std::string>& body,
                                   const veldrano::SystemLocale& locale) {
    BodyBytes bytes;
    const bool japanese = IsJapanese(locale);
    for (const std::string& line : body) {
        if (japanese)
            bytes.Scan(ShiftJisToIso2022Jp(line));
        else
            bytes.Scan(line); // no copy: a large body is scanned twice per message
    }
    return {CharsetOf(bytes, locale), bytes.eightBit || bytes.longLine};
}

TIdBodyTextScan ScanBodyText(std::string_view text) {
    const char* const s = text.data();
    const std::size_t n = text.size();
    TIdBodyTextScan scan;
    bool bad = false;
    std::size_t k = ScanPairsWidest(s, n, scan.EightBit, bad);
    scan.WireReady = !bad;
    for (; k < n; ++k) {
        scan.EightBit |= (s[k] & 0x80) != 0;
        scan.WireReady &= (s[k] == '\n') == (s[k - 1] == '\r') && (s[k] != '.' || s[k - 1] != '\n');
    }
    if (n > 0) { // what has no neighbour to be judged with
        scan.EightBit |= (s[0] & 0x80) != 0;
        scan.WireReady &= s[0] != '\n' && s[0] != '.' && s[n - 1] != '\r';
    }
    scan.C1 =
        scan.EightBit && std::any_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) <= 0x9F;
        });
    scan.LongLine = BodyBytes::HasLineLongerThan(text, MaxBodyLineLength);
    return scan;
}

TIdBodyEncoding ChooseBodyEncoding(std::string_view text, const TIdBodyTextScan& scan,
                                   const veldrano::SystemLocale& locale) {
    BodyBytes bytes;
    if (IsJapanese(locale))
        ForEachTextLine(text,
                        [&](std::string_view line) { bytes.Scan(ShiftJisToIso2022Jp(line)); });
    else
        bytes = {scan.EightBit, scan.C1, scan.LongLine};
    return {CharsetOf(bytes, locale), bytes.eightBit || bytes.longLine};
}

TIdBodyEncoding ChooseBodyEncoding(std::string_view text, const veldrano::SystemLocale& locale) {
    return ChooseBodyEncoding(text, IsJapanese(locale) ? TIdBodyTextScan{} : ScanBodyText(text),
                              locale);
}

void AppendBodyLine(std::string_view line, const TIdBodyEncoding& encoding,
                    const veldrano::SystemLocale& locale, std::vector<std::string>& lines) {
    std::string converted;
    if (IsJapanese(locale)) {
        converted = ShiftJisToIso2022Jp(line);
        line = converted;
    }
    if (encoding.QuotedPrintable)
        AppendQuotedPrintable(line, lines);
    else
        lines.emplace_back(line);
}
