#pragma once
#include "book/ContactRecord.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace veldrano {

// The files a conversion reads and writes, told apart by extension: .kbx (the book file as
// the window reads and writes it), .vcf (vCard) and .csv.
enum class ContactFormat { Book, VCard, Csv };

// The format named by the path's extension, in any case; nullopt for any other.
std::optional<ContactFormat> FormatOfPath(std::string_view path);

struct ConversionOptions {
    int codePage = 1252; // the code page of the book's bytes
    // Write "?" for a character the code page cannot hold (or a byte that is no character
    // of it) and count it, instead of stopping.
    bool lossy = false;
    // Called every few thousand contacts with the number converted so far.
    std::function<void(size_t done)> progress;
};

struct ConversionResult {
    size_t contacts = 0;
    size_t replaced = 0; // characters written as "?" (lossy only)
};

// Converts the contacts of `in` into `out`, keeping their order. Every contact passes
// through the program's record, in the code page: what cannot become a record stops the
// conversion. `out` is written only when everything succeeded, and atomically. A .kbx
// written here shows every column. Throws FileError, BookFormatError and InterchangeError
// (for a contact that does not fit the code page, its message names the contact, its field
// and the character).
ConversionResult ConvertContacts(const std::string& in, ContactFormat inFormat,
                                 const std::string& out, ContactFormat outFormat,
                                 const ConversionOptions& options);

} // namespace veldrano
