// Prints what the mail text routines make of the inputs given on standard input, for the
// reference checks in check_text_reference.py. One request per line, fields separated by
// spaces, texts in hexadecimal; one hexadecimal result line per request:
//   words CHARSET LETTER TRANSFER SPECIALS TEXT   EncodeHeaderWords (SPECIALS 0 or 1)
//   sjis TEXT                                     ShiftJisToIso2022Jp
//   base64 TEXT                                   TIdEncoderMIME::EncodeToText
//   header NAME VALUE                             PutHeader; the lines joined by CR LF
//   addresses CHARSET LETTER TRANSFER NAME ADDRESS [NAME ADDRESS ...]
//                                                 the "To" header of the list, folded
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "mail/IdCoderHeader.h"
#include "mail/IdCoderMIME.h"
#include "mail/IdEMailAddress.h"
#include "mail/IdHeaderList.h"

namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    if (hex == "-")
        return out; // an empty text
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string ToHex(const std::string& bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += Digits[c >> 4];
        out += Digits[c & 0x0F];
    }
    return out;
}

THeaderEncoding ReadEncoding(std::istream& in) {
    THeaderEncoding encoding;
    int transfer = 0;
    in >> encoding.Charset >> encoding.Letter >> transfer;
    encoding.Transfer = static_cast<TTransfer>(transfer);
    return encoding;
}

std::string HeaderBlock(const TIdHeaderList& headers) {
    std::string out;
    for (const std::string& line : headers)
        out += line + "\r\n";
    return out;
}

std::string Answer(std::istream& in) {
    std::string kind, a, b;
    in >> kind;
    if (kind == "words") {
        const THeaderEncoding encoding = ReadEncoding(in);
        int specials = 0;
        in >> specials >> a;
        return EncodeHeaderWords(FromHex(a), specials ? AddressSpecials : "", encoding);
    }
    if (kind == "sjis") {
        in >> a;
        return ShiftJisToIso2022Jp(FromHex(a));
    }
    if (kind == "base64") {
        in >> a;
        return TIdEncoderMIME::EncodeToText(FromHex(a));
    }
    TIdHeaderList headers;
    if (kind == "header") {
        in >> a >> b;
        headers.PutHeader(FromHex(a), FromHex(b));
        return HeaderBlock(headers);
    }
    if (kind == "addresses") {
        const THeaderEncoding encoding = ReadEncoding(in);
        TIdEMailAddressList list;
        while (in >> a >> b) {
            TIdEMailAddressItem& item = list.Add();
            item.Name = FromHex(a);
            item.Address = FromHex(b);
        }
        headers.PutHeader("To", FormatAddressListForHeader(list, encoding));
        return HeaderBlock(headers);
    }
    throw std::runtime_error("unknown request " + kind);
}

} // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::cout << ToHex(Answer(in)) << '\n';
    }
    return 0;
}
