#include "interchange/VCardSyntax.h"

#include "interchange/Interchange.h"

#include <algorithm>

namespace veldrano {

namespace {

constexpr size_t kFoldOctets = 75; // RFC 6350 3.2: lines SHOULD NOT be longer than 75 octets

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}

void ApplyType(VCardProperty& p, std::string_view types) {
    types = Unquote(types);
    while (!types.empty()) {
        const size_t comma = types.find(',');
        const std::string_view type = Unquote(types.substr(0, comma));
        if (IsName(type, "FAX"))
            p.fax = true;
        else if (IsName(type, "CELL"))
            p.cell = true;
        types = comma == std::string_view::npos ? std::string_view() : types.substr(comma + 1);
    }
}

void ApplyParameter(VCardProperty& p, std::string_view param) {
    const size_t eq = param.find('=');
    if (eq == std::string_view::npos) { // vCard 2.1 names types and encodings bare
        if (IsName(param, "QUOTED-PRINTABLE"))
            p.quotedPrintable = true;
        else if (IsName(param, "BASE64"))
            p.base64 = true;
        else
            ApplyType(p, param);
        return;
    }
    const std::string_view key = param.substr(0, eq);
    const std::string_view value = Unquote(param.substr(eq + 1));
    if (IsName(key, "TYPE"))
        ApplyType(p, value);
    else if (IsName(key, "ENCODING")) {
        p.quotedPrintable = IsName(value, "QUOTED-PRINTABLE");
        p.base64 = IsName(value, "BASE64") || IsName(value, "B");
    } else if (IsName(key, "CHARSET"))
        p.charset = value;
    else if (IsName(key, "VALUE"))
        p.uri = IsName(value, "URI");
    else if (IsName(key, kAsideParameter))
        p.aside = true;
}

// The first `c` outside double quotes (parameter values may hold ':' and ';' in quotes).
template <char c> size_t FindUnquoted(std::string_view text) {
    const size_t first = FindAnyOf<c, '"'>(text);
    if (first == text.size())
        return std::string_view::npos;
    if (text[first] == c)
        return first; // no quote before it: most lines
    bool quoted = false;
    for (size_t i = first; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == c && !quoted)
            return i;
    }
    return std::string_view::npos;
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

} // namespace

bool ParseVCardProperty(std::string_view line, VCardProperty& p) {
    const size_t colon = FindUnquoted<':'>(line);
    if (colon == std::string_view::npos)
        return false;
    // Field by field rather than p = {}, which compiles to a slow block fill: p is reused
    // for every line of a file.
    p.group = p.charset = {};
    p.quotedPrintable = p.base64 = p.uri = p.fax = p.cell = p.aside = false;
    std::string_view head = line.substr(0, colon);
    p.value = line.substr(colon + 1);
    size_t semi = head.find(';');
    p.name = head.substr(0, semi);
    if (const size_t dot = p.name.rfind('.'); dot != std::string_view::npos) {
        p.group = p.name.substr(0, dot); // ties properties together, as Apple's item1.X-ABLabel
        p.name.remove_prefix(dot + 1);
    }
    p.params = semi == std::string_view::npos ? std::string_view() : head.substr(semi + 1);
    while (semi != std::string_view::npos) {
        head.remove_prefix(semi + 1);
        semi = FindUnquoted<';'>(head);
        ApplyParameter(p, head.substr(0, semi));
    }
    return true;
}

bool IsQuotedPrintableLine(std::string_view line) {
    const size_t colon = line.find(':');
    const std::string_view head = line.substr(0, colon);
    for (size_t i = 0; i + 16 <= head.size(); ++i)
        if (IsName(head.substr(i, 16), "QUOTED-PRINTABLE"))
            return true;
    return false;
}

std::string_view VCardValueDecoder::Decode(const VCardProperty& p, size_t number) {
    if (!p.quotedPrintable && (p.charset.empty() || IsName(p.charset, "UTF-8"))) {
        if (!IsValidUtf8(p.value))
            throw InterchangeError(number, "el valor no es UTF-8 y no lleva CHARSET");
        return p.value;
    }
    std::string& bytes = m_decoded;
    bytes = p.quotedPrintable ? DecodeQuotedPrintable(p.value) : std::string(p.value);
    if (!p.charset.empty() && !IsName(p.charset, "UTF-8")) {
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

std::vector<std::string> VCardComponents(std::string_view raw, std::string_view comma, bool split) {
    std::vector<std::string> parts;
    VCardComponents(raw, comma, split, parts);
    return parts;
}

void VCardComponents(std::string_view raw, std::string_view comma, bool split,
                     std::vector<std::string>& parts) {
    size_t used = 1; // the parts' strings are reused, and with them their memory
    parts.resize(std::max<size_t>(parts.size(), 1));
    parts[0].clear();
    std::string* part = &parts[0];
    bool lineBreak = FindAnyOf<'\r', '\n'>(raw) != raw.size(); // or an escaped one, below
    for (size_t i = 0; i < raw.size(); ++i) {
        // The bytes up to the next one that means something go in at once.
        if (const size_t plain = FindAnyOf<'\\', ';', ','>(raw, i); plain > i) {
            part->append(raw.substr(i, plain - i));
            i = plain - 1;
            continue;
        }
        const char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            const char next = raw[++i];
            if (next == 'n' || next == 'N') {
                *part += '\n';
                lineBreak = true;
            } else if (next == '\\' || next == ',' || next == ';' || next == ':')
                *part += next;
            else {
                *part += '\\'; // not an escape: a backslash of the text itself
                *part += next;
            }
        } else if (c == ';' && split) {
            if (++used > parts.size())
                parts.emplace_back();
            part = &parts[used - 1];
            part->clear();
        } else if (c == ',') {
            *part += comma;
        } else {
            *part += c;
        }
    }
    parts.resize(used);
    if (lineBreak)
        for (auto& each : parts)
            JoinValueLines(each);
}

std::vector<std::string_view> SplitEscapedComponents(std::string_view raw) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\')
            ++i;
        else if (raw[i] == ';') {
            parts.push_back(raw.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(raw.substr(std::min(start, raw.size())));
    return parts;
}

void AppendVCardEscaped(std::string& line, std::string_view value) {
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

void AppendVCardFolded(std::string& out, std::string_view line) {
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

} // namespace veldrano
