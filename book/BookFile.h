#pragma once
#include "book/ContactRecord.h"
#include "book/TextFile.h"

#include <array>
#include <functional>
#include <stdexcept>
#include <vector>

namespace veldrano {

// A book file whose lines do not form the header, the eleven column options and whole
// records.
class BookFormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a .kbx file holds: which columns are hidden, and the records in file order.
struct BookContents {
    std::array<bool, kFieldCount> hidden{};
    std::vector<ContactRecord> records;
};

inline constexpr int kBookHeaderLines = 1 + kFieldCount; // "[OPCIONES]" and the options

// Reads the lines of a book file. Line 0 may hold anything; lines 1 to 11 show their
// column only when they are exactly "YES"; then eleven lines per record, at least one
// record. Throws BookFormatError otherwise.
BookContents ParseBook(const Lines& lines);

// Calls `onRecord` for each record of a book file's bytes, in file order, with the line
// where the record starts (from 1), without keeping the file as lines. Accepts what
// ParseBook accepts and throws BookFormatError otherwise, once the records before the fault
// have been passed on.
void ForEachBookRecord(std::string_view bytes,
                       const std::function<void(const ContactRecord&, size_t line)>& onRecord);

// The lines of a book file: "[OPCIONES]", "YES"/"NO" per column (-1 in `columnaOculta`
// is hidden), then each record's eleven fields.
Lines BookToLines(const std::array<int, kFieldCount>& columnaOculta,
                  const std::vector<ContactRecord>& records);

} // namespace veldrano
