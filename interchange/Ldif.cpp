#include "interchange/Ldif.h"

#include "interchange/CsvDialects.h"
#include "interchange/FieldRules.h"
#include "text/Charset.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace veldrano {

namespace {

using F = Field;

// Thunderbird's attributes. Home first, as for the CSVs: "street" and "postalCode" are the
// work address's, "mozillaHome..." the home's.
constexpr ColumnRule kLdifRules[] = {
    Value("cn", F::nombre),
    NamePart("givenName", 1),
    NamePart("sn", 3),
    Value("mail", F::e_mail, kOtherEmails),
    Value("mozillaSecondEmail", F::e_mail, kOtherEmails),
    Value("homePhone", F::telefono, kOtherPhones),
    Value("telephoneNumber", F::telefono, kOtherPhones),
    Value("mobile", F::movil, kOtherPhones),
    Value("facsimileTelephoneNumber", F::fax, kOtherPhones),
    Value("fax", F::fax, kOtherPhones),
    Value("o", F::organizacion, kOtherOrgs),
    Value("ou", F::departamento, kOtherOrgs),
    Value("mozillaWorkUrl", F::web, kOtherWebs),
    Value("mozillaHomeUrl", F::web, kOtherWebs),
    Address("mozillaHomeStreet", Street, 1),
    Address("mozillaHomeStreet2", Street2, 1),
    Address("mozillaHomeLocalityName", City, 1),
    Address("mozillaHomeState", Region, 1),
    Address("mozillaHomeCountryName", Country, 1),
    Address("mozillaHomePostalCode", Postal, 1),
    Address("street", Street, 2),
    Address("mozillaWorkStreet2", Street2, 2),
    Address("l", City, 2),
    Address("st", Region, 2),
    Address("c", Country, 2),
    Address("postalCode", Postal, 2),
    Lost("pager", kOtherPhones),
    Lost("mozillaNickname", "apodo"),
    Lost("title", "cargo"),
    Lost("description", kNotes),
    Lost("birthyear", kBirthday),
    Lost("birthmonth", kBirthday),
    Lost("birthday", kBirthday),
    Lost("mozillaCustom#", "campos personalizados"),
    Lost("nsAIMid", "mensajería instantánea"),
    Skip("dn"),
    Skip("objectclass"),
    Skip("modifytimestamp"),
    Skip("mozillaUseHtmlMail"),
    Skip("changetype"),
};

bool StartsWithName(std::string_view line, std::string_view lower) {
    if (line.size() < lower.size())
        return false;
    for (size_t i = 0; i < lower.size(); ++i) {
        const char c = line[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i])
            return false;
    }
    return true;
}

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

std::optional<std::string> DecodeBase64(std::string_view in) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        if (c == '=' || c == ' ')
            continue;
        const int digit = Base64Digit(c);
        if (digit < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// One entry's values, kept until its end: a mailing list is told by its object class, and
// the values go to the assembler in the order of their rules.
struct EntryValue {
    size_t rank;
    Target target;
    int group;
    std::string value;
    std::string name; // an attribute no rule knows is lost as itself
};

class LdifReader {
  public:
    LdifReader(const ContactSink& sink, LostTally* lost) : m_sink(sink), m_assembler(lost) {}

    void Line(std::string_view line, size_t number);
    void EndEntry();

  private:
    void Attribute(std::string_view name, std::string value);

    const ContactSink& m_sink;
    RecordAssembler m_assembler;
    std::vector<EntryValue> m_values;
    size_t m_entryLine = 0;
    bool m_first = true, m_list = false;
};

void LdifReader::Line(std::string_view line, size_t number) {
    if (m_first && StartsWithName(line, "version:")) {
        m_first = false;
        return;
    }
    m_first = false;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        throw InterchangeError(number, "falta «:» tras el nombre del atributo");
    std::string_view name = line.substr(0, colon);
    name = name.substr(0, name.find(';')); // options such as ";lang-es" name no other field
    if (m_entryLine == 0) {
        if (!StartsWithName(line, "dn:"))
            throw InterchangeError(number, "la entrada no empieza con «dn:»");
        m_entryLine = number;
    }
    std::string_view rest = line.substr(colon + 1);
    const bool base64 = !rest.empty() && rest[0] == ':';
    const bool url = !rest.empty() && rest[0] == '<';
    if (base64 || url)
        rest.remove_prefix(1);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    if (url) { // a value kept elsewhere is never fetched: it is lost, and said so
        std::string where(1, '<');
        Attribute(name, where.append(rest));
        return;
    }
    if (!base64) {
        Attribute(name, std::string(rest));
        return;
    }
    auto decoded = DecodeBase64(rest);
    if (!decoded || !IsValidUtf8(*decoded))
        throw InterchangeError(number, "el valor en base64 no es texto UTF-8");
    Attribute(name, std::move(*decoded));
}

void LdifReader::Attribute(std::string_view name, std::string value) {
    if (StartsWithName(name, "objectclass") && StartsWithName(value, "groupofnames"))
        m_list = true;
    if (value.empty())
        return;
    EntryValue v{std::size(kLdifRules), {}, 0, std::move(value), {}};
    const ColumnRule* rule = MatchColumnRule(kLdifRules, name, v.group);
    if (rule) {
        v.rank = static_cast<size_t>(rule - kLdifRules);
        v.target = rule->target;
    } else {
        v.target.role = Role::Lost;
        v.name.assign(name);
    }
    if (v.target.role == Role::Address && v.target.part == Street)
        JoinValueLines(v.value); // Thunderbird keeps a street's lines in one value
    if (v.target.role != Role::Skip)
        m_values.push_back(std::move(v));
}

void LdifReader::EndEntry() {
    if (m_entryLine == 0)
        return;
    if (!m_list) {
        std::stable_sort(m_values.begin(), m_values.end(),
                         [](const EntryValue& a, const EntryValue& b) { return a.rank < b.rank; });
        m_assembler.Begin();
        for (EntryValue& v : m_values) {
            JoinValueLines(v.value);
            if (!v.name.empty())
                v.target.lost = v.name.c_str();
            m_assembler.Add(v.target, v.group, v.value, {});
        }
        ContactRecord record;
        m_assembler.Finish(record, true);
        m_sink(std::move(record), m_entryLine);
    }
    m_values.clear();
    m_entryLine = 0;
    m_list = false;
}

} // namespace

bool LooksLikeLdif(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos || line[0] == '#')
            continue;
        return StartsWithName(line, "version:") || StartsWithName(line, "dn:");
    }
    return false;
}

void ReadLdif(std::string_view text, const ContactSink& sink, LostTally* lost) {
    LdifReader reader(sink, lost);
    std::string logical;
    size_t logicalLine = 0, number = 0, pos = 0;
    bool comment = false;
    auto flush = [&] {
        if (logicalLine != 0 && !comment)
            reader.Line(logical, logicalLine);
        logicalLine = 0;
    };
    while (pos <= text.size()) {
        size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        ++number;
        pos = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        if (line.empty()) {
            flush();
            reader.EndEntry(); // RFC 2849: entries are separated by blank lines
        } else if (line[0] == ' ' && logicalLine != 0) {
            logical.append(line.substr(1)); // a folded line goes on after one space
        } else {
            flush();
            logical.assign(line);
            logicalLine = number;
            comment = line[0] == '#';
        }
    }
    flush();
    reader.EndEntry();
}

} // namespace veldrano
