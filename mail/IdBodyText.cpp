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

// What the bytes of a body hold, as far as its label and encoding care.
struct BodyBytes {
    bool eightBit = false; // a byte above 0x7F
    bool c1 = false;       // a byte 0x80 to 0x9F, which ISO-8859-1 does not hold
    bool longLine = false; // a line over 998 bytes

    // Thirty-two bytes at a time, in the compiler's vector type, which becomes the
    // machine's widest OR.
    static bool HasHighBit(std::string_view text) {
        using Block = std::uint64_t __attribute__((vector_size(32)));
        Block all{};
        std::size_t i = 0;
        for (; i + sizeof(Block) <= text.size(); i += sizeof(Block)) {
            Block block;
            std::memcpy(&block, text.data() + i, sizeof block);
            all |= block;
        }
        std::uint64_t any = all[0] | all[1] | all[2] | all[3];
        for (; i < text.size(); ++i)
            any |= static_cast<unsigned char>(text[i]);
        return (any & 0x8080808080808080ULL) != 0;
    }

    // The common case, ASCII, is one pass of HasHighBit: a large body is scanned
    // once for its headers and once as it goes out.
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

TIdBodyEncoding ChooseBodyEncoding(std::string_view text, const veldrano::SystemLocale& locale) {
    BodyBytes bytes;
    if (IsJapanese(locale))
        ForEachTextLine(text,
                        [&](std::string_view line) { bytes.Scan(ShiftJisToIso2022Jp(line)); });
    else
        bytes.Scan(text); // its breaks are the lines' ends, so one pass judges every line
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
