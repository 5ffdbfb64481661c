#include "interchange/FieldRules.h"

#include <algorithm>

namespace veldrano {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` holds `lowerWord` in any case; it runs for every telephone, so it copies
// nothing.
bool Contains(std::string_view text, std::string_view lowerWord) {
    if (text.size() < lowerWord.size())
        return false;
    for (size_t i = 0; i + lowerWord.size() <= text.size(); ++i) {
        size_t j = 0;
        while (j < lowerWord.size() && Lower(text[i + j]) == lowerWord[j])
            ++j;
        if (j == lowerWord.size())
            return true;
    }
    return false;
}

void AppendJoined(std::string& out, std::string_view part, std::string_view separator) {
    if (part.empty())
        return;
    if (!out.empty())
        out += separator;
    out += part;
}

} // namespace

Field PhoneFieldOfLabel(std::string_view label) {
    if (Contains(label, "fax"))
        return Field::fax;
    // English, Spanish and the labels phones give their own numbers ("iPhone", "_$!<Mobile>!$_")
    for (std::string_view word :
         {"mobile", "cell", "iphone", "movil", "m\xC3\xB3vil", "m\xC3\x93vil", "celular"})
        if (Contains(label, word))
            return Field::movil;
    return Field::telefono;
}

void RecordAssembler::Begin() {
    for (auto& field : m_record)
        field.clear();
    for (auto& part : m_name)
        part.clear();
    m_addressCount = 0;
    if (m_lost)
        m_lost->BeginContact();
}

void RecordAssembler::Lose(const char* name) {
    if (m_lost && name)
        m_lost->Lose(name);
}

void RecordAssembler::Offer(int field, std::string_view value, const char* lost) {
    std::string& held = m_record[field];
    if (value.empty())
        return;
    if (held.empty())
        held.assign(value);
    else if (held != value)
        Lose(lost);
}

RecordAssembler::PostalAddress& RecordAssembler::AddressOf(int group) {
    for (size_t i = 0; i < m_addressCount; ++i)
        if (m_addresses[i].group == group)
            return m_addresses[i];
    if (m_addressCount == m_addresses.size())
        m_addresses.emplace_back();
    PostalAddress& a = m_addresses[m_addressCount++];
    a.group = group;
    for (auto& part : a.parts)
        part.clear();
    return a;
}

void RecordAssembler::Add(const Target& t, int group, std::string_view value,
                          std::string_view label) {
    if (t.none && value.substr(0, std::char_traits<char>::length(t.none)) == t.none)
        return;
    switch (t.role) {
    case Role::Value:
        Offer(t.field, value, t.lost);
        break;
    case Role::NamePart:
        AppendJoined(m_name[t.part], value, " ");
        break;
    case Role::Address:
        AppendJoined(AddressOf(t.group ? t.group : group).parts[t.part], value, " ");
        break;
    case Role::Phone:
        Offer(FieldIndex(PhoneFieldOfLabel(label)), value, t.lost);
        break;
    case Role::Lost:
        Lose(t.lost);
        break;
    case Role::Join:
        AppendJoined(m_record[t.field], value, " ");
        break;
    case Role::Label:
    case Role::Skip:
        break;
    }
}

void RecordAssembler::FinishAddresses() {
    std::sort(m_addresses.begin(), m_addresses.begin() + static_cast<long>(m_addressCount),
              [](const PostalAddress& a, const PostalAddress& b) { return a.group < b.group; });
    bool filled = false;
    for (size_t i = 0; i < m_addressCount; ++i) {
        const auto& parts = m_addresses[i].parts;
        if (filled) {
            Lose(kSecondAddress); // every part of the address is there: it is not empty
            continue;
        }
        filled = true;
        std::string street;
        for (int p : {Box, Street, Street2, Street3, City, Region, Country})
            AppendJoined(street, parts[p], ", ");
        if (street.empty())
            street = parts[Formatted];
        Offer(FieldIndex(Field::direccion), street, kSecondAddress);
        Offer(FieldIndex(Field::cp), parts[Postal], kSecondAddress);
        Offer(FieldIndex(Field::oficina), parts[Extended], kSecondAddress);
    }
}

void RecordAssembler::FinishName(bool nameFallback) {
    std::string& nombre = m_record[FieldIndex(Field::nombre)];
    if (!nombre.empty())
        return;
    for (const auto& part : m_name)
        AppendJoined(nombre, part, " ");
    if (nombre.empty() && nameFallback)
        nombre = m_record[FieldIndex(Field::e_mail)];
    if (nombre.empty() && nameFallback)
        nombre = m_record[FieldIndex(Field::organizacion)];
}

void RecordAssembler::Finish(ContactRecord& out, bool nameFallback) {
    FinishAddresses();
    FinishName(nameFallback);
    for (int k = 0; k < kFieldCount; ++k)
        out[k].swap(m_record[k]);
}

} // namespace veldrano
