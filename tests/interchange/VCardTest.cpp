#include "interchange/VCard.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

using namespace veldrano;

namespace {

using Fields = std::map<Field, std::string>;

ContactRecord Record(const Fields& fields) {
    ContactRecord r;
    for (const auto& [f, v] : fields)
        r[FieldIndex(f)] = v;
    return r;
}

std::vector<ContactRecord> Read(const std::string& text) {
    std::vector<ContactRecord> cards;
    ReadVCards(text, [&](ContactRecord&& r, size_t) { cards.push_back(std::move(r)); });
    return cards;
}

} // namespace

TEST(VCard, ExportIsVersionFourWithEscapingAndFolding) {
    std::string out;
    AppendVCard(out, Record({{Field::nombre, "Ana Ruiz G\xC3\xB3mez"},
                             {Field::direccion, "Calle Mayor, 1; 2\xC2\xBA"},
                             {Field::cp, "28001"},
                             {Field::oficina, "Planta 3"},
                             {Field::telefono, "555 1234"},
                             {Field::fax, "555 9999"},
                             {Field::e_mail, "ana@example.com"},
                             {Field::departamento, "Ventas\\Norte"},
                             {Field::web, "https://example.com/a,b;c"},
                             {Field::movil, std::string(70, '6') + "\xE2\x82\xAC"}}));
    EXPECT_EQ(out, "BEGIN:VCARD\r\n"
                   "VERSION:4.0\r\n"
                   "FN:Ana Ruiz G\xC3\xB3mez\r\n"
                   "N:Ruiz G\xC3\xB3mez;Ana;;;\r\n"
                   "ADR:;Planta 3;Calle Mayor\\, 1\\; 2\xC2\xBA;;;28001;\r\n"
                   "TEL;TYPE=home:555 1234\r\n"
                   "TEL;TYPE=cell:" +
                       std::string(61, '6') + "\r\n " + std::string(9, '6') +
                       "\xE2\x82\xAC\r\n"
                       "TEL;TYPE=fax:555 9999\r\n"
                       "EMAIL:ana@example.com\r\n"
                       "ORG:;Ventas\\\\Norte\r\n"
                       "URL:https://example.com/a\\,b\\;c\r\n"
                       "END:VCARD\r\n");
    // A fold never splits a UTF-8 sequence: the euro sign would straddle octet 75 here.
    out.clear();
    AppendVCard(out, Record({{Field::nombre, std::string(71, 'x') + "\xE2\x82\xAC"}}));
    EXPECT_NE(out.find("FN:" + std::string(71, 'x') + "\r\n \xE2\x82\xAC\r\n"), std::string::npos);
}

// Cards as other programs write them, and what each becomes.
TEST(VCard, ImportsTheVersionsOtherProgramsWrite) {
    struct Row {
        const char* name;
        std::string text;
        Fields expected;
    } rows[] = {
        {"2.1 quoted-printable, charset, bare types, soft line break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:Mu\xF1oz;Jos\xE9\r\n"
         "ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Calle Ma=C3=B1ana=\r\n 7=\r\n"
         ";Le=C3=B3n;;24001;Espa=C3=B1a\r\nTEL;CELL;VOICE:600\r\nTEL;WORK;FAX:911\r\n"
         "TEL;HOME:912\r\nEMAIL;PREF;INTERNET:jose@example.com\r\nEND:VCARD\r\n",
         {{Field::nombre, "Jos\xC3\xA9 Mu\xC3\xB1oz"},
          {Field::direccion, "Calle Ma\xC3\xB1"
                             "ana 7, Le\xC3\xB3n, Espa\xC3\xB1"
                             "a"},
          {Field::cp, "24001"},
          {Field::movil, "600"},
          {Field::fax, "911"},
          {Field::telefono, "912"},
          {Field::e_mail, "jose@example.com"}}},
        {"3.0 folding, groups, several TEL and EMAIL, escapes",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Luis\\, el de\n  Taller\nitem1.EMAIL;type=INTERNET:a@x\n"
         "item2.EMAIL:b@x\nTEL;TYPE=WORK,VOICE:1\nTEL;TYPE=HOME:2\nTEL;TYPE=CELL:3\n"
         "TEL;TYPE=CELL:4\nORG:Taller\\; S.L.;Motores;Turno B\nNOTE:x\\ny\n"
         "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\n BBBB\nEND:VCARD\n",
         {{Field::nombre, "Luis, el de Taller"},
          {Field::e_mail, "a@x"},
          {Field::telefono, "1"},
          {Field::movil, "3"},
          {Field::organizacion, "Taller; S.L."},
          {Field::departamento, "Motores, Turno B"}}},
        {"4.0 quoted parameters, tel URI, line break in a value",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ana\r\nTEL;VALUE=uri;TYPE=\"cell,voice\":tel:+34-600\r\n"
         "ADR;LABEL=\"Calle 1:\\nMadrid\":;;Calle 1\\nPiso 2;Madrid;;28001;\r\n"
         "URL:http://a.example/x\\,y\r\nEND:VCARD\r\n",
         {{Field::nombre, "Ana"},
          {Field::movil, "+34-600"},
          {Field::direccion, "Calle 1 Piso 2, Madrid"},
          {Field::cp, "28001"},
          {Field::web, "http://a.example/x,y"}}},
        {"no name: the e-mail address stands in",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nEMAIL:solo@example.com\r\nORG:Org\r\nEND:VCARD\r\n",
         {{Field::nombre, "solo@example.com"},
          {Field::e_mail, "solo@example.com"},
          {Field::organizacion, "Org"}}},
        {"no name nor e-mail: the organisation stands in",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nORG:Org;Dep\r\nEND:VCARD\r\n",
         {{Field::nombre, "Org"}, {Field::organizacion, "Org"}, {Field::departamento, "Dep"}}},
    };
    for (const Row& r : rows) {
        auto cards = Read(r.text);
        ASSERT_EQ(cards.size(), 1u) << r.name;
        EXPECT_EQ(cards[0], Record(r.expected)) << r.name;
    }
}

TEST(VCard, MalformedInputNamesItsLine) {
    struct Row {
        std::string text;
        size_t line;
    } rows[] = {
        {"BEGIN:VCARD\r\nVERSION:4.0\r\nFN Ana\r\nEND:VCARD\r\n", 3},      // no colon
        {"BEGIN:VCARD\r\nFN:Ana\r\n\r\nBEGIN:VCARD\r\nEND:VCARD\r\n", 4},  // no END
        {"BEGIN:VCARD\r\nFN:Ana\r\nEND:VCARD\r\nEND:VCARD\r\n", 4},        // END alone
        {"BEGIN:VCARD\r\nFN:Ana\r\n", 1},                                  // cut short
        {"FN:Ana\r\n", 1},                                                 // not a card
        {"BEGIN:VCARD\r\nFN;CHARSET=KLINGON:x\r\nEND:VCARD\r\n", 2},       // unknown charset
        {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Mu\xF1oz\r\nEND:VCARD\r\n", 3}, // not UTF-8
        {"Nombre,Direcci\xC3\xB3n\r\n", 1},                                // a CSV file
    };
    for (const Row& r : rows) {
        try {
            Read(r.text);
            ADD_FAILURE() << "accepted: " << r.text;
        } catch (const InterchangeError& e) {
            EXPECT_EQ(e.line(), r.line) << r.text << ": " << e.what();
        }
    }
}
