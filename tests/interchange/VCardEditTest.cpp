#include "interchange/VCardEdit.h"

#include "interchange/Interchange.h"
#include "interchange/VCard.h"

#include <gtest/gtest.h>
#include <map>

using namespace veldrano;

namespace {

// A phone's card: a photo, a birthday, a note, two addresses of mail and two telephones of
// each kind, a grouped property with its label, an X- property and a folded line.
const std::string kPhoneCard =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "UID:telefono-1\r\n"
    "FN:Ana Ruiz\r\n"
    "N:Ruiz;Ana;;;\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP//////\r\n"
    " ////////////8=\r\n"
    "BDAY:1980-02-29\r\n"
    "NOTE:Conocida en Le\xC3\xB3n\\, 2019\r\n"
    "item1.EMAIL;TYPE=INTERNET:ana@casa.example\r\n"
    "item1.X-ABLabel:casa\r\n"
    "EMAIL;TYPE=INTERNET,WORK:ana@trabajo.example\r\n"
    "TEL;TYPE=CELL:600 000 001\r\n"
    "TEL;TYPE=CELL:600 000 002\r\n"
    "TEL;TYPE=HOME,VOICE:912 000 001\r\n"
    "ADR;TYPE=HOME:;Planta 3;Calle Mayor 1;Le\xC3\xB3n;;24001;Espa\xC3\xB1"
    "a\r\n"
    "ORG:Taller;Ventas;Norte\r\n"
    "X-PHONETIC-FIRST-NAME:Ana\r\n"
    "END:VCARD\r\n";

ContactRecord RecordOf(std::string_view card) {
    ContactRecord record;
    ReadVCards(card, [&](ContactRecord&& r, size_t) { record = std::move(r); });
    return record;
}

// kPhoneCard with `from` replaced by `to` (each once).
std::string PhoneCardWith(std::initializer_list<std::pair<std::string, std::string>> edits) {
    std::string card = kPhoneCard;
    for (const auto& [from, to] : edits) {
        const size_t at = card.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        card.replace(at, from.size(), to);
    }
    return card;
}

} // namespace

// Each edit made here rewrites only the property (or component) of its field; what the book
// has no field for stays byte for byte, and the card reads back with the new value.
TEST(VCardEdit, ReplacesOnlyThePropertiesOfChangedFields) {
    struct Row {
        const char* name;
        std::map<Field, std::string> edits;
        std::string expected;
    } rows[] = {
        {"a second telephone of the kind and the label of a group stay",
         {{Field::movil, "611 111 111"}},
         PhoneCardWith({{"TEL;TYPE=CELL:600 000 001", "TEL;TYPE=CELL:611 111 111"}})},
        {"the name rewrites FN and N",
         {{Field::nombre, "Ana Ruiz G\xC3\xB3mez"}},
         PhoneCardWith({{"FN:Ana Ruiz", "FN:Ana Ruiz G\xC3\xB3mez"},
                        {"N:Ruiz;Ana;;;", "N:Ruiz G\xC3\xB3mez;Ana;;;"}})},
        {"the postal code is one component: locality and country stay",
         {{Field::cp, "24002"}},
         PhoneCardWith({{";24001;", ";24002;"}})},
        {"the address takes the street and the parts the book joined into it",
         {{Field::direccion, "Plaza 2, Le\xC3\xB3n"}},
         PhoneCardWith({{";Calle Mayor 1;Le\xC3\xB3n;;24001;Espa\xC3\xB1"
                         "a",
                         ";Plaza 2\\, Le\xC3\xB3n;;;24001;"}})},
        {"the department replaces every unit, the organisation stays",
         {{Field::departamento, "Compras"}},
         PhoneCardWith({{"ORG:Taller;Ventas;Norte", "ORG:Taller;Compras"}})},
        {"an emptied field drops its property, a grouped one keeps its group when edited",
         {{Field::telefono, ""}, {Field::e_mail, "ana@nueva.example"}},
         PhoneCardWith({{"TEL;TYPE=HOME,VOICE:912 000 001\r\n", ""},
                        {"item1.EMAIL;TYPE=INTERNET:ana@casa.example",
                         "item1.EMAIL;TYPE=INTERNET:ana@nueva.example"}})},
        {"an emptied e-mail sets the second address aside: the card reads back without one",
         {{Field::e_mail, ""}},
         PhoneCardWith(
             {{"item1.EMAIL;TYPE=INTERNET:ana@casa.example\r\n", ""},
              {"EMAIL;TYPE=INTERNET,WORK:", "EMAIL;TYPE=INTERNET,WORK;X-VELDRANO-ASIDE=1:"}})},
        {"so does an emptied mobile with the second mobile",
         {{Field::movil, ""}},
         PhoneCardWith(
             {{"TEL;TYPE=CELL:600 000 001\r\n", ""},
              {"TEL;TYPE=CELL:600 000 002", "TEL;TYPE=CELL;X-VELDRANO-ASIDE=1:600 000 002"}})},
        {"a field the card had no property for is added at its end",
         {{Field::fax, "913 000 000"}, {Field::web, "https://ana.example/a,b"}},
         PhoneCardWith({{"END:VCARD", "TEL;TYPE=fax:913 000 000\r\n"
                                      "URL:https://ana.example/a\\,b\r\nEND:VCARD"}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ContactRecord record = RecordOf(kPhoneCard);
        FieldSet changed;
        for (const auto& [field, value] : row.edits) {
            record[FieldIndex(field)] = value;
            changed.set(FieldIndex(field));
        }
        const std::string updated = UpdateVCard(kPhoneCard, changed, record);
        EXPECT_EQ(updated, row.expected);
        EXPECT_EQ(RecordOf(updated), record);
    }
}

// A field emptied and then given a value again gets a property of its own; the address set
// aside stays aside, and another program's edit that drops the mark brings it back.
TEST(VCardEdit, AnAddressSetAsideStaysAsideUntilTheMarkIsGone) {
    ContactRecord record = RecordOf(kPhoneCard);
    FieldSet mail;
    mail.set(FieldIndex(Field::e_mail));
    record[FieldIndex(Field::e_mail)] = "";
    const std::string emptied = UpdateVCard(kPhoneCard, mail, record);
    record[FieldIndex(Field::e_mail)] = "ana@nueva.example";
    const std::string again = UpdateVCard(emptied, mail, record);
    EXPECT_EQ(RecordOf(again), record);
    EXPECT_NE(again.find("X-VELDRANO-ASIDE=1:ana@trabajo.example\r\n"), std::string::npos);
    EXPECT_NE(again.find("EMAIL:ana@nueva.example\r\nEND:VCARD"), std::string::npos) << again;
    std::string unmarked = emptied;
    unmarked.erase(unmarked.find(";X-VELDRANO-ASIDE=1"), 19);
    EXPECT_EQ(RecordOf(unmarked)[FieldIndex(Field::e_mail)], "ana@trabajo.example");
}

// Cards a server may hold that are odd but readable stay readable, and read back with the
// field edited: a line after a blank one that starts with white space, an address whose
// last part ends in a lone backslash.
TEST(VCardEdit, OddCardsReadBackWithTheEdit) {
    const struct {
        const char* name;
        std::string card;
        Field field;
    } rows[] = {
        {"a line after a blank one starts with white space",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ana\r\n\r\n X-A:1\r\nEND:VCARD\r\n", Field::web},
        {"a lone backslash ends the address",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ana\r\nADR:;;Calle\\\r\nEND:VCARD\r\n", Field::cp},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ContactRecord record = RecordOf(row.card);
        record[FieldIndex(row.field)] = "28001";
        FieldSet changed;
        changed.set(FieldIndex(row.field));
        ContactRecord back;
        EXPECT_NO_THROW(back = RecordOf(UpdateVCard(row.card, changed, record)));
        EXPECT_EQ(back, record);
    }
}

// Cards of vCard 2.1 (quoted-printable, another charset) and 4.0 come back as UTF-8 text in
// the properties rewritten, their other lines untouched; an empty name keeps FN and N.
TEST(VCardEdit, RewritesEncodedValuesAsUtf8AndKeepsRequiredProperties) {
    const std::string card21 = "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                               "N;CHARSET=ISO-8859-1:Mu\xF1oz;Jos\xE9\r\n"
                               "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;Calle=20Ma=\r\nyor;;;;\r\n"
                               "NOTE;ENCODING=QUOTED-PRINTABLE:l=C3=ADnea\r\n"
                               "END:VCARD\r\n";
    ContactRecord record = RecordOf(card21);
    record[FieldIndex(Field::cp)] = "24001";
    record[FieldIndex(Field::nombre)] = "";
    FieldSet changed;
    changed.set(FieldIndex(Field::cp)).set(FieldIndex(Field::nombre));
    EXPECT_EQ(UpdateVCard(card21, changed, record), "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;;;;\r\n"
                                                    "ADR;HOME:;;Calle Mayor;;;24001;\r\n"
                                                    "NOTE;ENCODING=QUOTED-PRINTABLE:l=C3=ADnea\r\n"
                                                    "FN:\r\nEND:VCARD\r\n");
    EXPECT_EQ(VCardUid(kPhoneCard), "telefono-1");
    EXPECT_THROW(UpdateVCard("BEGIN:VCARD\r\nFN:x\r\n", changed, record), InterchangeError);
}
