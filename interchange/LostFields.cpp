#include "interchange/LostFields.h"

#include <algorithm>

namespace veldrano {

std::vector<LostField> LostTally::fields() const {
    std::vector<LostField> sorted = m_fields;
    std::stable_sort(sorted.begin(), sorted.end(), [](const LostField& a, const LostField& b) {
        return a.contacts > b.contacts;
    });
    return sorted;
}

void LostTally::Lose(std::string_view name) {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name != name)
            continue;
        if (m_lastContact[i] != m_contact) {
            m_lastContact[i] = m_contact;
            ++m_fields[i].contacts;
        }
        return;
    }
    m_fields.push_back({std::string(name), 1});
    m_lastContact.push_back(m_contact);
}

} // namespace veldrano
