#pragma once
#include "book/ContactRecord.h"
#include "interchange/Conversion.h"
#include "interchange/CsvImport.h"
#include "interchange/Interchange.h"
#include "interchange/LostFields.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// Characters of the file that the book's code page cannot hold, when the import is not
// lossy: the message names the first (contact, field, character), `count()` all of them.
class UnrepresentableError : public InterchangeError {
  public:
    UnrepresentableError(const InterchangeError& first, size_t count)
        : InterchangeError(first), m_count(count) {}
    size_t count() const { return m_count; }

  private:
    size_t m_count;
};

struct ImportOptions {
    int codePage = 1252;
    bool lossy = false;    // "?" for a character the code page cannot hold, counted
    ColumnMapping columns; // the user's mapping of a CSV's header; empty when none
};

struct ImportResult {
    std::vector<ContactRecord> records; // in the code page, in file order
    std::string format;  // what the file was, for the user ("vCard", "LDIF", "CSV de Google")
    size_t replaced = 0; // characters written as "?" (lossy only)
    std::vector<LostField> lost;
};

// Reads every contact of a vCard, CSV or LDIF file, the kind told from the content, not
// the name. Throws InterchangeError (with its line) for a file that is none of these or
// is broken, UnknownColumnsError, and UnrepresentableError; nothing is half-read.
ImportResult ImportContacts(std::string_view bytes, const ImportOptions& options);

// What ImportContacts reads, contact by contact in UTF-8 as the file is read, and what the
// file was; the losses go to `lost`. Throws as ImportContacts does, but for the code page.
std::string ReadContactsOfAnyKind(std::string_view bytes, const ColumnMapping& columns,
                                  const ContactSink& sink, LostTally* lost);

// The header's columns and the first `rows` rows of a CSV, in UTF-8, for the user who
// maps the columns. Throws InterchangeError.
struct CsvPreview {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};
CsvPreview PreviewCsv(std::string_view bytes, size_t rows);

// The bytes of a vCard 4.0 or CSV file of `records` (in the code page), every field.
// Throws InterchangeError for a byte that is no character of the code page.
std::string ExportContacts(const std::vector<ContactRecord>& records, ContactFormat format,
                           int codePage);

} // namespace veldrano
