#include "book/RtfWriter.h"

#include "text/CodePage.h"

namespace veldrano {

namespace {

// The RTF character set number that matches a Windows code page (\fcharset).
int CharsetOf(int codePage) {
    switch (codePage) {
    case 932:
        return 128; // Shift_JIS
    case 936:
        return 134; // GB2312
    case 949:
        return 129; // Hangul
    case 950:
        return 136; // Big5
    default:
        return 0; // ANSI
    }
}

void AppendHexEscape(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\'";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// Text bytes as RTF: a reader must see exactly these bytes again in the given code page.
void AppendText(std::string& out, const std::string& text, int codePage) {
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(codePage, byte) && i + 1 < text.size()) {
            // The trail byte may be '\\', '{' or '}'; escaping both keeps the pair whole.
            AppendHexEscape(out, byte);
            AppendHexEscape(out, static_cast<unsigned char>(text[++i]));
        } else if (byte == '\\' || byte == '{' || byte == '}') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\t') {
            out += "\\tab ";
        } else if (byte >= 0x80 || byte < 0x20) {
            AppendHexEscape(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
    }
}

} // namespace

std::string WriteRtf(const Lines& paragraphs, const RtfTextStyle& style) {
    const std::string cp = std::to_string(style.codePage);
    std::string out = "{\\rtf1\\ansi\\ansicpg" + cp + "\\deff0";
    // \fswiss lets a reader without the named font fall back to a sans-serif one.
    out += "{\\fonttbl{\\f0\\fswiss\\fcharset" + std::to_string(CharsetOf(style.codePage)) + " ";
    AppendText(out, style.fontName, style.codePage);
    out += ";}}\r\n";
    out += "\\viewkind4\\uc1\\pard";
    if (style.centred)
        out += "\\qc";
    out += "\\f0\\fs" + std::to_string(style.halfPoints);
    if (style.bold)
        out += "\\b";
    out += ' ';
    // \par ends a paragraph; the last one is ended by the document's closing brace, so
    // a reader sees exactly as many paragraphs as there are lines. The line break goes
    // before \par: a blank right after it is its delimiter, so leading blanks of the next
    // line survive in every reader.
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            out += "\r\n\\par ";
        AppendText(out, paragraphs[i], style.codePage);
    }
    out += "\r\n}\r\n";
    return out;
}

} // namespace veldrano
