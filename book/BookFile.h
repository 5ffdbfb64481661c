#pragma once
#include "book/BookStore.h"
#include "book/ContactRecord.h"
#include "files/TextFile.h"

#include <array>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace veldrano {

// A book file whose lines do not form the header, the eleven column options and whole
// records.
class BookFormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kBookHeaderLines = 1 + kFieldCount; // "[OPCIONES]" and the options

// The grammar of a book file, read once for every reader: line 0 may hold anything; lines
// 1 to 11 show their column only when they are exactly "YES"; then eleven lines per record,
// at least one record. Lines end as ForEachLine says.

// Calls `onRecord` for each record of a book file's bytes, in file order, with the line
// where the record starts (from 1), without keeping the file as lines. Throws
// BookFormatError, once the records before the fault have been passed on.
void ForEachBookRecord(std::string_view bytes,
                       const std::function<void(const ContactRecord&, size_t line)>& onRecord);

// A book file read straight into a compact store, without a copy of each line. Throws
// BookFormatError.
struct LoadedBook {
    std::array<bool, kFieldCount> hidden{};
    BookStore records;
};
LoadedBook ParseBookFile(FileBytes bytes);
LoadedBook ParseBookFile(std::string_view bytes);

// A book file from disk, as the window opens it. Throws FileError or BookFormatError.
LoadedBook ReadBookFile(const std::string& path);

// The pieces every writer of a book file is made of. The header: "[OPCIONES]", then
// "YES"/"NO" per column (-1 in `columnaOculta` is hidden). A record: its eleven fields, a
// line each, a line break or NUL inside a field written as a space, so that the file reads
// back as the same number of lines.
void AppendBookHeader(std::string& out, const std::array<int, kFieldCount>& columnaOculta);
void AppendBookRecord(std::string& out, const ContactRecord& record);
// Ends a field whose bytes `out` holds from `start` on, as AppendBookRecord writes it.
void EndBookField(std::string& out, size_t start);

// Writes a book file as the window saves it: atomically, and without leaving a file behind
// when the book holds no record. Throws FileError.
void WriteBookFile(const std::string& path, const std::array<int, kFieldCount>& columnaOculta,
                   const BookStore& records);

} // namespace veldrano
