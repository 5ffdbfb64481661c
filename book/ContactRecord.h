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

// The fields' names as the list's column captions show them, in UTF-8: the header of the
// program's CSV and the names its messages give.
inline constexpr std::string_view kFieldNames[kFieldCount] = {
    "Nombre y Apellidos", "Dirección",  "Teléfono", "Correo Electrónico",
    "Código Postal",      "Móvil",      "Fax",      "Organización",
    "Departamento",       "Página Web", "Oficina",
};

} // namespace veldrano
