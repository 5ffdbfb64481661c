#include "interchange/VCard.h"

#include "interchange/FieldRules.h"
#include "interchange/VCardLoss.h"
#include "interchange/VCardSyntax.h"

#include <array>
#include <optional>
#include <vector>

namespace veldrano {

namespace {

const std::string& Get(const ContactRecord& r, Field f) {
    return r[FieldIndex(f)];
}

std::string_view Given(const std::string& nombre) {
    return std::string_view(nombre).substr(0, nombre.find(' '));
}

std::string_view Family(const std::string& nombre) {
    const size_t space = nombre.find(' ');
    return space == std::string::npos ? std::string_view()
                                      : std::string_view(nombre).substr(space + 1);
}

} // namespace

std::vector<Field> FieldsOfProperty(CardProperty property) {
    using F = veldrano::Field;
    switch (property) {
    case CardProperty::FN:
    case CardProperty::N:
        return {F::nombre};
    case CardProperty::ADR:
        return {F::direccion, F::cp, F::oficina};
    case CardProperty::TelHome:
        return {F::telefono};
    case CardProperty::TelCell:
        return {F::movil};
    case CardProperty::TelFax:
        return {F::fax};
    case CardProperty::EMAIL:
        return {F::e_mail};
    case CardProperty::ORG:
        return {F::organizacion, F::departamento};
    case CardProperty::URL:
        return {F::web};
    }
    return {};
}

std::vector<std::string_view> PropertyComponents(CardProperty property, const ContactRecord& r) {
    using F = veldrano::Field;
    const auto single = [&](F f) -> std::vector<std::string_view> {
        if (Get(r, f).empty())
            return {};
        return {Get(r, f)};
    };
    switch (property) {
    case CardProperty::FN:
        return {Get(r, F::nombre)};
    case CardProperty::N:
        // Nombre y Apellidos: the given name first, the family names after it.
        if (Get(r, F::nombre).empty())
            return {};
        return {Family(Get(r, F::nombre)), Given(Get(r, F::nombre)), {}, {}, {}};
    case CardProperty::ADR:
        if (Get(r, F::oficina).empty() && Get(r, F::direccion).empty() && Get(r, F::cp).empty())
            return {};
        return {{}, Get(r, F::oficina), Get(r, F::direccion), {}, {}, Get(r, F::cp), {}};
    case CardProperty::TelHome:
        return single(F::telefono);
    case CardProperty::TelCell:
        return single(F::movil);
    case CardProperty::TelFax:
        return single(F::fax);
    case CardProperty::EMAIL:
        return single(F::e_mail);
    case CardProperty::ORG:
        if (!Get(r, F::departamento).empty())
            return {Get(r, F::organizacion), Get(r, F::departamento)};
        return single(F::organizacion);
    case CardProperty::URL:
        return single(F::web);
    }
    return {};
}

const char* PropertyHead(CardProperty property) {
    static constexpr const char* kHeads[kCardPropertyCount] = {
        "FN:",    "N:",   "ADR:", "TEL;TYPE=home:", "TEL;TYPE=cell:", "TEL;TYPE=fax:",
        "EMAIL:", "ORG:", "URL:"};
    return kHeads[static_cast<int>(property)];
}

std::optional<CardProperty> PropertyOf(const VCardProperty& p) {
    if (p.base64 || p.aside)
        return std::nullopt; // photos, sounds, keys and what was set aside: no field
    if (IsName(p.name, "FN"))
        return CardProperty::FN;
    if (IsName(p.name, "N"))
        return CardProperty::N;
    if (IsName(p.name, "ADR"))
        return CardProperty::ADR;
    if (IsName(p.name, "TEL"))
        return p.fax    ? CardProperty::TelFax
               : p.cell ? CardProperty::TelCell
                        : CardProperty::TelHome;
    if (IsName(p.name, "EMAIL"))
        return CardProperty::EMAIL;
    if (IsName(p.name, "ORG"))
        return CardProperty::ORG;
    if (IsName(p.name, "URL"))
        return CardProperty::URL;
    return std::nullopt;
}

void AppendVCard(std::string& out, const ContactRecord& r, VCardVersion version,
                 std::string_view uid) {
    thread_local std::string line;
    out += version == VCardVersion::V4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n"
                                       : "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    if (!uid.empty()) {
        line.assign("UID:");
        AppendVCardEscaped(line, uid);
        AppendVCardFolded(out, line);
    }
    for (CardProperty property : kCardProperties) {
        auto parts = PropertyComponents(property, r);
        if (parts.empty() && property == CardProperty::N && version == VCardVersion::V3)
            parts.assign(5, {}); // RFC 2426 requires N
        if (parts.empty())
            continue;
        line.assign(PropertyHead(property));
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0)
                line += ';';
            AppendVCardEscaped(line, parts[i]);
        }
        AppendVCardFolded(out, line);
    }
    out += "END:VCARD\r\n";
}

// --- Reading -----------------------------------------------------------------------------

namespace {

// The field of a telephone's property, as FieldsOfProperty tells it.
Field PhoneField(CardProperty property) {
    return property == CardProperty::TelFax    ? Field::fax
           : property == CardProperty::TelCell ? Field::movil
                                               : Field::telefono;
}

bool StartsWith(std::string_view text, std::string_view upper) {
    return text.size() >= upper.size() && IsName(text.substr(0, upper.size()), upper);
}

void JoinNonEmpty(const std::vector<std::string>& parts, std::initializer_list<size_t> which,
                  std::string_view separator, std::string& joined) {
    joined.clear();
    for (size_t i : which) {
        if (i >= parts.size() || parts[i].empty())
            continue;
        if (!joined.empty())
            joined += separator;
        joined += parts[i];
    }
}

// The card being read and which of its properties are already taken.
struct CardState {
    size_t line = 0;
    ContactRecord record;
    std::array<bool, kCardPropertyCount> seen{};
    std::string nameFromN;
    // Telephones of a group ("item1.TEL"), read at the end once the group's X-ABLabel,
    // which may come after them, tells a mobile or a fax.
    std::vector<std::pair<std::string, size_t>> groupedPhones;
    std::vector<std::pair<std::string, std::string>> labels; // group, label

    // A new card from `at`, in the memory of the last one.
    void Begin(size_t at) {
        line = at;
        for (std::string& field : record)
            field.clear();
        seen.fill(false);
        nameFromN.clear();
        groupedPhones.clear();
        labels.clear();
    }
};

class Reader {
  public:
    Reader(const ContactSink& sink, LostTally* lost) : m_sink(sink), m_lost(lost) {}

    void Line(std::string_view line, size_t number) {
        VCardProperty& p = m_property;
        if (!ParseVCardProperty(line, p))
            throw InterchangeError(number, "falta «:» tras el nombre de la propiedad");
        if (IsName(p.name, "BEGIN") && IsName(p.value, "VCARD")) {
            if (m_open)
                throw InterchangeError(number, "BEGIN:VCARD dentro de otra tarjeta");
            m_card.Begin(number);
            m_open = true;
            if (m_lost)
                m_lost->BeginContact();
        } else if (IsName(p.name, "END") && IsName(p.value, "VCARD")) {
            if (!m_open)
                throw InterchangeError(number, "END:VCARD sin BEGIN:VCARD");
            Finish();
        } else if (!m_open) {
            throw InterchangeError(number, "se esperaba BEGIN:VCARD");
        } else if (!p.group.empty() && IsName(p.name, "TEL")) {
            m_card.groupedPhones.emplace_back(line, number);
        } else {
            if (!p.group.empty() && IsName(p.name, "X-ABLABEL"))
                m_card.labels.emplace_back(p.group, Text(p, number));
            Take(p, number);
        }
    }

    void End() {
        if (m_open)
            throw InterchangeError(m_card.line, "la tarjeta no termina con END:VCARD");
    }

  private:
    // The value unescaped, valid until the next value is read.
    std::string_view Text(const VCardProperty& p, size_t number) {
        const std::string_view value = m_decoder.Decode(p, number);
        if (FindAnyOf<'\\', '\r', '\n'>(value) == value.size())
            return value; // nothing escaped
        VCardComponents(value, ",", false, m_parts);
        return m_parts[0];
    }

    // The parts of a structured value, unescaped, until the next value is read.
    const std::vector<std::string>& Components(const VCardProperty& p, size_t number,
                                               std::string_view comma) {
        VCardComponents(m_decoder.Decode(p, number), comma, true, m_parts);
        return m_parts;
    }

    void Take(const VCardProperty& p, size_t number) {
        using F = veldrano::Field;
        const auto property = PropertyOf(p);
        CardState& c = m_card;
        if (!property || c.seen[static_cast<int>(*property)]) {
            Lose(property ? LostNameOfRepeat(p.name) : LostNameOfProperty(p.name));
            return; // the first of each kind fills the fields
        }
        c.seen[static_cast<int>(*property)] = true;
        auto field = [&](F f) -> std::string& { return c.record[FieldIndex(f)]; };
        switch (*property) {
        case CardProperty::FN:
            field(F::nombre).assign(Text(p, number));
            break;
        case CardProperty::N:
            // family;given;additional;prefix;suffix, said in the order a name is spoken
            JoinNonEmpty(Components(p, number, " "), {3, 1, 2, 0, 4}, " ", c.nameFromN);
            break;
        case CardProperty::ADR: {
            const auto& a = Components(p, number, ", ");
            // post-office box;extended;street;locality;region;code;country
            JoinNonEmpty(a, {0, 2, 3, 4, 6}, ", ", field(F::direccion));
            field(F::cp).assign(a.size() > 5 ? std::string_view(a[5]) : std::string_view());
            field(F::oficina).assign(a.size() > 1 ? std::string_view(a[1]) : std::string_view());
            break;
        }
        case CardProperty::TelHome:
        case CardProperty::TelCell:
        case CardProperty::TelFax: {
            std::string_view value = Text(p, number);
            if (p.uri && StartsWith(value, "TEL:"))
                value.remove_prefix(4);
            field(PhoneField(*property)).assign(value);
            break;
        }
        case CardProperty::EMAIL:
            field(F::e_mail).assign(Text(p, number));
            break;
        case CardProperty::ORG: {
            const auto& o = Components(p, number, ",");
            field(F::organizacion).assign(o[0]);
            std::string& units = field(F::departamento);
            units.clear();
            for (size_t i = 1; i < o.size(); ++i) {
                if (o[i].empty())
                    continue;
                if (!units.empty())
                    units += ", ";
                units += o[i];
            }
            break;
        }
        case CardProperty::URL:
            field(F::web).assign(Text(p, number));
            break;
        }
    }

    void Lose(std::string_view name) {
        if (m_lost && !name.empty())
            m_lost->Lose(name);
    }

    void TakeGroupedPhones() {
        for (const auto& [line, number] : m_card.groupedPhones) {
            VCardProperty p;
            ParseVCardProperty(line, p);
            for (const auto& [group, label] : m_card.labels) {
                if (group != p.group)
                    continue;
                const Field field = PhoneFieldOfLabel(label);
                p.fax = p.fax || field == Field::fax;
                p.cell = p.cell || field == Field::movil;
            }
            Take(p, number);
        }
    }

    void Finish() {
        using F = veldrano::Field;
        TakeGroupedPhones();
        CardState& c = m_card;
        std::string& nombre = c.record[FieldIndex(F::nombre)];
        if (!c.seen[static_cast<int>(CardProperty::FN)]) {
            nombre = std::move(c.nameFromN);
            if (nombre.empty())
                nombre = c.record[FieldIndex(F::e_mail)];
            if (nombre.empty())
                nombre = c.record[FieldIndex(F::organizacion)];
        }
        m_open = false;
        m_sink(std::move(c.record), c.line);
    }

    const ContactSink& m_sink;
    LostTally* m_lost;
    CardState m_card; // reused from card to card, as its memory is
    bool m_open = false;
    VCardValueDecoder m_decoder;
    std::vector<std::string> m_parts; // of the last value read
    VCardProperty m_property;         // the line being read
};

} // namespace

void ReadVCards(std::string_view text, const ContactSink& sink, LostTally* lost) {
    Reader reader(sink, lost);
    ForEachContentLine(text, [&](std::string_view logical, std::string_view, size_t number) {
        reader.Line(logical, number);
    });
    reader.End();
}

} // namespace veldrano
