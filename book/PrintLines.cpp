#include "book/PrintLines.h"

namespace veldrano {

namespace {
// The column titles of the listing, to the byte: "C.P|MÓVIL" has no blanks around its bar;
// \xC9 is É and \xD3 is Ó in Windows-1252.
constexpr const char* kColumnTitles =
    "< NOMBRE | DIRECCI\xD3N | TEL\xC9"
    "FONO | E-MAIL | C.P|M\xD3VIL | FAX | ORGANIZACI\xD3N | DEP | WWW | OFICINA >";
} // namespace

std::string PrintBannerLine(std::string_view author, std::string_view authorEmail) {
    std::string line = "Torvikalen.exe - Programa de ";
    line += author;
    line += " (";
    line += authorEmail;
    line += ")";
    return line;
}

Lines PrintHeaderLines(std::string_view author, std::string_view authorEmail) {
    return {
        "",
        "",
        PrintBannerLine(author, authorEmail),
        std::string(122, '-'),
        "",
        kColumnTitles,
        std::string(167, '-'),
        std::string(8, '-'),
        "",
        "",
        "",
        "<-inicio->",
    };
}

std::string RecordPrintLine(const ContactRecord& record) {
    std::string line = "< ";
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0)
            line += " | ";
        line += record[i].empty() ? std::string("-null-") : record[i];
    }
    line += ">";
    return line;
}

} // namespace veldrano
