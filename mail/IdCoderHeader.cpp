#include "mail/IdCoderHeader.h"

#include "mail/IdCoderMIME.h"

namespace {

constexpr std::string_view WhiteSpace = "\t\n\r ";

bool IsWhiteSpace(unsigned char c) {
    return WhiteSpace.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsTrigger(unsigned char c, std::string_view extraSpecials) {
    return c < 0x20 || c >= 0x7F ||
           extraSpecials.find(static_cast<char>(c)) != std::string_view::npos;
}

// The comma is written in hexadecimal too: header folding breaks lines after commas, and a
// break inside an encoded word would leave it undecodable.
bool NeedsQuoting(unsigned char c, std::string_view extraSpecials) {
    return IsTrigger(c, extraSpecials) || c == '=' || c == '?' || c == '_' || c == ',';
}

std::string QText(unsigned char c, std::string_view extraSpecials) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    if (c == ' ')
        return "_";
    if (NeedsQuoting(c, extraSpecials))
        return {'=', Hex[c >> 4], Hex[c & 0x0F]};
    return std::string(1, static_cast<char>(c));
}

// Starts the next encoded word of a run when the current one cannot take `length` more
// characters: RFC 2047 caps each at 75, and a split header line is folded at CR LF TAB.
void RoomFor(std::size_t length, std::size_t& count, std::string& out, std::string_view prefix) {
    if (count + length > MaxEncodedWordLength) {
        out += "?=\r\n\t";
        out += prefix;
        count = prefix.size() + 2;
    }
    count += length;
}

} // namespace

THeaderEncoding ChooseHeaderEncoding(const veldrano::SystemLocale& locale) {
    switch (locale.primaryLanguage) {
    case 0x04:
        if (locale.subLanguage == 0x02)
            return {TTransfer::bit8, 'B', "GB2312"};
        return {TTransfer::bit8, 'B', "Big5"};
    case 0x11:
        return {TTransfer::iso2022jp, 'B', "ISO-2022-JP"};
    case 0x12:
        return {TTransfer::bit8, 'B', "EUC-KR"};
    default:
        return {TTransfer::bit8, 'Q', "ISO-8859-1"};
    }
}

THeaderEncoding ChooseHeaderEncoding() {
    return ChooseHeaderEncoding(veldrano::CurrentLocale());
}

std::string EncodeWordRun(std::string_view run, char letter, std::string_view charset,
                          std::string_view extraSpecials) {
    const std::string prefix = "=?" + std::string(charset) + "?" + letter + "?";
    std::string out = prefix;
    std::size_t count = prefix.size() + 2;
    if (letter == 'Q' || letter == 'q') {
        for (char c : run) {
            const std::string t = QText(static_cast<unsigned char>(c), extraSpecials);
            RoomFor(t.size(), count, out, prefix);
            out += t;
        }
    } else {
        // Groups of three bytes, so every encoded word decodes on its own.
        for (std::size_t i = 0; i < run.size(); i += 3) {
            RoomFor(4, count, out, prefix);
            out += TIdEncoderMIME::EncodeToText(run.substr(i, 3));
        }
    }
    out += "?=";
    return out;
}

std::string EncodeHeaderWords(std::string_view text, std::string_view extraSpecials, char letter,
                              std::string_view charset, TTransfer transfer) {
    std::string converted;
    if (transfer == TTransfer::iso2022jp) {
        converted = ShiftJisToIso2022Jp(text);
        text = converted;
    }
    if (letter == '8')
        return std::string(text);

    std::string out;
    bool runOpen = false;
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t spaceStart = i;
        while (i < text.size() && IsWhiteSpace(text[i]))
            ++i;
        const std::size_t wordStart = i;
        bool needsEncoding = false;
        while (i < text.size() && !IsWhiteSpace(text[i]))
            needsEncoding |= IsTrigger(static_cast<unsigned char>(text[i++]), extraSpecials);

        if (needsEncoding) {
            if (!runOpen) {
                out.append(text, spaceStart, wordStart - spaceStart);
                runOpen = true;
                runStart = wordStart;
            }
            continue;
        }
        if (runOpen) {
            out += EncodeWordRun(text.substr(runStart, spaceStart - runStart), letter, charset,
                                 extraSpecials);
            runOpen = false;
        }
        out.append(text, spaceStart, i - spaceStart);
    }
    if (runOpen)
        out += EncodeWordRun(text.substr(runStart), letter, charset, extraSpecials);
    return out;
}

std::string EncodeHeaderWords(std::string_view text, std::string_view extraSpecials,
                              const THeaderEncoding& encoding) {
    return EncodeHeaderWords(text, extraSpecials, encoding.Letter, encoding.Charset,
                             encoding.Transfer);
}
