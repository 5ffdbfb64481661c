#include "mail/IdCoderHeader.h"

#include "mail/IdCoderMIME.h"
#include "mail/IdGlobal.h"
#include "text/Charset.h"

#include <algorithm>
#include <vector>

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

// Charset names compare without regard to letter case (RFC 2978).
bool SameAsciiText(std::string_view a, std::string_view b) {
    return UpperAscii(std::string(a)) == UpperAscii(std::string(b));
}

bool IsIso2022Jp(std::string_view charset) {
    return SameAsciiText(charset, "ISO-2022-JP");
}

// The charsets whose characters are one byte below 0x80 and two bytes from a lead byte on.
bool IsDoubleByteCharset(std::string_view charset) {
    for (std::string_view name : {"GB2312", "GBK", "Big5", "EUC-KR"})
        if (SameAsciiText(charset, name))
            return true;
    return false;
}

// RFC 2047 only names ISO-8859-1, but readers take its bytes 0x80 to 0x9F for control
// characters, where the program's code page holds the euro sign and typographic marks.
std::string_view WordCharset(std::string_view run, std::string_view charset) {
    if (!SameAsciiText(charset, "ISO-8859-1"))
        return charset;
    for (unsigned char c : run)
        if (c >= 0x80 && c <= 0x9F)
            return "windows-1252";
    return charset;
}

// One character of a run: its bytes, and for ISO-2022-JP whether they are two-byte text.
struct RunChar {
    std::string_view bytes;
    bool twoByte = false;
};

// ISO-2022-JP keeps its mode in escape sequences; they are dropped here and written again
// for each encoded word, so that every word starts and ends in ASCII.
std::vector<RunChar> Iso2022JpChars(std::string_view run) {
    std::vector<RunChar> chars;
    bool twoByte = false;
    std::size_t i = 0;
    while (i < run.size()) {
        const std::string_view rest = run.substr(i);
        if (rest.starts_with("\x1B$B") || rest.starts_with("\x1B$@")) {
            twoByte = true;
            i += 3;
        } else if (rest.starts_with("\x1B(B") || rest.starts_with("\x1B(J")) {
            twoByte = false;
            i += 3;
        } else {
            const std::size_t width = twoByte && rest.size() > 1 ? 2 : 1;
            chars.push_back({rest.substr(0, width), twoByte});
            i += width;
        }
    }
    return chars;
}

std::size_t CharWidth(std::string_view run, std::size_t i, std::string_view charset) {
    const auto c = static_cast<unsigned char>(run[i]);
    std::size_t width = 1;
    if (IsDoubleByteCharset(charset))
        width = c >= 0x81 ? 2 : 1;
    else if (SameAsciiText(charset, "UTF-8") && c >= 0x80)
        width = std::max<std::size_t>(veldrano::Utf8SequenceLength(run.substr(i)), 1);
    return std::min(width, run.size() - i);
}

std::vector<RunChar> SplitChars(std::string_view run, std::string_view charset) {
    if (IsIso2022Jp(charset))
        return Iso2022JpChars(run);
    std::vector<RunChar> chars;
    for (std::size_t i = 0; i < run.size();) {
        const std::size_t width = CharWidth(run, i, charset);
        chars.push_back({run.substr(i, width), false});
        i += width;
    }
    return chars;
}

// The bytes of one encoded word: its characters, with the escapes ISO-2022-JP needs.
class WordBytes {
  public:
    void Add(const RunChar& c) {
        if (c.twoByte != m_twoByte)
            m_bytes += c.twoByte ? "\x1B$B" : "\x1B(B";
        m_twoByte = c.twoByte;
        m_bytes += c.bytes;
    }
    std::string Finished() const { return m_twoByte ? m_bytes + "\x1B(B" : m_bytes; }
    bool Empty() const { return m_bytes.empty(); }

  private:
    std::string m_bytes;
    bool m_twoByte = false;
};

bool IsQ(char letter) {
    return letter == 'Q' || letter == 'q';
}

std::string EncodeWordText(std::string_view bytes, char letter, std::string_view extraSpecials) {
    if (!IsQ(letter))
        return TIdEncoderMIME::EncodeToText(bytes);
    std::string out;
    for (char c : bytes)
        out += QText(static_cast<unsigned char>(c), extraSpecials);
    return out;
}

std::size_t EncodedLength(std::string_view bytes, char letter, std::string_view extraSpecials) {
    if (!IsQ(letter))
        return (bytes.size() + 2) / 3 * 4;
    std::size_t length = 0;
    for (char c : bytes)
        length += QText(static_cast<unsigned char>(c), extraSpecials).size();
    return length;
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

std::string EncodeWordRun(std::string_view run, char letter, std::string_view charset,
                          std::string_view extraSpecials) {
    const std::string prefix = "=?" + std::string(WordCharset(run, charset)) + "?" + letter + "?";
    const std::size_t room =
        MaxEncodedWordLength - std::min(MaxEncodedWordLength, prefix.size() + 2);
    std::string out;
    // RFC 2047 6.3: every encoded word holds whole characters, so a reader can decode each
    // alone; a run too long for one word goes on in the next, after a fold.
    auto putWord = [&](const WordBytes& word) {
        if (!out.empty())
            out += "\r\n\t";
        out += prefix + EncodeWordText(word.Finished(), letter, extraSpecials) + "?=";
    };
    WordBytes word;
    for (const RunChar& c : SplitChars(run, charset)) {
        WordBytes longer = word;
        longer.Add(c);
        if (!word.Empty() && EncodedLength(longer.Finished(), letter, extraSpecials) > room) {
            putWord(word);
            longer = WordBytes();
            longer.Add(c);
        }
        word = std::move(longer);
    }
    putWord(word);
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
