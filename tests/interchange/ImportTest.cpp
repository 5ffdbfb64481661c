// Exports of every address book the program reads, written here as those programs write
// them, each imported with every field in its place and what had no place counted.
#include "interchange/ContactCsv.h"
#include "interchange/Import.h"
#include "text/Charset.h"

#include <gtest/gtest.h>
#include <map>

using namespace veldrano;

namespace {

using Fields = std::map<Field, std::string>;
using Lost = std::map<std::string, size_t>;
using Rows = std::vector<std::vector<std::string>>;

// A CSV as exporters write it: a cell quoted only when it holds the separator, a quote or a
// line break.
std::string Csv(const Rows& rows, char separator, const char* end = "\r\n") {
    std::string out;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += separator;
            const std::string& cell = row[i];
            if (cell.find_first_of(std::string(1, separator) + "\"\r\n") == std::string::npos) {
                out += cell;
                continue;
            }
            out += '"';
            for (char c : cell)
                out += c == '"' ? std::string("\"\"") : std::string(1, c);
            out += '"';
        }
        out += end;
    }
    return out;
}

std::string Encoded(const std::string& utf8, const char* charset, std::string_view mark = {}) {
    Charset target(charset);
    return std::string(mark) + target.FromUtf8(utf8);
}

std::string GoogleCsv() {
    return "\xEF\xBB\xBF" + Csv({{"First Name",
                                  "Middle Name",
                                  "Last Name",
                                  "Nickname",
                                  "Organization Name",
                                  "Organization Department",
                                  "Birthday",
                                  "Notes",
                                  "Labels",
                                  "E-mail 1 - Label",
                                  "E-mail 1 - Value",
                                  "Phone 1 - Label",
                                  "Phone 1 - Value",
                                  "Phone 2 - Label",
                                  "Phone 2 - Value",
                                  "Phone 3 - Label",
                                  "Phone 3 - Value",
                                  "Address 1 - Label",
                                  "Address 1 - Street",
                                  "Address 1 - City",
                                  "Address 1 - Postal Code",
                                  "Address 1 - Country",
                                  "Address 1 - Extended Address",
                                  "Address 2 - Street",
                                  "Website 1 - Value"},
                                 {"José",
                                  "Luis",
                                  "Muñoz Ibáñez",
                                  "Pepe",
                                  "Café €uro, S.L.",
                                  "Ventas",
                                  "1980-05-04",
                                  "Línea uno\nLínea dos",
                                  "* myContacts ::: Familia",
                                  "* Home",
                                  "jose@example.es ::: pepe@example.es",
                                  "Mobile",
                                  "+34 600 111 222",
                                  "Work Fax",
                                  "911",
                                  "Home",
                                  "955 ::: 956",
                                  "Home",
                                  "Calle Peña 3",
                                  "Sevilla",
                                  "41001",
                                  "España",
                                  "Planta 2",
                                  "Calle Otra 9",
                                  "https://example.es"},
                                 {"",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "* myContacts",
                                  "",
                                  "solo@example.es",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  ""}},
                                ',');
}

std::string OldGoogleCsv() {
    return Csv(
        {{"Name", "Given Name", "Family Name", "Group Membership", "E-mail 1 - Type",
          "E-mail 1 - Value", "Phone 1 - Type", "Phone 1 - Value", "Phone 2 - Type",
          "Phone 2 - Value", "Address 1 - Type", "Address 1 - Formatted", "Address 1 - Postal Code",
          "Organization 1 - Type", "Organization 1 - Name", "Organization 1 - Department",
          "Organization 1 - Location", "Website 1 - Type", "Website 1 - Value"},
         {"Ángela Núñez", "Ángela", "Núñez", "* My Contacts", "* Home", "angela@example.es",
          "Mobile", "600 ::: 601", "Home", "954", "Home", "Av. de la Constitución 1\nSevilla",
          "41004", "", "Peñas; S.A.", "Compras", "Despacho 4", "Profile", "http://angela.example"}},
        ';', "\n");
}

std::string OutlookCsv() {
    return Encoded(Csv({{"Title",
                         "First Name",
                         "Middle Name",
                         "Last Name",
                         "Suffix",
                         "Company",
                         "Department",
                         "Job Title",
                         "Business Street",
                         "Business City",
                         "Business Postal Code",
                         "Home Street",
                         "Home City",
                         "Home Postal Code",
                         "Business Fax",
                         "Business Phone",
                         "Home Phone",
                         "Mobile Phone",
                         "Pager",
                         "Birthday",
                         "E-mail Address",
                         "E-mail Type",
                         "E-mail Display Name",
                         "E-mail 2 Address",
                         "Notes",
                         "Office Location",
                         "Web Page",
                         "Gender",
                         "Priority",
                         "Sensitivity",
                         "Private"},
                        {"Dra.",
                         "María",
                         "",
                         "Gómez",
                         "",
                         "Ibérica €",
                         "I+D",
                         "Jefa",
                         "C/ Alcalá 5",
                         "Madrid",
                         "28014",
                         "C/ Sol 1",
                         "Toledo",
                         "45001",
                         "915550000",
                         "915551111",
                         "925552222",
                         "600333444",
                         "",
                         "0/0/00",
                         "maria@example.es",
                         "SMTP",
                         "María Gómez (maria@example.es)",
                         "maria2@example.es",
                         "",
                         "Despacho 12",
                         "www.example.es",
                         "Unspecified",
                         "Normal",
                         "Normal",
                         "False"}},
                       ','),
                   "CP1252");
}

std::string ThunderbirdCsv() {
    return Encoded(Csv({{"First Name",    "Last Name",     "Display Name",
                         "Nickname",      "Primary Email", "Secondary Email",
                         "Work Phone",    "Home Phone",    "Fax Number",
                         "Mobile Number", "Home Address",  "Home ZipCode",
                         "Work Address",  "Work ZipCode",  "Organization",
                         "Department",    "Web Page 1",    "Web Page 2",
                         "Birth Year",    "Notes",         ""},
                        {"Íñigo",
                         "Zubiría",
                         "Íñigo Zubiría",
                         "",
                         "inigo@example.eus",
                         "",
                         "943000000",
                         "",
                         "943000001",
                         "688000000",
                         "Kale Nagusia 1\r\nDonostia",
                         "20001",
                         "",
                         "",
                         "Txoko",
                         "Sukaldea",
                         "http://txoko.example",
                         "",
                         "1975",
                         "",
                         ""}},
                       '\t'),
                   "UTF-16LE", "\xFF\xFE");
}

std::string OwnCsv() {
    std::string out;
    AppendCsvHeader(out);
    AppendCsvRow(out, {"Ana Peña", "Calle 1, 2º", "955", "ana@x.es", "41001", "600", "901",
                       "Org \"Sur\"", "Dep", "http://a.es", "Of. 3"});
    return out;
}

std::string ThunderbirdLdif() {
    return "version: 1\n# exported\n"
           "dn: cn=Ram\xC3\xB3n P\xC3\xA9rez,mail=ramon@example.es\n"
           "objectclass: top\nobjectclass: person\n"
           "givenName:: UmFtw7Nu\nsn:: UMOpcmV6\ncn:: UmFtw7NuIFDDqXJleg==\n"
           "mail: ramon@example.es\ntelephoneNumber: 913000000\nhomePhone: 913000001\n"
           "mobile: 650000000\nfacsimiletelephonenumber: 913000002\n"
           "mozillaHomeStreet: Calle Mayor\n  1\nmozillaHomeLocalityName: Madrid\n"
           "mozillaHomePostalCode: 28001\nstreet: Paseo de la Castellana 100\n"
           "postalCode: 28046\no:: Q29tcGHDscOtYSDigqwgUy5BLg==\nou: Legal\n"
           "mozillaWorkUrl: http://work.example\nmozillaHomeUrl: http://home.example\n"
           "description: nota\nmodifytimestamp: 0Z\n\n"
           "dn: cn=Amigos\nobjectclass: top\nobjectclass: groupOfNames\ncn: Amigos\n"
           "member: cn=Ram\xC3\xB3n P\xC3\xA9rez,mail=ramon@example.es\n\n"
           "dn: mail=sin@example.es\nmail: sin@example.es\n";
}

std::string PhoneVCards() {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bego\xC3\xB1"
           "a Ruiz\r\n"
           "item1.TEL:600 700 800\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\n"
           "item2.TEL:910 000 000\r\nitem2.X-ABLabel:_$!<WorkFAX>!$_\r\n"
           "TEL;TYPE=WORK,VOICE:910 111 111\r\nTEL;TYPE=HOME:910 222 222\r\n"
           "item3.EMAIL;type=INTERNET:begona@example.es\r\nNOTE:Amiga\r\nBDAY:1990-01-01\r\n"
           "ADR;TYPE=HOME:;;Calle A 1;Bilbao;;48001;Espa\xC3\xB1"
           "a\r\nADR;TYPE=WORK:;;Calle B 2;Bilbao;;48002;\r\nEND:VCARD\r\n"
           "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:Mu\xF1oz;Jos\xE9\r\n"
           "TEL;WORK;VOICE:944\r\nEND:VCARD\r\n";
}

struct Kind {
    const char* name;
    std::string bytes;
    const char* format;
    std::vector<Fields> contacts;
    Lost lost;
};

std::vector<Kind> Corpus() {
    using F = Field;
    return {
        {"Google, BOM, commas, several values a cell, quoted line break",
         GoogleCsv(),
         "CSV de Google",
         {{{F::nombre, "José Luis Muñoz Ibáñez"},
           {F::direccion, "Calle Peña 3, Sevilla, España"},
           {F::telefono, "955"},
           {F::e_mail, "jose@example.es"},
           {F::cp, "41001"},
           {F::movil, "+34 600 111 222"},
           {F::fax, "911"},
           {F::organizacion, "Café €uro, S.L."},
           {F::departamento, "Ventas"},
           {F::web, "https://example.es"},
           {F::oficina, "Planta 2"}},
          {{F::nombre, "solo@example.es"}, {F::e_mail, "solo@example.es"}}},
         {{"apodo", 1},
          {"cumpleaños", 1},
          {"notas", 1},
          {"etiquetas", 1},
          {"otros correos electrónicos", 1},
          {"otros teléfonos", 1},
          {"segunda dirección", 1}}},
        {"Google's older header, semicolons, LF",
         OldGoogleCsv(),
         "CSV de Google",
         {{{F::nombre, "Ángela Núñez"},
           {F::direccion, "Av. de la Constitución 1 Sevilla"},
           {F::telefono, "954"},
           {F::e_mail, "angela@example.es"},
           {F::cp, "41004"},
           {F::movil, "600"},
           {F::organizacion, "Peñas; S.A."},
           {F::departamento, "Compras"},
           {F::web, "http://angela.example"},
           {F::oficina, "Despacho 4"}}},
         {{"otros teléfonos", 1}}},
        {"Outlook in Windows-1252, its empty date and gender",
         OutlookCsv(),
         "CSV de Outlook",
         {{{F::nombre, "Dra. María Gómez"},
           {F::direccion, "C/ Sol 1, Toledo"},
           {F::telefono, "925552222"},
           {F::e_mail, "maria@example.es"},
           {F::cp, "45001"},
           {F::movil, "600333444"},
           {F::fax, "915550000"},
           {F::organizacion, "Ibérica €"},
           {F::departamento, "I+D"},
           {F::web, "www.example.es"},
           {F::oficina, "Despacho 12"}}},
         {{"cargo", 1},
          {"segunda dirección", 1},
          {"otros teléfonos", 1},
          {"otros correos electrónicos", 1}}},
        {"Thunderbird in UTF-16 with tabs",
         ThunderbirdCsv(),
         "CSV de Thunderbird",
         {{{F::nombre, "Íñigo Zubiría"},
           {F::direccion, "Kale Nagusia 1 Donostia"},
           {F::telefono, "943000000"},
           {F::e_mail, "inigo@example.eus"},
           {F::cp, "20001"},
           {F::movil, "688000000"},
           {F::fax, "943000001"},
           {F::organizacion, "Txoko"},
           {F::departamento, "Sukaldea"},
           {F::web, "http://txoko.example"}}},
         {{"cumpleaños", 1}}},
        {"our own CSV",
         OwnCsv(),
         "CSV",
         {{{F::nombre, "Ana Peña"},
           {F::direccion, "Calle 1, 2º"},
           {F::telefono, "955"},
           {F::e_mail, "ana@x.es"},
           {F::cp, "41001"},
           {F::movil, "600"},
           {F::fax, "901"},
           {F::organizacion, "Org \"Sur\""},
           {F::departamento, "Dep"},
           {F::web, "http://a.es"},
           {F::oficina, "Of. 3"}}},
         {}},
        {"Thunderbird's LDIF: base64, folding, a mailing list",
         ThunderbirdLdif(),
         "LDIF",
         {{{F::nombre, "Ramón Pérez"},
           {F::direccion, "Calle Mayor 1, Madrid"},
           {F::telefono, "913000001"},
           {F::e_mail, "ramon@example.es"},
           {F::cp, "28001"},
           {F::movil, "650000000"},
           {F::fax, "913000002"},
           {F::organizacion, "Compañía € S.A."},
           {F::departamento, "Legal"},
           {F::web, "http://work.example"}},
          {{F::nombre, "sin@example.es"}, {F::e_mail, "sin@example.es"}}},
         {{"otros teléfonos", 1},
          {"segunda dirección", 1},
          {"otras páginas web", 1},
          {"notas", 1}}},
        {"a phone's vCards: labelled groups, type lists, 2.1 charset",
         PhoneVCards(),
         "vCard",
         {{{F::nombre, "Begoña Ruiz"},
           {F::direccion, "Calle A 1, Bilbao, España"},
           {F::telefono, "910 111 111"},
           {F::e_mail, "begona@example.es"},
           {F::cp, "48001"},
           {F::movil, "600 700 800"},
           {F::fax, "910 000 000"}},
          {{F::nombre, "José Muñoz"}, {F::telefono, "944"}}},
         {{"otros teléfonos", 1}, {"notas", 1}, {"cumpleaños", 1}, {"segunda dirección", 1}}},
        {"vCard in UTF-16 big-endian",
         Encoded("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoë €\r\nEND:VCARD\r\n", "UTF-16BE", "\xFE\xFF"),
         "vCard",
         {{{F::nombre, "Zoë €"}}},
         {}},
    };
}

} // namespace

TEST(Import, EveryKindOfExportImportsWithEachFieldInPlace) {
    Charset windows1252("CP1252");
    for (const Kind& kind : Corpus()) {
        SCOPED_TRACE(kind.name);
        const ImportResult result = ImportContacts(kind.bytes, {});
        EXPECT_EQ(result.format, kind.format);
        ASSERT_EQ(result.records.size(), kind.contacts.size());
        for (size_t i = 0; i < kind.contacts.size(); ++i)
            for (int k = 0; k < kFieldCount; ++k) {
                const auto expected = kind.contacts[i].find(static_cast<Field>(k));
                EXPECT_EQ(windows1252.ToUtf8(result.records[i][k]),
                          expected == kind.contacts[i].end() ? "" : expected->second)
                    << "contact " << i << ", field " << k;
            }
        Lost lost;
        for (const LostField& f : result.lost)
            lost[f.name] = f.contacts;
        EXPECT_EQ(lost, kind.lost);
    }
}

// A file of each kind that lacks its header or holds a broken quote: refused, with its line.
TEST(Import, BrokenFilesOfEachKindAreRefusedWithTheirLine) {
    const std::string google = GoogleCsv();
    const std::string outlookRow = OutlookCsv().substr(OutlookCsv().find("\r\n") + 2);
    struct Row {
        const char* name;
        std::string bytes;
        size_t line;
        bool unknownColumns = false;
    } rows[] = {
        {"Google, a quote never closed", google + "Ana,\"Calle\r\n", 5}, // 2 lines a row before
        {"Outlook without its header row", outlookRow, 1, true},
        {"Thunderbird, a row wider than its header",
         "First Name\tLast Name\tDisplay Name\tPrimary Email\r\nA\tB\tC\td@x\te\r\n", 2},
        {"Thunderbird, a quote never closed",
         "First Name,Last Name,Display Name,Primary Email\nA,B,\"C,d@x\nE,F,G,h@x\n", 2},
        {"our CSV without its header row", "Ana,,955,,,,,,,,\r\n", 1, true},
        {"LDIF, an entry without dn", "version: 1\n\ncn: Ana\nmail: a@x\n", 3},
        {"LDIF, base64 that is not", "dn: cn=a\ncn:: ***\n", 2},
        {"LDIF, a line without a colon", "dn: cn=a\n\ndn: cn=b\ncn Ana\n", 4},
        {"vCard, the last card without END",
         "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nFN:B\r\n",
         4},
    };
    for (const Row& r : rows) {
        try {
            ImportContacts(r.bytes, {});
            ADD_FAILURE() << "accepted: " << r.name;
        } catch (const UnknownColumnsError& e) {
            EXPECT_TRUE(r.unknownColumns) << r.name << ": " << e.what();
            EXPECT_EQ(e.line(), r.line) << r.name;
        } catch (const InterchangeError& e) {
            EXPECT_FALSE(r.unknownColumns) << r.name << ": " << e.what();
            EXPECT_EQ(e.line(), r.line) << r.name << ": " << e.what();
        }
    }
}

TEST(Import, UnknownColumnsArePreviewedAndImportAsTheUserMapsThem) {
    const std::string csv = "Nombre completo;Apellido;Tel;Ciudad\r\n"
                            "Ana;\"Pe\xF1" // Windows-1252
                            "a\r\nRuiz\";955;Sevilla\r\nLuis;Gil;;C\xE1"
                            "diz\r\n";
    try {
        ImportContacts(csv, {});
        ADD_FAILURE() << "imported unknown columns";
    } catch (const UnknownColumnsError& e) {
        EXPECT_EQ(e.columns(),
                  (std::vector<std::string>{"Nombre completo", "Apellido", "Tel", "Ciudad"}));
    }
    const CsvPreview preview = PreviewCsv(csv, 1);
    EXPECT_EQ(preview.columns.size(), 4u);
    EXPECT_EQ(preview.rows, (Rows{{"Ana", "Peña Ruiz", "955", "Sevilla"}}));

    // Two columns mapped to one field join after a space; an unmapped one is not imported.
    ImportOptions options;
    options.columns =
        MapColumnsByName(preview.columns, "nombre=Nombre completo,Nombre y Apellidos=APELLIDO,"
                                          "telefono=Tel");
    EXPECT_EQ(options.columns, (ColumnMapping{0, 0, 2, -1}));
    const ImportResult result = ImportContacts(csv, options);
    EXPECT_EQ(result.format, "CSV");
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(result.records[0], (ContactRecord{"Ana Pe\xF1"
                                                "a Ruiz",
                                                "", "955"}));
    EXPECT_EQ(result.records[1], (ContactRecord{"Luis Gil"}));

    for (const char* pairs : {"Ciudad=Tel", "Nombre=Ciudadano", "Nombre"}) {
        try {
            MapColumnsByName(preview.columns, pairs);
            ADD_FAILURE() << "accepted " << pairs;
        } catch (const InterchangeError& e) {
            EXPECT_NE(std::string(e.what()).find(pairs[0] == 'C' ? "Ciudad" : "Nombre"),
                      std::string::npos)
                << e.what();
        }
    }
}
