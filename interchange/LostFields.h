#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// A contact's value that has no place among the eleven fields ("notas", "cumpleaños"),
// and how many contacts of the file lost one.
struct LostField {
    std::string name;
    size_t contacts = 0;
};

// Counts, while a file is read, the contacts that lost each kind of value: a contact that
// lost two notes counts once.
class LostTally {
  public:
    // The contact that the next losses belong to starts.
    void BeginContact() { ++m_contact; }
    void Lose(std::string_view name);

    // The most often lost first; those lost as often in the order they were first lost.
    std::vector<LostField> fields() const;

  private:
    std::vector<LostField> m_fields;
    std::vector<size_t> m_lastContact; // per name, the contact that last lost it
    size_t m_contact = 0;
};

} // namespace veldrano
