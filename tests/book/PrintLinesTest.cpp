#include "book/PrintLines.h"

#include <gtest/gtest.h>

namespace veldrano {
namespace {

ContactRecord Record(std::initializer_list<std::pair<Field, std::string>> values) {
    ContactRecord r;
    for (const auto& [field, text] : values)
        r[FieldIndex(field)] = text;
    return r;
}

TEST(PrintHeader, HasTheTwelveLinesOfTheListing) {
    Lines header = PrintHeaderLines("Ana", "ana@example.org");
    ASSERT_EQ(header.size(), 12u);
    EXPECT_EQ(header.size(), static_cast<size_t>(kPrintHeaderLines));
    for (int empty : {0, 1, 4, 8, 9, 10})
        EXPECT_EQ(header[empty], "") << "line " << empty + 1;
    EXPECT_EQ(header[3], std::string(122, '-'));
    EXPECT_EQ(header[6], std::string(167, '-'));
    EXPECT_EQ(header[7], "--------");
    EXPECT_EQ(header[11], "<-inicio->");
    // Windows-1252: \xD3 is Ó, \xC9 is É; "C.P|MÓVIL" has no blanks, ">" one before it.
    EXPECT_EQ(header[5], "< NOMBRE | DIRECCI\xD3N | TEL\xC9"
                         "FONO | E-MAIL | C.P|M\xD3VIL | FAX | ORGANIZACI\xD3N | DEP | WWW | "
                         "OFICINA >");
}

TEST(PrintHeader, CreditLineNamesProgramAuthorAndEmailAsGiven) {
    // The author arrives in the code page: 0xED is í in Windows-1252.
    const std::string author = "Luc\xED"
                               "a Ferrer";
    std::string banner = PrintHeaderLines(author, "lf@example.org")[2];
    EXPECT_EQ(banner.rfind("Torvikalen.exe", 0), 0u) << banner;
    EXPECT_NE(banner.find(author), std::string::npos) << banner;
    EXPECT_NE(banner.find("lf@example.org"), std::string::npos) << banner;
    EXPECT_EQ(banner, PrintBannerLine(author, "lf@example.org"));
}

TEST(RecordLine, FieldsInRecordOrderWithNullForEmptyAndNoBlankBeforeTheEnd) {
    ContactRecord all;
    for (int i = 0; i < kFieldCount; ++i)
        all[i] = "f" + std::to_string(i);
    EXPECT_EQ(RecordPrintLine(all), "< f0 | f1 | f2 | f3 | f4 | f5 | f6 | f7 | f8 | f9 | f10>");

    auto noName = Record({{Field::direccion, "Calle Mayor 1"}, {Field::oficina, "B"}});
    EXPECT_EQ(RecordPrintLine(noName), "< -null- | Calle Mayor 1 | -null- | -null- | -null- | "
                                       "-null- | -null- | -null- | -null- | -null- | B>");
    EXPECT_EQ(RecordPrintLine(ContactRecord{}),
              "< -null- | -null- | -null- | -null- | -null- | -null- | -null- | -null- | "
              "-null- | -null- | -null->");
}

TEST(RecordLine, FieldTextsAreWrittenAsTheyAre) {
    // No trimming, padding or escaping: blanks, separators and bytes above 0x7F stay.
    auto r = Record({{Field::nombre, " Jos\xE9 | <x> "}, {Field::web, "-null-"}});
    EXPECT_EQ(RecordPrintLine(r), "<  Jos\xE9 | <x>  | -null- | -null- | -null- | -null- | "
                                  "-null- | -null- | -null- | -null- | -null- | -null->");
}

} // namespace
} // namespace veldrano
