#include "mail/IdCoderMIME.h"
#include "mail/IdTexts.h"

#include <algorithm>
#include <sstream>

#include "mail/IdException.h"

std::string TIdEncoder::Encode(std::string_view text) {
    std::istringstream source{std::string(text)};
    return Encode(source);
}

TIdEncoder3to4::TIdEncoder3to4(std::string codingTable, char fillChar)
    : codingTable_(std::move(codingTable)), fillChar_(fillChar) {}

std::string TIdEncoder3to4::Encode(std::istream& source, std::size_t byteCount) {
    if (byteCount != AllBytes && byteCount % 3 != 0)
        throw EIdException(IdTexts::UnevenSize);
    std::string out;
    char group[3];
    while (byteCount > 0) {
        source.read(group, static_cast<std::streamsize>(std::min<std::size_t>(3, byteCount)));
        const auto got = static_cast<std::size_t>(source.gcount());
        if (got == 0)
            break;
        if (byteCount != AllBytes)
            byteCount -= got;
        const unsigned b0 = static_cast<unsigned char>(group[0]);
        const unsigned b1 = got > 1 ? static_cast<unsigned char>(group[1]) : 0;
        const unsigned b2 = got > 2 ? static_cast<unsigned char>(group[2]) : 0;
        const unsigned bits = b0 << 16 | b1 << 8 | b2;
        out += codingTable_[bits >> 18 & 0x3F];
        out += codingTable_[bits >> 12 & 0x3F];
        out += got > 1 ? codingTable_[bits >> 6 & 0x3F] : fillChar_;
        out += got > 2 ? codingTable_[bits & 0x3F] : fillChar_;
        if (got < 3)
            break;
    }
    return out;
}

TIdEncoderMIME::TIdEncoderMIME()
    : TIdEncoder3to4("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", '=') {}

std::string TIdEncoderMIME::EncodeToText(std::string_view text) {
    TIdEncoderMIME encoder;
    return encoder.Encode(text);
}

void AppendQuotedPrintable(std::string_view line, std::vector<std::string>& lines) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool blank = c == ' ' || c == '\t';
        const bool literal = (c >= 33 && c <= 126 && c != '=') || (blank && i + 1 < line.size());
        const std::size_t width = literal ? 1 : 3;
        // Room is left for the soft break; an "=XX" is never split.
        if (out.size() + width > MaxQuotedPrintableLine - 1) {
            lines.push_back(out + "=");
            out.clear();
        }
        if (literal) {
            out += static_cast<char>(c);
        } else {
            out += '=';
            out += Hex[c >> 4];
            out += Hex[c & 0x0F];
        }
    }
    lines.push_back(std::move(out));
}
