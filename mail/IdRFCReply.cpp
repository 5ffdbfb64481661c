#include "mail/IdRFCReply.h"

#include <algorithm>
#include <cctype>

namespace {

// Decimal integer text, optionally signed; 0 for anything else.
int IntegerOrZero(const std::string& s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size())
        return 0;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return 0;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL)
            return 0;
    }
    v = negative ? -v : v;
    return v > 2147483647LL ? 0 : static_cast<int>(v);
}

// The length of the well-formed UTF-8 sequence at text[i] that encodes a printable
// character (RFC 3629; C1 controls excluded), or 0.
std::size_t PrintableUtf8Length(const std::string& text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
            return 0;
    }
    const bool c1Control = c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    return c1Control ? 0 : length;
}

} // namespace

std::string IdTrimControls(const std::string& text) {
    std::string out = text;
    IdTrimControlsInPlace(out);
    return out;
}

void IdTrimControlsInPlace(std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    std::size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    text.resize(end);
    text.erase(0, begin);
}

void TIdRFCReply::SetNumericCode(int code) {
    m_numericCode = code;
    if (code > 0)
        m_textCode = std::to_string(code);
}

void TIdRFCReply::SetTextCode(const std::string& code) {
    m_textCode = code;
    if (!code.empty())
        m_numericCode = IntegerOrZero(code);
}

void TIdRFCReply::ClearReply() {
    m_numericCode = 0;
    m_text.clear();
    m_textCode.clear();
}

void TIdRFCReply::Assign(const TIdRFCReply& source) {
    ClearReply();
    m_numericCode = source.m_numericCode;
    m_text = source.m_text;
    m_textCode = source.m_textCode;
}

void TIdRFCReply::ParseReply(const std::vector<std::string>& lines) {
    ParseReply(lines.data(), lines.size());
}

void TIdRFCReply::ParseReply(const std::string* lines, std::size_t count) {
    m_numericCode = 0;
    m_textCode.clear();
    // The line strings are refilled rather than freed and made again: replies come often.
    m_text.resize(count);
    if (count == 0)
        return;
    std::string code = IdTrimControls(lines[0].substr(0, 4));
    if (code.size() == 4 && code[3] == '-')
        code.resize(3);
    SetTextCode(code);
    for (std::size_t i = 0; i < count; ++i)
        m_text[i].assign(lines[i], std::min<std::size_t>(lines[i].size(), 4));
}

std::string TIdRFCReply::JoinedText() const {
    std::string out;
    for (const std::string& line : m_text) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string TIdRFCReply::PrintableText() const {
    std::string out;
    for (const std::string& line : m_text) {
        if (out.size() >= MaxShownBytes) {
            out += "...\r\n";
            break;
        }
        for (std::size_t i = 0; i < line.size();) {
            const auto c = static_cast<unsigned char>(line[i]);
            const std::size_t utf8 = c >= 0x80 ? PrintableUtf8Length(line, i) : 0;
            if (utf8 > 0) {
                out.append(line, i, utf8);
                i += utf8;
            } else {
                out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
                ++i;
            }
        }
        out += "\r\n";
    }
    return out;
}
