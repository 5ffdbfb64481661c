#include "mail/IdBodyText.h"

#include "mail/IdCoderHeader.h"
#include "mail/IdCoderMIME.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

bool IsJapanese(const veldrano::SystemLocale& locale) {
    return ChooseHeaderEncoding(locale).Transfer == TTransfer::iso2022jp;
}

// What the bytes of a body hold, as far as its label and encoding care.
struct BodyBytes {
    bool eightBit = false; // a byte above 0x7F
    bool c1 = false;       // a byte 0x80 to 0x9F, which ISO-8859-1 does not hold
    bool longLine = false; // a line over 998 bytes

    // The common case, ASCII, is a pass over eight bytes at a time: a large body is scanned
    // once for its headers and once as it goes out.
    void Scan(std::string_view text) {
        std::uint64_t all = 0;
        std::size_t i = 0;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            all |= word;
        }
        for (; i < text.size(); ++i)
            all |= static_cast<unsigned char>(text[i]);
        if ((all & 0x8080808080808080ULL) && !c1) {
            eightBit = true;
            c1 = std::any_of(text.begin(), text.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 &&
                       static_cast<unsigned char>(c) <= 0x9F;
            });
        }
        if (text.size() > MaxBodyLineLength && !longLine)
            longLine = LongestLine(text) > MaxBodyLineLength;
    }

    static std::size_t LongestLine(std::string_view text) {
        std::size_t longest = 0, length = 0;
        for (char c : text) {
            length = c == '\r' || c == '\n' ? 0 : length + 1;
            longest = std::max(longest, length);
        }
        return longest;
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
