#include "interchange/VCardEdit.h"

#include "interchange/Interchange.h"
#include "interchange/VCard.h"
#include "interchange/VCardSyntax.h"

#include <array>
#include <optional>
#include <vector>

namespace veldrano {

namespace {

bool Touches(CardProperty property, FieldSet changed) {
    for (Field f : FieldsOfProperty(property))
        if (changed[FieldIndex(f)])
            return true;
    return false;
}

std::string Escaped(std::string_view value) {
    std::string out;
    AppendVCardEscaped(out, value);
    return out;
}

// The parameters worth keeping on a rewritten property: the value is now plain UTF-8 text,
// so its old encoding, charset and value type no longer apply.
std::string KeptParameters(std::string_view params) {
    std::string kept;
    while (!params.empty()) {
        bool quoted = false;
        size_t end = 0;
        while (end < params.size() && (quoted || params[end] != ';')) {
            quoted = params[end] == '"' ? !quoted : quoted;
            ++end;
        }
        const std::string_view param = params.substr(0, end);
        const std::string_view key = param.substr(0, param.find('='));
        if (!IsName(key, "ENCODING") && !IsName(key, "CHARSET") && !IsName(key, "VALUE") &&
            !IsName(key, "QUOTED-PRINTABLE") && !IsName(key, "BASE64")) {
            kept += ';';
            kept += param;
        }
        params.remove_prefix(std::min(end + 1, params.size()));
    }
    return kept;
}

bool DanglingEscape(std::string_view part) {
    size_t n = 0;
    while (n < part.size() && part[part.size() - 1 - n] == '\\')
        ++n;
    return n % 2 == 1;
}

// The new escaped components of a property the card has, or none to drop it. ADR and ORG
// keep the components of fields that did not change (a locality, a second unit stay).
std::vector<std::string> NewComponents(CardProperty property, std::string_view escaped,
                                       FieldSet changed, const ContactRecord& r) {
    using F = veldrano::Field;
    auto is = [&](F f) { return changed[FieldIndex(f)]; };
    std::vector<std::string> parts;
    if (property == CardProperty::ADR || property == CardProperty::ORG) {
        for (std::string_view part : SplitEscapedComponents(escaped))
            parts.emplace_back(part);
        // A value that ends in a lone backslash, which the reader takes as it is: kept so, it
        // would escape the separator written after it.
        if (!parts.empty() && DanglingEscape(parts.back()))
            parts.back() += '\\';
    }
    if (property == CardProperty::ADR) {
        parts.resize(std::max<size_t>(parts.size(), 7));
        if (is(F::direccion)) {
            // The book's address holds the post-office box, street, locality, region and
            // country the reader joined; it all becomes the street.
            for (size_t i : {0, 3, 4, 6})
                parts[i].clear();
            parts[2] = Escaped(r[FieldIndex(F::direccion)]);
        }
        if (is(F::oficina))
            parts[1] = Escaped(r[FieldIndex(F::oficina)]);
        if (is(F::cp))
            parts[5] = Escaped(r[FieldIndex(F::cp)]);
    } else if (property == CardProperty::ORG) {
        if (is(F::organizacion))
            parts[0] = Escaped(r[FieldIndex(F::organizacion)]);
        if (is(F::departamento)) {
            parts.resize(1); // the book's department holds every unit the reader joined
            if (!r[FieldIndex(F::departamento)].empty())
                parts.push_back(Escaped(r[FieldIndex(F::departamento)]));
        }
    } else {
        for (std::string_view part : PropertyComponents(property, r))
            parts.push_back(Escaped(part));
    }
    bool empty = true;
    for (const auto& part : parts)
        empty = empty && part.empty();
    if (empty && property == CardProperty::FN)
        return {std::string()}; // a card must have FN
    if (empty && property == CardProperty::N)
        return std::vector<std::string>(5); // and 3.0 wants N
    return empty ? std::vector<std::string>() : parts;
}

void AppendProperty(std::string& out, std::string_view head,
                    const std::vector<std::string>& parts) {
    std::string line(head);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            line += ';';
        line += parts[i];
    }
    AppendVCardFolded(out, line);
}

// A line as it came. One that starts with white space followed a blank line, which the
// reader skipped: without it, the line would continue the line before.
void KeepLine(std::string& out, std::string_view raw) {
    if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t'))
        out += "\r\n";
    out.append(raw);
    out += "\r\n";
}

// The content line with the mark that it fills no field, before its value.
std::string SetAside(std::string_view logical, const VCardProperty& p) {
    const size_t colon = static_cast<size_t>(p.value.data() - logical.data()) - 1;
    std::string line(logical.substr(0, colon));
    line.append(";").append(kAsideParameter).append("=1");
    line.append(logical.substr(colon));
    return line;
}

} // namespace

std::string UpdateVCard(std::string_view card, FieldSet changed, const ContactRecord& utf8) {
    std::string out;
    out.reserve(card.size() + 256);
    std::array<bool, kCardPropertyCount> seen{}, emptied{};
    VCardValueDecoder decoder;
    bool inCard = false, done = false;
    ForEachContentLine(card, [&](std::string_view logical, std::string_view raw, size_t number) {
        if (done)
            return;
        VCardProperty p;
        if (!ParseVCardProperty(logical, p))
            throw InterchangeError(number, "falta «:» tras el nombre de la propiedad");
        if (IsName(p.name, "END") && IsName(p.value, "VCARD") && inCard) {
            // Fields changed here that the card had no property for.
            for (CardProperty property : kCardProperties) {
                if (seen[static_cast<int>(property)] || !Touches(property, changed))
                    continue;
                std::vector<std::string> parts;
                for (std::string_view part : PropertyComponents(property, utf8))
                    parts.push_back(Escaped(part));
                if (!parts.empty())
                    AppendProperty(out, PropertyHead(property), parts);
            }
            KeepLine(out, raw);
            done = true;
            return;
        }
        inCard = inCard || (IsName(p.name, "BEGIN") && IsName(p.value, "VCARD"));
        const auto property = PropertyOf(p);
        if (property && emptied[static_cast<int>(*property)]) {
            // Read after the one dropped, it would fill the field emptied here.
            AppendVCardFolded(out, SetAside(logical, p));
            return;
        }
        if (!property || seen[static_cast<int>(*property)] || !Touches(*property, changed)) {
            if (property)
                seen[static_cast<int>(*property)] = true;
            KeepLine(out, raw); // byte for byte, folding and all
            return;
        }
        seen[static_cast<int>(*property)] = true;
        const auto parts = NewComponents(*property, decoder.Decode(p, number), changed, utf8);
        if (parts.empty()) { // the field was emptied here
            emptied[static_cast<int>(*property)] = true;
            return;
        }
        std::string head;
        if (!p.group.empty())
            head.append(p.group).append(".");
        head.append(p.name).append(KeptParameters(p.params)).append(":");
        AppendProperty(out, head, parts);
    });
    if (!done)
        throw InterchangeError(0, "la tarjeta no termina con END:VCARD");
    return out;
}

std::string VCardUid(std::string_view card) {
    std::string uid;
    ForEachContentLine(card, [&](std::string_view logical, std::string_view, size_t) {
        VCardProperty p;
        if (uid.empty() && ParseVCardProperty(logical, p) && IsName(p.name, "UID"))
            uid = VCardComponents(p.value, ",", false)[0];
    });
    return uid;
}

} // namespace veldrano
