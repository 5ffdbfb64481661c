#include "interchange/CsvRows.h"

#include "interchange/Interchange.h"

namespace veldrano {

CsvRows::CsvRows(std::string_view text, char separator)
    : m_text(text), m_separator(separator), m_stops{separator, '\r', '\n', '\0'} {}

bool CsvRows::Next(std::vector<std::string>& row, size_t& line) {
    while (m_pos < m_text.size() && AtLineEnd())
        SkipLineEnd();
    if (m_pos >= m_text.size())
        return false;
    line = m_line;
    size_t cells = 0;
    for (bool more = true; more; ++cells) {
        if (cells == row.size())
            row.emplace_back();
        row[cells].clear();
        more = ReadCell(row[cells], line);
    }
    row.resize(cells);
    return true;
}

void CsvRows::SkipLineEnd() {
    if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n')
        ++m_pos;
    ++m_pos;
    ++m_line;
}

// Reads one cell; true when a separator follows it (more cells in this row).
bool CsvRows::ReadCell(std::string& cell, size_t rowLine) {
    if (m_pos < m_text.size() && m_text[m_pos] == '"') {
        ++m_pos;
        ReadQuoted(cell, rowLine);
    } else {
        const size_t end = m_text.find_first_of(std::string_view(m_stops, 3), m_pos);
        const size_t stop = end == std::string_view::npos ? m_text.size() : end;
        cell.assign(m_text.substr(m_pos, stop - m_pos));
        m_pos = stop;
    }
    if (m_pos < m_text.size() && m_text[m_pos] == m_separator) {
        ++m_pos;
        return true;
    }
    if (m_pos < m_text.size())
        SkipLineEnd();
    return false;
}

void CsvRows::ReadQuoted(std::string& cell, size_t rowLine) {
    for (;;) {
        const size_t stop = m_text.find_first_of("\"\r\n", m_pos);
        if (stop == std::string_view::npos)
            throw InterchangeError(rowLine, "faltan las comillas de cierre");
        cell.append(m_text.substr(m_pos, stop - m_pos));
        m_pos = stop;
        if (m_text[m_pos] != '"') {
            const size_t start = m_pos;
            SkipLineEnd(); // a line break inside the cell: counted, and kept
            cell.append(m_text.substr(start, m_pos - start));
            continue;
        }
        const char next = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : '\n';
        if (next == '"') {
            cell += '"';
            m_pos += 2;
        } else if (next == m_separator || next == '\r' || next == '\n') {
            ++m_pos;
            return;
        } else {
            cell += '"'; // abook's undoubled quote inside a quoted cell
            ++m_pos;
        }
    }
}

char DetectCsvSeparator(std::string_view text) {
    size_t comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '\r' || c == '\n')
            break;
        else if (c == ',')
            ++comma;
        else if (c == ';')
            ++semicolon;
        else if (c == '\t')
            ++tab;
    }
    if (semicolon > comma && semicolon >= tab)
        return ';';
    if (tab > comma && tab > semicolon)
        return '\t';
    return ',';
}

} // namespace veldrano
