// libFuzzer harness over the mail text layer: encoded words, address parsing and
// formatting, header folding and body texts, fed with arbitrary bytes. The first byte picks the
// header encoding and whether the address specials apply; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "mail/IdBodyText.h"
#include "mail/IdCoderHeader.h"
#include "mail/IdEMailAddress.h"
#include "mail/IdHeaderList.h"
#include "mail/IdTextLines.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const THeaderEncoding Encodings[] = {
    {TTransfer::bit8, 'Q', "ISO-8859-1"},
    {TTransfer::bit8, 'B', "GB2312"},
    {TTransfer::iso2022jp, 'B', "ISO-2022-JP"},
    {TTransfer::bit8, 'q', "EUC-KR"},
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string DecodeQ(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '_') {
            out += ' ';
        } else if (s[i] == '=') {
            Require(i + 2 < s.size(), "short Q escape");
            const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            Require(hi >= 0 && lo >= 0, "bad Q escape");
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string DecodeB(std::string_view s) {
    static constexpr std::string_view Alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Require(s.size() % 4 == 0, "base64 length");
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 4) {
        unsigned bits = 0;
        int pad = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const auto v = Alphabet.find(s[i + k]);
            Require(v != std::string_view::npos || (s[i + k] == '=' && k >= 2), "base64 character");
            if (s[i + k] == '=')
                ++pad;
            bits = bits << 6 | (v == std::string_view::npos ? 0u : static_cast<unsigned>(v));
        }
        Require(pad == 0 || i + 4 == s.size(), "padding before the end");
        out += static_cast<char>(bits >> 16);
        if (pad < 2)
            out += static_cast<char>(bits >> 8 & 0xFF);
        if (pad < 1)
            out += static_cast<char>(bits & 0xFF);
    }
    return out;
}

// ISO-2022-JP text with its mode kept per character rather than in escapes, so texts that
// differ only in where the escapes stand compare equal.
std::string CanonicalJis(std::string_view s) {
    std::string out;
    bool twoByte = false;
    for (std::size_t i = 0; i < s.size();) {
        const std::string_view rest = s.substr(i);
        if (rest.starts_with("\x1B$B") || rest.starts_with("\x1B$@")) {
            twoByte = true;
            i += 3;
        } else if (rest.starts_with("\x1B(B") || rest.starts_with("\x1B(J")) {
            twoByte = false;
            i += 3;
        } else {
            const std::size_t width = twoByte && rest.size() > 1 ? 2 : 1;
            out += twoByte ? 'J' : 'A';
            out += rest.substr(0, width);
            i += width;
        }
    }
    return out;
}

// A word a reader can decode alone: no two-byte character cut, and ISO-2022-JP back in ASCII.
bool WholeCharacters(std::string_view word, const THeaderEncoding& e) {
    if (e.Charset == "ISO-2022-JP") {
        const auto lastEscape = word.rfind('\x1B');
        return lastEscape == std::string_view::npos || word.substr(lastEscape, 3) == "\x1B(B";
    }
    if (e.Charset != "GB2312" && e.Charset != "EUC-KR")
        return true;
    std::size_t i = 0;
    while (i < word.size())
        i += static_cast<unsigned char>(word[i]) >= 0x81 ? 2 : 1;
    return i == word.size();
}

// Decodes the output of EncodeHeaderWords back to the text it encoded: encoded words are
// decoded and the blanks between two of them (the splits of one run) dropped.
void CheckEncodedWords(std::string_view source, std::string_view out, const THeaderEncoding& e) {
    const std::string prefix = "=?" + e.Charset + "?" + e.Letter + "?";
    // Euro sign and friends relabel an ISO-8859-1 word.
    const std::string relabelled = std::string("=?windows-1252?") + e.Letter + "?";
    std::string decoded, pendingSpace, lastWord;
    bool lastEncoded = false;
    std::size_t i = 0;
    while (i < out.size()) {
        const std::size_t start = i;
        const bool space = IsSpace(out[i]);
        while (i < out.size() && IsSpace(out[i]) == space)
            ++i;
        const std::string_view token = out.substr(start, i - start);
        if (space) {
            pendingSpace = token;
            continue;
        }
        const bool relabel = e.Charset == "ISO-8859-1" && token.starts_with(relabelled);
        const bool encoded = token.starts_with(prefix) || relabel;
        if (encoded) {
            const std::size_t frame = relabel ? relabelled.size() : prefix.size();
            Require(token.size() <= MaxEncodedWordLength, "encoded word longer than 75");
            Require(token.ends_with("?="), "encoded word without suffix");
            const auto body = token.substr(frame, token.size() - frame - 2);
            Require(body.find('?') == std::string_view::npos, "question mark in encoded word");
            if (lastEncoded) {
                Require(pendingSpace == "\r\n\t", "encoded words not split by CR LF TAB");
                Require(WholeCharacters(lastWord, e), "encoded word ends inside a character");
            } else {
                decoded += pendingSpace;
            }
            lastWord = e.Letter == 'B' ? DecodeB(body) : DecodeQ(body);
            decoded += lastWord;
        } else {
            decoded += pendingSpace;
            decoded += token;
        }
        pendingSpace.clear();
        lastEncoded = encoded;
    }
    decoded += pendingSpace;
    if (e.Charset == "ISO-2022-JP")
        Require(CanonicalJis(decoded) == CanonicalJis(source),
                "encoded words do not decode to the text");
    else
        Require(decoded == source, "encoded words do not decode to the text");
}

std::string Visible(std::string_view s) {
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) > ' ')
            out += c;
    return out;
}

// One header put into an empty list: lines without CR or LF, continuations that begin
// with a blank and are not blank, nothing but blanks lost, no second header.
void CheckPutHeader(const std::string& name, std::string_view value) {
    TIdHeaderList headers;
    headers.PutHeader(name, value);
    if (value.empty()) {
        Require(headers.Count() == 0, "empty value added a line");
        return;
    }
    Require(headers.Count() >= 1 && headers[0].starts_with(name + ":"), "header line missing");
    for (int i = 0; i < headers.Count(); ++i) {
        const std::string& line = headers[i];
        Require(line.find_first_of("\r\n") == std::string::npos, "bare CR or LF in a header line");
        if (i > 0) {
            Require(line[0] == ' ' || line[0] == '\t', "continuation without leading blank");
            Require(line.find_first_not_of(" \t") != std::string::npos, "blank continuation line");
        }
        Require(line.empty() || (line.back() != ' ' && line.back() != '\t'), "trailing blank");
    }
    Require(Visible(headers.HeaderValue(name)) == Visible(value), "folding lost text");
}

void CheckFoldedEncodedWords(std::string_view value, const THeaderEncoding& e) {
    TIdHeaderList headers;
    headers.PutHeader("Subject", value);
    const std::string prefix = "=?" + e.Charset + "?";
    for (const std::string& line : headers) {
        std::size_t count = 0, whole = 0;
        for (auto p = line.find(prefix); p != std::string::npos; p = line.find(prefix, p + 1)) {
            ++count;
            const auto end = line.find("?=", p + prefix.size() + 2);
            if (end != std::string::npos && line.find_first_of(" \t", p) > end)
                ++whole;
        }
        Require(count == whole, "fold inside an encoded word");
    }
}

void CheckEncoding(const std::string& text, const THeaderEncoding& e, std::string_view specials) {
    const std::string out = EncodeHeaderWords(text, specials, e);
    for (char c : out)
        Require(IsSpace(c) || (c > ' ' && c < 0x7F), "unencoded byte in header text");
    const std::string source =
        e.Transfer == TTransfer::iso2022jp ? ShiftJisToIso2022Jp(text) : text;
    // An escape typed in the text would make the ISO-2022-JP modes ambiguous.
    const bool typedEscape =
        e.Transfer == TTransfer::iso2022jp && text.find('\x1B') != std::string::npos;
    if (source.find("=?") == std::string::npos && !typedEscape) {
        CheckEncodedWords(source, out, e);
        CheckFoldedEncodedWords(out, e);
    }
    CheckPutHeader("Subject", out);
}

void CheckShiftJis(const std::string& text) {
    const std::string jis = ShiftJisToIso2022Jp(text);
    for (char c : jis)
        Require(static_cast<unsigned char>(c) < 0x80, "eight-bit byte in ISO-2022-JP");
    if (text.find('\x1B') != std::string::npos)
        return; // an escape typed in the text passes through as ASCII
    const auto lastEscape = jis.rfind('\x1B');
    Require(lastEscape == std::string::npos || jis.compare(lastEscape, 3, "\x1B(B") == 0,
            "ISO-2022-JP text not back in ASCII");
}

void CheckAddresses(const std::string& text, const THeaderEncoding& e) {
    TIdEMailAddressItem item;
    try {
        item.SetText(text);
    } catch (const EIdEmailParseError&) {
    }
    Require(item.Name.size() + item.Address.size() <= text.size(), "parse made up characters");
    (void)item.Text();
    CheckPutHeader("From", FormatAddressForHeader(item, e));

    TIdEMailAddressList list;
    try {
        ParseAddressList(list, text);
    } catch (const EIdEmailParseError&) {
    }
    std::size_t total = 0;
    for (int i = 0; i < list.Count(); ++i)
        total += list[i].Name.size() + list[i].Address.size();
    Require(total <= text.size(), "list parse made up characters");
    CheckPutHeader("To", FormatAddressListForHeader(list, e));
}

// A body given as one text: judged and labelled as the lines cut from it, and taken for its
// own wire form exactly when stuffing those lines gives the text back (with a final CR LF).
void CheckBodyText(const std::string& text, bool japanese) {
    const std::vector<std::string> lines = SplitTextLines(text);
    std::string wire;
    for (const std::string& line : lines)
        wire += (line.starts_with('.') ? "." : "") + line + "\r\n";
    Require(ScanBodyText(text).WireReady == (wire == text || wire == text + "\r\n"),
            "body text taken for its wire form wrongly");
    const veldrano::SystemLocale locale = veldrano::LocaleFromName(japanese ? "ja_JP" : "es_ES");
    const TIdBodyEncoding a = ChooseBodyEncoding(text, locale),
                          b = ChooseBodyEncoding(lines, locale);
    Require(a.Charset == b.Charset && a.QuotedPrintable == b.QuotedPrintable,
            "body text labelled unlike its lines");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const THeaderEncoding& encoding = Encodings[data[0] % 4];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckEncoding(text, encoding, data[0] & 4 ? AddressSpecials : "");
    CheckShiftJis(text);
    CheckPutHeader("X-Raw", text);
    CheckAddresses(text, encoding);
    CheckBodyText(text, data[0] & 8);
    return 0;
}
