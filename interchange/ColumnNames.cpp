#include "book/ContactFields.h"
#include "interchange/CsvImport.h"

namespace veldrano {

namespace {

// Lower case without the accents of Spanish, and without blanks or a colon at the ends, so
// that "TELEFONO", "Teléfono" and "Teléfono:" name one field.
std::string Folded(std::string_view text) {
    static constexpr char kAccented[] = "\xA1"
                                        "a\xA9"
                                        "e\xAD"
                                        "i\xB3"
                                        "o\xBA"
                                        "u\xBC"
                                        "u\xB1"
                                        "n";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\xC3' && i + 1 < text.size()) {
            const char lower = static_cast<char>(text[i + 1] | 0x20); // Á (0x81) is á (0xA1)
            const char* at = std::char_traits<char>::find(kAccented, sizeof kAccented - 1, lower);
            if (at && (at - kAccented) % 2 == 0) {
                out += at[1];
                ++i;
                continue;
            }
        }
        out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const size_t start = out.find_first_not_of(" \t");
    const size_t end = out.find_last_not_of(" \t:");
    return start == std::string::npos || end < start ? std::string()
                                                     : out.substr(start, end - start + 1);
}

int FieldNamed(std::string_view name) {
    const std::string wanted = Folded(name);
    for (int k = 0; k < kFieldCount; ++k)
        for (const char* known : {kFields[k].name, kFields[k].columnCaption, kFields[k].dialogLabel,
                                  kFields[k].viewItemCaption})
            if (Folded(known) == wanted)
                return k;
    std::string known;
    for (const FieldInfo& f : kFields)
        known += std::string(known.empty() ? "" : ", ") + f.columnCaption;
    throw InterchangeError(0, "«" + std::string(name) + "» no es ningún campo de la agenda (" +
                                  known + ")");
}

size_t ColumnNamed(const std::vector<std::string>& header, std::string_view name) {
    for (size_t i = 0; i < header.size(); ++i)
        if (header[i] == name)
            return i;
    for (size_t i = 0; i < header.size(); ++i)
        if (Folded(header[i]) == Folded(name))
            return i;
    std::string columns;
    for (const std::string& column : header)
        columns += (columns.empty() ? "«" : ", «") + column + "»";
    throw InterchangeError(0, "el archivo no tiene ninguna columna «" + std::string(name) +
                                  "»; sus columnas son " + columns);
}

} // namespace

ColumnMapping MapColumnsByName(const std::vector<std::string>& header, std::string_view pairs) {
    ColumnMapping mapping(header.size(), -1);
    while (!pairs.empty()) {
        const size_t comma = pairs.find(',');
        const std::string_view pair = pairs.substr(0, comma);
        pairs = comma == std::string_view::npos ? std::string_view() : pairs.substr(comma + 1);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos)
            throw InterchangeError(0,
                                   "«" + std::string(pair) + "» no tiene la forma CAMPO=COLUMNA");
        const int field = FieldNamed(pair.substr(0, eq));
        mapping[ColumnNamed(header, pair.substr(eq + 1))] = field;
    }
    return mapping;
}

} // namespace veldrano
