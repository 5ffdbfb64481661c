#pragma once
#include "interchange/Interchange.h"
#include "interchange/LostFields.h"

#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// For each column of a CSV's header, the field it fills, or -1 ("(no importar)").
using ColumnMapping = std::vector<int>;

// A CSV whose header names none of the layouts the program knows: the user maps its
// columns (or `--columns` does).
class UnknownColumnsError : public InterchangeError {
  public:
    explicit UnknownColumnsError(std::vector<std::string> columns);
    const std::vector<std::string>& columns() const { return m_columns; }

  private:
    std::vector<std::string> m_columns;
};

// Reads every contact of a CSV of any address book the program knows (its own, abook's,
// Google's, Outlook's, Thunderbird's), told by the header, or of any CSV with `columns`
// mapping its header. The separator (comma, semicolon or tab) is told by the first row; the
// text is UTF-8 (with or without a byte-order mark), UTF-16 with one, or else Windows-1252.
// What has no place among the eleven fields goes to `lost`. Returns what the file was, for
// the user ("CSV de Google"). Throws InterchangeError with the line of a row that does not
// fit, and UnknownColumnsError.
std::string ReadCsvContacts(std::string_view bytes, const ColumnMapping& columns,
                            const ContactSink& sink, LostTally* lost);

// The header's cells and those of the first `rows` rows, in UTF-8, each on one line.
std::vector<std::vector<std::string>> CsvHead(std::string_view bytes, size_t rows);

} // namespace veldrano

namespace veldrano {

// The mapping that `pairs` ("Nombre=Full name,Teléfono=Tel", as --columns takes them) gives the
// columns of `header`: each pair names a field (its column caption, its label in the record dialogs
// or its own name) and a column of the header, both in any case and with or without accents.
// Columns it does not name are not imported. Throws InterchangeError naming a field or column that
// is not there, with those that are.
ColumnMapping MapColumnsByName(const std::vector<std::string>& header, std::string_view pairs);

} // namespace veldrano
