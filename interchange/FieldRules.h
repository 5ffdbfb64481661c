#pragma once
#include "book/ContactRecord.h"
#include "interchange/LostFields.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// How the values of another address book's contact (a CSV's columns, an LDIF entry's
// attributes) become the eleven fields: each format is a table of rules, and one assembler
// applies any table.

enum class Role : unsigned char {
    Value,    // a value of `field`; another value for a field already filled is lost as `lost`
    NamePart, // the `part`-th piece of the name in spoken order, when nothing holds it whole
    Address,  // the `part` (AddressPart) of the address numbered `group`
    Phone,    // a telephone whose field the label of its group tells
    Label,    // the label of its group's telephone ("Mobile", "Work Fax")
    Lost,     // a value with no place among the eleven, counted as `lost`
    Skip,     // what the exporting program keeps for itself, never typed by a user
    Join,     // appended to `field` after a space: the user's own mapping of columns
};

// Dirección joins the parts up to Country, as a vCard's ADR is read; the formatted address
// stands in when there are none. The postal code is Código Postal, the extended part Oficina.
enum AddressPart : int {
    Box,
    Street,
    Street2,
    Street3,
    City,
    Region,
    Country,
    Formatted,
    Postal,
    Extended,
    kAddressParts
};

struct Target {
    Role role = Role::Skip;
    int field = -1;
    const char* lost = nullptr;
    int part = 0;
    int group = 0;              // the address a column belongs to; 0: the number in its name
    bool several = false;       // the cell may hold several values, joined by the separator
    const char* none = nullptr; // a value that begins so stands for none ("0/0/00", "* ")
};

// A rule for the column (or attribute) `name`; in a CSV's names "#" stands for the number
// of a repeated group ("Phone # - Value").
struct ColumnRule {
    std::string_view name;
    Target target;
};

// Names of the values lost that more than one format has.
inline constexpr char kSecondAddress[] = "segunda dirección";
inline constexpr char kOtherPhones[] = "otros teléfonos";
inline constexpr char kOtherEmails[] = "otros correos electrónicos";
inline constexpr char kOtherWebs[] = "otras páginas web";
inline constexpr char kOtherOrgs[] = "otras organizaciones";
inline constexpr char kBirthday[] = "cumpleaños";
inline constexpr char kNotes[] = "notas";

constexpr ColumnRule Value(std::string_view name, Field f, const char* lost = nullptr) {
    return {name, {Role::Value, FieldIndex(f), lost}};
}
constexpr ColumnRule Values(std::string_view name, Field f, const char* lost) {
    return {name, {Role::Value, FieldIndex(f), lost, 0, 0, true}};
}
constexpr ColumnRule NamePart(std::string_view name, int part) {
    return {name, {Role::NamePart, -1, nullptr, part}};
}
constexpr ColumnRule Address(std::string_view name, AddressPart part, int group = 0) {
    return {name, {Role::Address, -1, nullptr, part, group}};
}
constexpr ColumnRule Phone(std::string_view name) {
    return {name, {Role::Phone, -1, kOtherPhones, 0, 0, true}};
}
constexpr ColumnRule PhoneLabel(std::string_view name) {
    return {name, {Role::Label}};
}
constexpr ColumnRule Lost(std::string_view name, const char* lost, const char* none = nullptr) {
    return {name, {Role::Lost, -1, lost, 0, 0, none != nullptr, none}};
}
constexpr ColumnRule Skip(std::string_view name) {
    return {name, {Role::Skip}};
}

// The field a telephone's label or type names: Fax, Móvil, else Teléfono.
Field PhoneFieldOfLabel(std::string_view label);

// Builds one record at a time from the values a table's rules place. Values come in the
// order of their rules, so a table lists first what should fill a field first.
class RecordAssembler {
  public:
    explicit RecordAssembler(LostTally* lost) : m_lost(lost) {}

    void Begin();
    // One value (never empty) of a column, with its group and, for a telephone, its label.
    void Add(const Target& target, int group, std::string_view value, std::string_view label);
    // The contact, in UTF-8; without a name, when `nameFallback`, its e-mail address or
    // organisation stands in.
    void Finish(ContactRecord& out, bool nameFallback);

    void Lose(const char* name);

  private:
    struct PostalAddress {
        int group = 0;
        std::array<std::string, kAddressParts> parts;
    };
    void Offer(int field, std::string_view value, const char* lost);
    PostalAddress& AddressOf(int group);
    void FinishAddresses();
    void FinishName(bool nameFallback);

    LostTally* m_lost;
    ContactRecord m_record;
    std::array<std::string, 5> m_name;
    std::vector<PostalAddress> m_addresses;
    size_t m_addressCount = 0;
};

} // namespace veldrano
