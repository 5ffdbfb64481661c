#pragma once
#include "book/ContactRecord.h"
#include "interchange/LostFields.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // Which field each column of a CSV fills, by names ("Nombre=Full name,Teléfono=Tel"),
    // for a header the program does not know; see MapColumnsByName.
    std::string columns;
};

struct ConversionResult {
    size_t contacts = 0;
    size_t replaced = 0;         // characters written as "?" (lossy only)
    std::string format;          // what the input was, for the user ("CSV de Google")
    std::vector<LostField> lost; // what the input held that has no place in the fields
};

// Converts the contacts of `in` into `out`, keeping their order. A .kbx input is a book; any
// other is read as ImportContacts reads it, its kind told from its content (vCard, LDIF or
// the CSV of any address book the program knows), whatever `inFormat` says. Every contact passes
// through the program's record, in the code page: what cannot become a record stops the
// conversion. `out` is written only when everything succeeded, and atomically. A .kbx
// written here shows every column. Throws FileError, BookFormatError and InterchangeError
// (for a contact that does not fit the code page, its message names the contact, its field
// and the character), and UnknownColumnsError.
ConversionResult ConvertContacts(const std::string& in, ContactFormat inFormat,
                                 const std::string& out, ContactFormat outFormat,
                                 const ConversionOptions& options);

// The same, `in` a book when its extension is .kbx, else told from its content.
ConversionResult ConvertContacts(const std::string& in, const std::string& out,
                                 ContactFormat outFormat, const ConversionOptions& options);

} // namespace veldrano
