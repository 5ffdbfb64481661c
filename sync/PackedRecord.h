#pragma once
#include "book/ContactRecord.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace veldrano {

// A contact's eleven fields as the sync holds them: one immutable buffer of the fields
// joined by '\n' (which no field holds), shared by every copy. The book, the state, the plan
// and the ledger all hold the same contacts; a copy costs a reference, not the text again,
// and a record costs its text and 24 bytes instead of eleven strings. A line break or NUL
// arriving in a field becomes a space, as the files hold it.
class PackedRecord {
  public:
    using Fields = std::array<std::string_view, kFieldCount>;

    PackedRecord() = default;                  // every field empty
    PackedRecord(const ContactRecord& record); // NOLINT(google-explicit-constructor)
    explicit PackedRecord(const Fields& fields);

    std::string_view operator[](int k) const;
    Fields fields() const;
    ContactRecord Unpack() const;
    // The fields joined by '\n', without a last one.
    std::string_view text() const;

    bool operator==(const PackedRecord& other) const {
        return m_text == other.m_text || text() == other.text();
    }
    bool operator==(const ContactRecord& record) const;
    bool operator<(const PackedRecord& other) const { return text() < other.text(); }

  private:
    std::shared_ptr<const char[]> m_text; // null: every field empty
    uint32_t m_size = 0;
};

} // namespace veldrano
