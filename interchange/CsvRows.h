#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// Reads the rows of a CSV (RFC 4180) one by one, with any one-byte separator. Blank lines
// carry no row. A quote inside a quoted cell that neither doubles nor closes it is taken as
// it stands, as abook writes it; a quoted cell may hold line breaks, kept as they are.
class CsvRows {
  public:
    CsvRows(std::string_view text, char separator);

    // The next row into `row` (its strings are reused), and the line where it starts (from
    // 1); false at the end. Throws InterchangeError for a quote that is never closed.
    bool Next(std::vector<std::string>& row, size_t& line);

  private:
    bool AtLineEnd() const { return m_text[m_pos] == '\r' || m_text[m_pos] == '\n'; }
    void SkipLineEnd();
    bool ReadCell(std::string& cell, size_t rowLine);
    void ReadQuoted(std::string& cell, size_t rowLine);

    std::string_view m_text;
    char m_separator;
    char m_stops[4];
    size_t m_pos = 0;
    size_t m_line = 1;
};

// The separator of a CSV, from its first row: the commonest of comma, semicolon and tab
// outside quotes, a comma when there is none.
char DetectCsvSeparator(std::string_view text);

} // namespace veldrano
