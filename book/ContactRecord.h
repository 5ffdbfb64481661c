#pragma once
#include <array>
#include <string>
#include <string_view>

namespace veldrano {

// The eleven fields of a contact in record field order: the order of the list columns,
// the book file, the copy buffer and the printout.
enum class Field : int {
    nombre = 0,
    direccion,
    telefono,
    e_mail,
    cp,
    movil,
    fax,
    organizacion,
    departamento,
    web,
    oficina,
};

inline constexpr int kFieldCount = 11;

// Field values are single-line byte strings in the program's code page; any may be empty.
using ContactRecord = std::array<std::string, kFieldCount>;

inline constexpr int FieldIndex(Field f) {
    return static_cast<int>(f);
}

// A field value as the book file can hold it: a line break or NUL becomes a space.
inline char SingleLineByte(char c) {
    return c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
}
inline std::string SingleLine(std::string value) {
    for (char& c : value)
        c = SingleLineByte(c);
    return value;
}

} // namespace veldrano
