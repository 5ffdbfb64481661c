#include "mail/IdRFCReply.h"

#include "text/Charset.h"

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
        out += veldrano::PrintableUtf8(line);
        out += "\r\n";
    }
    return out;
}
