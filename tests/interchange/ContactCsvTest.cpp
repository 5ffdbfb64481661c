#include "interchange/ContactCsv.h"

#include <gtest/gtest.h>
#include <vector>

using namespace veldrano;

namespace {

std::string Header() {
    std::string h;
    AppendCsvHeader(h);
    return h;
}

std::vector<std::pair<ContactRecord, size_t>> Read(const std::string& text) {
    std::vector<std::pair<ContactRecord, size_t>> rows;
    ReadContactCsv(text, [&](ContactRecord&& r, size_t line) { rows.emplace_back(r, line); });
    return rows;
}

} // namespace

TEST(ContactCsv, WritesQuotedFieldsAndReadsThemBack) {
    ContactRecord r{"Gil, \"Luis\"", "", "1", "a@x", "", "", "", "O", "", " espacios ", "Of"};
    std::string out = Header();
    AppendCsvRow(out, r);
    EXPECT_EQ(out.substr(Header().size()), "\"Gil, \"\"Luis\"\"\",,1,a@x,,,,O,, espacios ,Of\r\n");
    EXPECT_EQ(Header(), "Nombre y Apellidos,Direcci\xC3\xB3n,Tel\xC3\xA9"
                        "fono,"
                        "Correo Electr\xC3\xB3nico,C\xC3\xB3"
                        "digo Postal,M\xC3\xB3vil,Fax,"
                        "Organizaci\xC3\xB3n,Departamento,P\xC3\xA1gina Web,Oficina\r\n");
    auto rows = Read(out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].first, r);
    EXPECT_EQ(rows[0].second, 2u);
}

TEST(ContactCsv, ReadsOwnAndAbookRowsAndNamesBadLines) {
    // abook leaves quotes undoubled and lists every address in one field.
    auto abook = Read("\"Luis \"El\" Gil, Jr\",\"l@x,l2@x\",\"955\",\"nota\",\"lu\"\n"
                      "\"S\xC3\xB3lo\",\"\",\"\",\"\",\"\"\n");
    ASSERT_EQ(abook.size(), 2u);
    EXPECT_EQ(abook[0].first, (ContactRecord{"Luis \"El\" Gil, Jr", "", "955", "l@x"}));
    EXPECT_EQ(abook[1].first[0], "S\xC3\xB3lo");

    // BOM, LF line ends, blank lines, a line break inside a quoted field.
    auto own = Read("\xEF\xBB\xBF" + Header() + "\"A\r\nB\",,,,,,,,,,\n\nC,,,,,,,,,,Z");
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].first[0], "A B");
    EXPECT_EQ(own[1].first[10], "Z");
    EXPECT_EQ(own[1].second, 5u);

    struct Bad {
        std::string text;
        size_t line;
    } bad[] = {
        {Header() + "a,b\r\n", 2},                            // too few fields
        {Header() + ",,,,,,,,,,\r\n\"open,,,,,,,,,,\r\n", 3}, // quote never closed
        {"Nombre,Tel\r\nAna,1\r\n", 1},                       // neither header nor abook's five
        {Header() + "Mu\xF1oz,,,,,,,,,,\r\n", 2},             // UTF-8, then a byte that is not
    };
    for (const Bad& b : bad) {
        try {
            Read(b.text);
            ADD_FAILURE() << "accepted: " << b.text;
        } catch (const InterchangeError& e) {
            EXPECT_EQ(e.line(), b.line) << b.text << ": " << e.what();
        }
    }
}
