#pragma once
#include "book/ContactRecord.h"

#include <array>

namespace veldrano {

// Everything the program shows about each of the eleven fields, in record field order.
// Texts are UTF-8 (they are captions of the user interface, not book data).
struct FieldInfo {
    Field field;
    const char* name;            // the field's name, also the object name of its edit
    const char* columnCaption;   // list column header
    const char* viewItemName;    // object name of its item in the "&Ver" menu
    const char* viewItemCaption; // that item's caption
    int viewMenuPosition;        // place of that item in the "&Ver" menu, from 0
    int dialogPage;              // record dialogs: 0 "Personal", 1 "Negocios"
    int dialogPosition;          // place of its edit on that page, from 0
    const char* dialogLabel;     // the edit's label
};

inline constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::nombre, "nombre", "Nombre y Apellidos", "NombreyApellidos", "Nombre y Apellidos", 0, 0,
     0, "Nombre:"},
    {Field::direccion, "direccion", "Dirección", "Direccion", "Dirección", 1, 0, 1, "Dirección:"},
    {Field::telefono, "telefono", "Teléfono", "telefono", "Teléfono", 2, 0, 3, "Teléfono:"},
    {Field::e_mail, "e_mail", "Correo Electrónico", "email", "e-mail", 5, 0, 5, "e_mail:"},
    {Field::cp, "cp", "Código Postal", "CodigoPostal", "Código Postal", 4, 0, 2, "Código Postal:"},
    {Field::movil, "movil", "Móvil", "movil", "Móvil", 3, 0, 4, "Móvil:"},
    {Field::fax, "fax", "Fax", "fax", "Fax", 6, 1, 3, "Fax:"},
    {Field::organizacion, "organizacion", "Organización", "organizacion", "Organización", 7, 1, 0,
     "Organización:"},
    {Field::departamento, "departamento", "Departamento", "departamento", "Departamento", 8, 1, 1,
     "Departamento:"},
    {Field::web, "web", "Página Web", "web", "Página Web", 10, 1, 4, "Página Web"},
    {Field::oficina, "oficina", "Oficina", "oficina", "Oficina", 9, 1, 2, "Oficina:"},
}};

inline constexpr const char* kDialogPages[2] = {"Personal", "Negocios"};

inline constexpr const FieldInfo& FieldOf(Field f) {
    return kFields[FieldIndex(f)];
}

} // namespace veldrano
