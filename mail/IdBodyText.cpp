#include "mail/IdBodyText.h"

#include "mail/IdCoderHeader.h"
#include "mail/IdCoderMIME.h"

namespace {

bool IsJapanese(const veldrano::SystemLocale& locale) {
    return ChooseHeaderEncoding(locale).Transfer == TTransfer::iso2022jp;
}

// What the bytes of a body hold, as far as its label and encoding care.
struct BodyBytes {
    bool eightBit = false; // a byte above 0x7F
    bool c1 = false;       // a byte 0x80 to 0x9F, which ISO-8859-1 does not hold
    bool longLine = false; // a line over 998 bytes

    void Scan(std::string_view text) {
        std::size_t lineLength = 0;
        for (char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '\r' || c == '\n') {
                lineLength = 0;
                continue;
            }
            longLine |= ++lineLength > MaxBodyLineLength;
            eightBit |= c >= 0x80;
            c1 |= c >= 0x80 && c <= 0x9F;
        }
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
    for (const std::string& line : body)
        bytes.Scan(japanese ? ShiftJisToIso2022Jp(line) : line);
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
