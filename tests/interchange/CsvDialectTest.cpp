// The rules of each layout's table, one row a rule: which column fills a field first, what a
// label decides, what is lost and how it is counted.
#include "interchange/Import.h"

#include <gtest/gtest.h>
#include <map>

using namespace veldrano;

namespace {

using Fields = std::map<Field, std::string>;
using Lost = std::map<std::string, size_t>;

struct Rule {
    const char* name;
    std::string bytes; // ASCII, so that the code page changes nothing
    Fields first;      // the first contact's fields that are not empty
    Lost lost;
};

} // namespace

TEST(CsvDialect, EachTableFillsTheFieldsInItsOrder) {
    using F = Field;
    const Rule rules[] = {
        {"Outlook: the business address and telephone when the home has none",
         "First Name,Last Name,Home Street,Business Street,Business Postal Code,Home Phone,"
         "Business Phone,Company\r\nAna,Gil,,Gran Via 1,28013,,910,ACME\r\n",
         {{F::nombre, "Ana Gil"},
          {F::direccion, "Gran Via 1"},
          {F::cp, "28013"},
          {F::telefono, "910"},
          {F::organizacion, "ACME"}},
         {}},
        {"Google: labels tell the telephones; one of a kind already filled is lost",
         "First Name,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,"
         "Phone 3 - Label,Phone 3 - Value,Phone 4 - Label,Phone 4 - Value\r\n"
         "Ana,Work Fax,1,Other,2,Mobile,3,Home,4\r\n",
         {{F::nombre, "Ana"}, {F::fax, "1"}, {F::telefono, "2"}, {F::movil, "3"}},
         {{"otros teléfonos", 1}}},
        {"Google: a value given twice is not lost; a column no rule knows is, by its name",
         "Name,E-mail 1 - Value,E-mail 2 - Value,Hobbit\r\nAna,a@x ::: a@x,a@x,pies\r\n",
         {{F::nombre, "Ana"}, {F::e_mail, "a@x"}},
         {{"Hobbit", 1}}},
        {"Thunderbird: First and Last Name when the Display Name is empty, tabs",
         "First Name\tLast Name\tDisplay Name\tPrimary Email\tCustom 1\tCustom 2\n"
         "Ana\tGil\t\ta@x\tu\tv\n",
         {{F::nombre, "Ana Gil"}, {F::e_mail, "a@x"}},
         {{"campos personalizados", 1}}},
        {"Google: what a contact loses twice counts once; each contact counts",
         "Name;Event 1 - Value;Event 2 - Value\nAna;2001;2002\nLuis;;2003\n",
         {{F::nombre, "Ana"}},
         {{"fechas", 2}}},
        {"LDIF: comments, CR LF, attribute options, a value kept elsewhere",
         "# Thunderbird\r\ndn: cn=Ana\r\ncn;lang-es: Ana\r\n# note\r\n"
         "mail: a@x\r\njpegPhoto:< file:///tmp/a.jpg\r\nmozillaCustom2: z\r\n",
         {{F::nombre, "Ana"}, {F::e_mail, "a@x"}},
         {{"jpegPhoto", 1}, {"campos personalizados", 1}}},
    };
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.name);
        const ImportResult result = ImportContacts(rule.bytes, {});
        ASSERT_FALSE(result.records.empty());
        ContactRecord expected;
        for (const auto& [field, value] : rule.first)
            expected[FieldIndex(field)] = value;
        EXPECT_EQ(result.records[0], expected);
        Lost lost;
        for (const LostField& f : result.lost)
            lost[f.name] = f.contacts;
        EXPECT_EQ(lost, rule.lost);
    }
}
