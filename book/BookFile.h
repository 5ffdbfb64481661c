#pragma once
#include "book/BookStore.h"
#include "book/ContactRecord.h"
#include "files/TextFile.h"

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
// is hidden), then each record's eleven fields. A line break or NUL inside a field is
// written as a space: the file must read back as the same number of lines.
Lines BookToLines(const std::array<int, kFieldCount>& columnaOculta,
                  const std::vector<ContactRecord>& records);

// A book file read straight into a compact store: the same rules as ParseBook over the
// lines of `bytes`, without a copy of each line. Throws BookFormatError.
struct LoadedBook {
    std::array<bool, kFieldCount> hidden{};
    BookStore records;
};
LoadedBook ParseBookFile(FileBytes bytes);
LoadedBook ParseBookFile(std::string_view bytes);

// A book file from disk, as the window opens it. Throws FileError or BookFormatError.
LoadedBook ReadBookFile(const std::string& path);

// Writes a book file as the window saves it: atomically, and without leaving a file behind
// when the book holds no record. Throws FileError.
void WriteBookFile(const std::string& path, const std::array<int, kFieldCount>& columnaOculta,
                   const BookStore& records);

// The bytes of the book file for `records` in list order: exactly
// JoinLines(BookToLines(columnaOculta, every record)).
std::string BookFileBytes(const std::array<int, kFieldCount>& columnaOculta,
                          const BookStore& records);

} // namespace veldrano
