#include "interchange/CsvDialects.h"

namespace veldrano {

namespace {

using F = Field;

constexpr const char* kPhones = kOtherPhones;
constexpr const char* kEmails = kOtherEmails;
constexpr const char* kWebs = kOtherWebs;
constexpr const char* kOrgs = kOtherOrgs;

constexpr ColumnRule kOwnRules[] = {
    Value("Nombre y Apellidos", F::nombre),
    Value("Dirección", F::direccion),
    Value("Teléfono", F::telefono),
    Value("Correo Electrónico", F::e_mail),
    Value("Código Postal", F::cp),
    Value("Móvil", F::movil),
    Value("Fax", F::fax),
    Value("Organización", F::organizacion),
    Value("Departamento", F::departamento),
    Value("Página Web", F::web),
    Value("Oficina", F::oficina),
};

constexpr ColumnRule kAbookRules[] = {
    Value("name", F::nombre),    Values("email", F::e_mail, kEmails),
    Value("phone", F::telefono), Lost("notes", kNotes),
    Lost("nick", "apodo"),
};

// Both of Google's headers: today's ("First Name", "Phone 1 - Label", "Organization Name")
// and the older one ("Name", "Given Name", "Phone 1 - Type", "Organization 1 - Name").
constexpr ColumnRule kGoogleRules[] = {
    Value("Name", F::nombre),
    NamePart("Name Prefix", 0),
    NamePart("First Name", 1),
    NamePart("Given Name", 1),
    NamePart("Middle Name", 2),
    NamePart("Additional Name", 2),
    NamePart("Last Name", 3),
    NamePart("Family Name", 3),
    NamePart("Name Suffix", 4),
    Values("E-mail # - Value", F::e_mail, kEmails),
    Phone("Phone # - Value"),
    PhoneLabel("Phone # - Label"),
    PhoneLabel("Phone # - Type"),
    Address("Address # - PO Box", Box),
    Address("Address # - Street", Street),
    Address("Address # - City", City),
    Address("Address # - Region", Region),
    Address("Address # - Country", Country),
    Address("Address # - Formatted", Formatted),
    Address("Address # - Postal Code", Postal),
    Address("Address # - Extended Address", Extended),
    Value("Organization Name", F::organizacion, kOrgs),
    Value("Organization # - Name", F::organizacion, kOrgs),
    Value("Organization Department", F::departamento, kOrgs),
    Value("Organization # - Department", F::departamento, kOrgs),
    Value("Organization # - Location", F::oficina, kOrgs),
    Values("Website # - Value", F::web, kWebs),
    Lost("Organization Title", "cargo"),
    Lost("Organization # - Title", "cargo"),
    Lost("Organization # - Job Description", "cargo"),
    Lost("Nickname", "apodo"),
    Lost("Maiden Name", "apellido de soltera"),
    Lost("Birthday", kBirthday),
    Lost("Notes", kNotes),
    Lost("Photo", "foto"),
    Lost("Labels", "etiquetas", "* "), // "* myContacts", "* starred": Google's own
    Lost("Group Membership", "etiquetas", "* "),
    Lost("Event # - Value", "fechas"),
    Lost("Relation # - Value", "personas relacionadas"),
    Lost("IM # - Value", "mensajería instantánea"),
    Lost("Custom Field # - Value", "campos personalizados"),
    Lost("Occupation", "profesión"),
    Lost("Hobby", "aficiones"),
    Lost("Gender", "sexo"),
    Lost("Language", "idioma"),
    Lost("Location", "ubicación"),
    Lost("Billing Information", "facturación"),
    Lost("Mileage", "kilometraje"),
    Lost("Subject", "asunto"),
    Lost("Directory Server", "servidor de directorio"),
    Skip("E-mail # - Label"),
    Skip("E-mail # - Type"),
    Skip("Address # - Label"),
    Skip("Address # - Type"),
    Skip("Website # - Label"),
    Skip("Website # - Type"),
    Skip("Organization # - Type"),
    Skip("Organization # - Symbol"),
    Skip("Organization # - Yomi Name"),
    Skip("Event # - Label"),
    Skip("Event # - Type"),
    Skip("Relation # - Label"),
    Skip("Relation # - Type"),
    Skip("IM # - Label"),
    Skip("IM # - Type"),
    Skip("IM # - Service"),
    Skip("Custom Field # - Label"),
    Skip("Custom Field # - Type"),
    Skip("Phonetic First Name"),
    Skip("Phonetic Middle Name"),
    Skip("Phonetic Last Name"),
    Skip("Yomi Name"),
    Skip("Given Name Yomi"),
    Skip("Additional Name Yomi"),
    Skip("Family Name Yomi"),
    Skip("File As"),
    Skip("Initials"),
    Skip("Short Name"),
    Skip("Sensitivity"),
    Skip("Priority"),
};
constexpr std::string_view kGoogleMarks[] = {
    "Given Name",          "Family Name",           "Name Suffix",
    "Organization Name",   "Group Membership",      "Labels",
    "Phonetic First Name", "E-mail # - Value",      "Phone # - Value",
    "Address # - Street",  "Address # - Formatted", "Website # - Value",
    "Event # - Value",     "Relation # - Value",    "Custom Field # - Value",
    "IM # - Value",        "Organization # - Name"};

// Home first: the fields of the Personal page are the home's, the business's fill them only
// when the home has none.
constexpr ColumnRule kOutlookRules[] = {
    NamePart("Title", 0),
    NamePart("First Name", 1),
    NamePart("Middle Name", 2),
    NamePart("Last Name", 3),
    NamePart("Suffix", 4),
    Value("Home Phone", F::telefono, kPhones),
    Value("Business Phone", F::telefono, kPhones),
    Value("Mobile Phone", F::movil, kPhones),
    Value("Business Fax", F::fax, kPhones),
    Value("Home Fax", F::fax, kPhones),
    Value("Other Fax", F::fax, kPhones),
    Value("E-mail Address", F::e_mail, kEmails),
    Value("E-mail # Address", F::e_mail, kEmails),
    Value("Company", F::organizacion),
    Value("Department", F::departamento),
    Value("Office Location", F::oficina),
    Value("Web Page", F::web, kWebs),
    Address("Home Address PO Box", Box, 1),
    Address("Home Street", Street, 1),
    Address("Home Street 2", Street2, 1),
    Address("Home Street 3", Street3, 1),
    Address("Home City", City, 1),
    Address("Home State", Region, 1),
    Address("Home Country/Region", Country, 1),
    Address("Home Postal Code", Postal, 1),
    Address("Business Address PO Box", Box, 2),
    Address("Business Street", Street, 2),
    Address("Business Street 2", Street2, 2),
    Address("Business Street 3", Street3, 2),
    Address("Business City", City, 2),
    Address("Business State", Region, 2),
    Address("Business Country/Region", Country, 2),
    Address("Business Postal Code", Postal, 2),
    Address("Other Address PO Box", Box, 3),
    Address("Other Street", Street, 3),
    Address("Other Street 2", Street2, 3),
    Address("Other Street 3", Street3, 3),
    Address("Other City", City, 3),
    Address("Other State", Region, 3),
    Address("Other Country/Region", Country, 3),
    Address("Other Postal Code", Postal, 3),
    Lost("Assistant's Phone", kPhones),
    Lost("Business Phone 2", kPhones),
    Lost("Callback", kPhones),
    Lost("Car Phone", kPhones),
    Lost("Company Main Phone", kPhones),
    Lost("Home Phone 2", kPhones),
    Lost("ISDN", kPhones),
    Lost("Other Phone", kPhones),
    Lost("Pager", kPhones),
    Lost("Primary Phone", kPhones),
    Lost("Radio Phone", kPhones),
    Lost("TTY/TDD Phone", kPhones),
    Lost("Telex", kPhones),
    Lost("Job Title", "cargo"),
    Lost("Birthday", kBirthday, "0/0/00"), // Outlook's empty date
    Lost("Anniversary", "aniversario", "0/0/00"),
    Lost("Notes", kNotes),
    Lost("Categories", "categorías"),
    Lost("Nickname", "apodo"),
    Lost("Children", "hijos"),
    Lost("Spouse", "cónyuge"),
    Lost("Assistant's Name", "asistente"),
    Lost("Manager's Name", "responsable"),
    Lost("Profession", "profesión"),
    Lost("Hobby", "aficiones"),
    Lost("Gender", "sexo", "Unspecified"),
    Lost("Account", "cuenta"),
    Lost("Government ID Number", "documento de identidad"),
    Lost("Organizational ID Number", "número de empleado"),
    Lost("Referred By", "recomendado por"),
    Lost("User #", "campos del usuario"),
    Lost("Keywords", "palabras clave"),
    Lost("Language", "idioma"),
    Lost("Location", "ubicación"),
    Lost("Mileage", "kilometraje"),
    Lost("Billing Information", "facturación"),
    Lost("Directory Server", "servidor de directorio"),
    Lost("Internet Free Busy", "disponibilidad"),
    Skip("E-mail Type"),
    Skip("E-mail # Type"),
    Skip("E-mail Display Name"),
    Skip("E-mail # Display Name"),
    Skip("Initials"),
    Skip("Priority"),
    Skip("Private"),
    Skip("Sensitivity"),
};
constexpr std::string_view kOutlookMarks[] = {"E-mail Address", "Business Phone",  "Mobile Phone",
                                              "Home Street",    "Business Street", "Company"};

constexpr ColumnRule kThunderbirdRules[] = {
    Value("Display Name", F::nombre),
    NamePart("First Name", 1),
    NamePart("Last Name", 3),
    Value("Primary Email", F::e_mail, kEmails),
    Value("Secondary Email", F::e_mail, kEmails),
    Value("Home Phone", F::telefono, kPhones),
    Value("Work Phone", F::telefono, kPhones),
    Value("Mobile Number", F::movil, kPhones),
    Value("Fax Number", F::fax, kPhones),
    Value("Organization", F::organizacion),
    Value("Department", F::departamento),
    Value("Web Page 1", F::web, kWebs),
    Value("Web Page 2", F::web, kWebs),
    Address("Home Address", Street, 1),
    Address("Home Address 2", Street2, 1),
    Address("Home City", City, 1),
    Address("Home State", Region, 1),
    Address("Home Country", Country, 1),
    Address("Home ZipCode", Postal, 1),
    Address("Work Address", Street, 2),
    Address("Work Address 2", Street2, 2),
    Address("Work City", City, 2),
    Address("Work State", Region, 2),
    Address("Work Country", Country, 2),
    Address("Work ZipCode", Postal, 2),
    Lost("Pager Number", kPhones),
    Lost("Nickname", "apodo"),
    Lost("Screen Name", "mensajería instantánea"),
    Lost("Job Title", "cargo"),
    Lost("Birth Year", kBirthday),
    Lost("Birth Month", kBirthday),
    Lost("Birth Day", kBirthday),
    Lost("Custom #", "campos personalizados"),
    Lost("Notes", kNotes),
};
constexpr std::string_view kThunderbirdMarks[] = {"Display Name",    "Primary Email",
                                                  "Secondary Email", "Mobile Number",
                                                  "Home ZipCode",    "Work ZipCode"};

constexpr CsvDialect kOwn{"CSV", kOwnRules, {}, "", false, true, false};
constexpr CsvDialect kAbook{"CSV", kAbookRules, {}, ",", true, true, true};
constexpr CsvDialect kKnown[] = {
    {"CSV de Google", kGoogleRules, kGoogleMarks, " ::: "},
    {"CSV de Outlook", kOutlookRules, kOutlookMarks, ""},
    {"CSV de Thunderbird", kThunderbirdRules, kThunderbirdMarks, ""},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// `name` against a rule's name whose "#" stands for a number.
bool Matches(std::string_view pattern, std::string_view name, int& group) {
    const size_t hash = pattern.find('#');
    if (hash == std::string_view::npos)
        return SameName(pattern, name);
    const std::string_view prefix = pattern.substr(0, hash), suffix = pattern.substr(hash + 1);
    if (name.size() <= prefix.size() + suffix.size() ||
        !SameName(name.substr(0, prefix.size()), prefix) ||
        !SameName(name.substr(name.size() - suffix.size()), suffix))
        return false;
    const std::string_view digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9' || number > 9999)
            return false;
        number = number * 10 + (c - '0');
    }
    group = number;
    return true;
}

} // namespace

const CsvDialect& OwnCsvDialect() {
    return kOwn;
}

const CsvDialect& AbookCsvDialect() {
    return kAbook;
}

const ColumnRule* MatchColumnRule(std::span<const ColumnRule> rules, std::string_view name,
                                  int& group) {
    for (const ColumnRule& rule : rules) {
        group = 0;
        if (Matches(rule.name, name, group))
            return &rule;
    }
    return nullptr;
}

const CsvDialect* FindCsvDialect(const std::vector<std::string>& header) {
    const CsvDialect* best = nullptr;
    size_t bestKnown = 0;
    for (const CsvDialect& dialect : kKnown) {
        bool marked = false;
        size_t known = 0;
        for (const std::string& column : header) {
            int group = 0;
            known += MatchColumnRule(dialect.rules, column, group) != nullptr;
            for (std::string_view mark : dialect.marks)
                marked = marked || Matches(mark, column, group);
        }
        if (marked && known > bestKnown) {
            best = &dialect;
            bestKnown = known;
        }
    }
    return best;
}

} // namespace veldrano
