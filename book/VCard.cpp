#include "book/VCard.h"

#include "text/Charset.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace veldrano {

namespace {

constexpr size_t kFoldOctets = 75; // RFC 6350 3.2: lines SHOULD NOT be longer than 75 octets

// --- Writing -----------------------------------------------------------------------------

// RFC 6350 3.4: backslash, comma, semicolon and line breaks are escaped in text values.
void AppendEscaped(std::string& line, std::string_view value) {
    for (char c : value) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case ',':
            line += "\\,";
            break;
        case ';':
            line += "\\;";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            break;
        default:
            line += c;
        }
    }
}

// Appends a logical line folded at 75 octets, never inside a UTF-8 sequence.
void AppendFolded(std::string& out, std::string_view line) {
    size_t limit = kFoldOctets;
    while (line.size() > limit) {
        size_t cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = kFoldOctets - 1; // the leading space counts
    }
    out.append(line);
    out += "\r\n";
}

const std::string& Get(const ContactRecord& r, Field f) {
    return r[FieldIndex(f)];
}

} // namespace

void AppendVCard(std::string& out, const ContactRecord& r) {
    using F = veldrano::Field;
    thread_local std::string line;
    auto emit = [&](const char* head, std::initializer_list<std::string_view> parts) {
        line.assign(head);
        bool first = true;
        for (std::string_view part : parts) {
            if (!first)
                line += ';';
            first = false;
            AppendEscaped(line, part);
        }
        AppendFolded(out, line);
    };
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    const std::string& nombre = Get(r, F::nombre);
    emit("FN:", {nombre});
    if (!nombre.empty()) {
        // Nombre y Apellidos: the given name first, the family names after it.
        const size_t space = nombre.find(' ');
        const std::string_view whole(nombre);
        const std::string_view given = whole.substr(0, space);
        const std::string_view family =
            space == std::string_view::npos ? std::string_view() : whole.substr(space + 1);
        emit("N:", {family, given, {}, {}, {}});
    }
    const std::string& oficina = Get(r, F::oficina);
    const std::string& direccion = Get(r, F::direccion);
    const std::string& cp = Get(r, F::cp);
    if (!oficina.empty() || !direccion.empty() || !cp.empty())
        emit("ADR:", {{}, oficina, direccion, {}, {}, cp, {}});
    const std::pair<F, const char*> phones[] = {
        {F::telefono, "TEL;TYPE=home:"}, {F::movil, "TEL;TYPE=cell:"}, {F::fax, "TEL;TYPE=fax:"}};
    for (const auto& [field, head] : phones)
        if (!Get(r, field).empty())
            emit(head, {Get(r, field)});
    if (!Get(r, F::e_mail).empty())
        emit("EMAIL:", {Get(r, F::e_mail)});
    const std::string& org = Get(r, F::organizacion);
    const std::string& dept = Get(r, F::departamento);
    if (!dept.empty())
        emit("ORG:", {org, dept});
    else if (!org.empty())
        emit("ORG:", {org});
    // URL is a URI, which RFC 6350 leaves unescaped, but readers take an unescaped comma
    // in it as the end of a value: escaped as text, every reader gives back the whole of it.
    if (!Get(r, F::web).empty())
        emit("URL:", {Get(r, F::web)});
    out += "END:VCARD\r\n";
}

// --- Reading -----------------------------------------------------------------------------

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool Is(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Upper(text[i]) != upper[i])
            return false;
    return true;
}

bool StartsWith(std::string_view text, std::string_view upper) {
    return text.size() >= upper.size() && Is(text.substr(0, upper.size()), upper);
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}

// One content line: "group.NAME;PARAM=x;...:value".
struct Property {
    std::string_view name;
    std::string_view value;
    bool quotedPrintable = false;
    bool base64 = false;
    bool uri = false;
    std::string_view charset;
    bool fax = false, cell = false;
};

void ApplyType(Property& p, std::string_view types) {
    types = Unquote(types);
    while (!types.empty()) {
        const size_t comma = types.find(',');
        const std::string_view type = Unquote(types.substr(0, comma));
        if (Is(type, "FAX"))
            p.fax = true;
        else if (Is(type, "CELL"))
            p.cell = true;
        types = comma == std::string_view::npos ? std::string_view() : types.substr(comma + 1);
    }
}

void ApplyParameter(Property& p, std::string_view param) {
    const size_t eq = param.find('=');
    if (eq == std::string_view::npos) { // vCard 2.1 names types and encodings bare
        if (Is(param, "QUOTED-PRINTABLE"))
            p.quotedPrintable = true;
        else if (Is(param, "BASE64"))
            p.base64 = true;
        else
            ApplyType(p, param);
        return;
    }
    const std::string_view key = param.substr(0, eq);
    const std::string_view value = Unquote(param.substr(eq + 1));
    if (Is(key, "TYPE"))
        ApplyType(p, value);
    else if (Is(key, "ENCODING")) {
        p.quotedPrintable = Is(value, "QUOTED-PRINTABLE");
        p.base64 = Is(value, "BASE64") || Is(value, "B");
    } else if (Is(key, "CHARSET"))
        p.charset = value;
    else if (Is(key, "VALUE"))
        p.uri = Is(value, "URI");
}

// The first `c` outside double quotes (parameter values may hold ':' and ';' in quotes).
size_t FindUnquoted(std::string_view text, char c) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == c && !quoted)
            return i;
    }
    return std::string_view::npos;
}

// Splits a content line; false when it has no colon outside quotes.
bool ParseProperty(std::string_view line, Property& p) {
    const size_t colon = FindUnquoted(line, ':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view head = line.substr(0, colon);
    p.value = line.substr(colon + 1);
    size_t semi = head.find(';');
    p.name = head.substr(0, semi);
    if (const size_t dot = p.name.rfind('.'); dot != std::string_view::npos)
        p.name.remove_prefix(dot + 1); // a group name ties properties together; not needed here
    while (semi != std::string_view::npos) {
        head.remove_prefix(semi + 1);
        semi = FindUnquoted(head, ';');
        ApplyParameter(p, head.substr(0, semi));
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Upper(c);
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Quoted-printable (RFC 2045 6.7); an "=" not followed by two hex digits stays as it is.
std::string DecodeQuotedPrintable(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size()) {
            const int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += in[i];
    }
    return out;
}

// Splits a structured value at unescaped semicolons and unescapes each part; an unescaped
// comma (which separates several values of one part) becomes `comma`.
std::vector<std::string> Components(std::string_view raw, std::string_view comma, bool split) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            const char next = raw[++i];
            if (next == 'n' || next == 'N')
                parts.back() += '\n';
            else if (next == '\\' || next == ',' || next == ';' || next == ':')
                parts.back() += next;
            else {
                parts.back() += '\\'; // not an escape: a backslash of the text itself
                parts.back() += next;
            }
        } else if (c == ';' && split) {
            parts.emplace_back();
        } else if (c == ',') {
            parts.back() += comma;
        } else {
            parts.back() += c;
        }
    }
    for (auto& part : parts)
        JoinValueLines(part);
    return parts;
}

std::string JoinNonEmpty(const std::vector<std::string>& parts, std::initializer_list<size_t> which,
                         std::string_view separator) {
    std::string joined;
    for (size_t i : which) {
        if (i >= parts.size() || parts[i].empty())
            continue;
        if (!joined.empty())
            joined += separator;
        joined += parts[i];
    }
    return joined;
}

// The card being read and which of its fields are already taken.
struct CardState {
    size_t line = 0;
    ContactRecord record;
    bool haveFn = false, haveN = false, haveAdr = false, haveEmail = false, haveOrg = false,
         haveUrl = false, haveHome = false, haveCell = false, haveFax = false;
    std::string nameFromN;
};

class Reader {
  public:
    explicit Reader(const ContactSink& sink) : m_sink(sink) {}

    void Line(std::string_view line, size_t number) {
        Property p;
        if (!ParseProperty(line, p))
            throw InterchangeError(number, "falta «:» tras el nombre de la propiedad");
        if (Is(p.name, "BEGIN") && Is(p.value, "VCARD")) {
            if (m_card)
                throw InterchangeError(number, "BEGIN:VCARD dentro de otra tarjeta");
            m_card.emplace();
            m_card->line = number;
        } else if (Is(p.name, "END") && Is(p.value, "VCARD")) {
            if (!m_card)
                throw InterchangeError(number, "END:VCARD sin BEGIN:VCARD");
            Finish();
        } else if (!m_card) {
            throw InterchangeError(number, "se esperaba BEGIN:VCARD");
        } else {
            Take(p, number);
        }
    }

    void End() {
        if (m_card)
            throw InterchangeError(m_card->line, "la tarjeta no termina con END:VCARD");
    }

  private:
    // The value as UTF-8 text, still escaped; a view of the line itself when it needs no
    // decoding, which is nearly always.
    std::string_view Decode(const Property& p, size_t number) {
        if (!p.quotedPrintable && (p.charset.empty() || Is(p.charset, "UTF-8"))) {
            if (!IsValidUtf8(p.value))
                throw InterchangeError(number, "el valor no es UTF-8 y no lleva CHARSET");
            return p.value;
        }
        std::string& bytes = m_decoded;
        bytes = p.quotedPrintable ? DecodeQuotedPrintable(p.value) : std::string(p.value);
        if (!p.charset.empty() && !Is(p.charset, "UTF-8")) {
            auto it = m_charsets.find(std::string(p.charset));
            if (it == m_charsets.end()) {
                try {
                    it = m_charsets
                             .emplace(std::string(p.charset),
                                      std::make_unique<Charset>(std::string(p.charset)))
                             .first;
                } catch (const std::invalid_argument&) {
                    throw InterchangeError(number, "juego de caracteres desconocido «" +
                                                       std::string(p.charset) + "»");
                }
            }
            try {
                bytes = it->second->ToUtf8(bytes);
            } catch (const CharsetError&) {
                throw InterchangeError(number, "el valor no está en " + std::string(p.charset));
            }
        } else if (!IsValidUtf8(bytes)) {
            throw InterchangeError(number, "el valor no es UTF-8 y no lleva CHARSET");
        }
        return bytes;
    }

    std::string Text(const Property& p, size_t number) {
        const std::string_view value = Decode(p, number);
        if (value.find_first_of("\\\r\n") == std::string_view::npos)
            return std::string(value); // nothing escaped
        return std::move(Components(value, ",", false)[0]);
    }

    void Take(const Property& p, size_t number) {
        using F = veldrano::Field;
        CardState& c = *m_card;
        auto set = [&](F f, std::string value) { c.record[FieldIndex(f)] = std::move(value); };
        if (p.base64)
            return; // photos, sounds and keys: nothing the record holds
        if (Is(p.name, "FN") && !c.haveFn) {
            c.haveFn = true;
            set(F::nombre, Text(p, number));
        } else if (Is(p.name, "N") && !c.haveN) {
            c.haveN = true;
            auto n = Components(Decode(p, number), " ", true);
            // family;given;additional;prefix;suffix, said in the order a name is spoken
            c.nameFromN = JoinNonEmpty(n, {3, 1, 2, 0, 4}, " ");
        } else if (Is(p.name, "ADR") && !c.haveAdr) {
            c.haveAdr = true;
            auto a = Components(Decode(p, number), ", ", true);
            // post-office box;extended;street;locality;region;code;country
            set(F::direccion, JoinNonEmpty(a, {0, 2, 3, 4, 6}, ", "));
            set(F::cp, a.size() > 5 ? std::move(a[5]) : std::string());
            set(F::oficina, a.size() > 1 ? std::move(a[1]) : std::string());
        } else if (Is(p.name, "TEL")) {
            bool& taken = p.fax ? c.haveFax : p.cell ? c.haveCell : c.haveHome;
            if (taken)
                return;
            taken = true;
            std::string value = Text(p, number);
            if (p.uri && StartsWith(value, "TEL:"))
                value.erase(0, 4);
            set(p.fax ? F::fax : p.cell ? F::movil : F::telefono, std::move(value));
        } else if (Is(p.name, "EMAIL") && !c.haveEmail) {
            c.haveEmail = true;
            set(F::e_mail, Text(p, number));
        } else if (Is(p.name, "ORG") && !c.haveOrg) {
            c.haveOrg = true;
            auto o = Components(Decode(p, number), ",", true);
            set(F::organizacion, std::move(o[0]));
            o.erase(o.begin());
            std::string units;
            for (auto& unit : o) {
                if (unit.empty())
                    continue;
                if (!units.empty())
                    units += ", ";
                units += unit;
            }
            set(F::departamento, std::move(units));
        } else if (Is(p.name, "URL") && !c.haveUrl) {
            c.haveUrl = true;
            set(F::web, Text(p, number));
        }
    }

    void Finish() {
        using F = veldrano::Field;
        CardState& c = *m_card;
        std::string& nombre = c.record[FieldIndex(F::nombre)];
        if (!c.haveFn) {
            nombre = std::move(c.nameFromN);
            if (nombre.empty())
                nombre = c.record[FieldIndex(F::e_mail)];
            if (nombre.empty())
                nombre = c.record[FieldIndex(F::organizacion)];
        }
        const size_t line = c.line;
        ContactRecord record = std::move(c.record);
        m_card.reset();
        m_sink(std::move(record), line);
    }

    const ContactSink& m_sink;
    std::optional<CardState> m_card;
    std::string m_decoded; // a value decoded from quoted-printable or another charset
    std::map<std::string, std::unique_ptr<Charset>> m_charsets;
};

bool IsQuotedPrintable(std::string_view line) {
    const size_t colon = line.find(':');
    const std::string_view head = line.substr(0, colon);
    for (size_t i = 0; i + 16 <= head.size(); ++i)
        if (Is(head.substr(i, 16), "QUOTED-PRINTABLE"))
            return true;
    return false;
}

} // namespace

void ReadVCards(std::string_view text, const ContactSink& sink) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Reader reader(sink);
    std::string logical;
    size_t logicalLine = 0;
    bool pending = false;
    auto flush = [&] {
        if (pending)
            reader.Line(logical, logicalLine);
        pending = false;
    };
    size_t pos = 0, number = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        ++number;
        pos = end;
        if (pos < text.size())
            pos += text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;

        if (line.empty()) {
            flush(); // blank lines separate cards and end 2.1's base64 values
            continue;
        }
        if (pending && logical.back() == '=' && IsQuotedPrintable(logical)) {
            logical.pop_back(); // quoted-printable soft line break: the next line is all value
            logical.append(line);
            continue;
        }
        if (pending && (line[0] == ' ' || line[0] == '\t')) {
            logical.append(line.substr(1)); // RFC 6350 3.2: unfold by removing CRLF and one blank
            continue;
        }
        flush();
        logical.assign(line);
        logicalLine = number;
        pending = true;
    }
    flush();
    reader.End();
}

} // namespace veldrano
