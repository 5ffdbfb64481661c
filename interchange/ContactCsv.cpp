#include "interchange/ContactCsv.h"

#include "book/ContactFields.h"
#include "text/Charset.h"

#include <vector>

namespace veldrano {

namespace {

constexpr size_t kAbookColumns = 5; // name, e-mail addresses, telephone, notes, nickname

void AppendField(std::string& out, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(value);
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

template <typename Fields> void AppendRow(std::string& out, const Fields& fields) {
    bool first = true;
    for (const auto& field : fields) {
        if (!first)
            out += ',';
        first = false;
        AppendField(out, field);
    }
    out += "\r\n";
}

// Reads rows one by one; `line` is where the row just read started.
class RowReader {
  public:
    explicit RowReader(std::string_view text) : m_text(text) {}

    bool Next(std::vector<std::string>& row, size_t& line) {
        while (m_pos < m_text.size() && AtLineEnd())
            SkipLineEnd(); // blank lines carry no row
        if (m_pos >= m_text.size())
            return false;
        line = m_line;
        row.clear();
        for (;;) {
            row.emplace_back();
            const bool more = ReadField(row.back(), line);
            if (!more)
                return true;
        }
    }

  private:
    bool AtLineEnd() const { return m_text[m_pos] == '\r' || m_text[m_pos] == '\n'; }

    void SkipLineEnd() {
        if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n')
            ++m_pos;
        ++m_pos;
        ++m_line;
    }

    // Reads one field; true when a comma follows it (more fields in this row).
    bool ReadField(std::string& field, size_t rowLine) {
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size())
                    throw InterchangeError(rowLine, "faltan las comillas de cierre");
                const char c = m_text[m_pos];
                if (c == '"') {
                    const char next = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : '\n';
                    if (next == '"') {
                        field += '"';
                        m_pos += 2;
                        continue;
                    }
                    if (next == ',' || next == '\r' || next == '\n') {
                        ++m_pos;
                        break;
                    }
                    field += c; // abook's undoubled quote inside a quoted field
                    ++m_pos;
                    continue;
                }
                if (c == '\r' || c == '\n') {
                    const size_t start = m_pos;
                    SkipLineEnd();
                    field.append(m_text.substr(start, m_pos - start));
                    continue;
                }
                field += c;
                ++m_pos;
            }
        } else {
            const size_t end = m_text.find_first_of(",\r\n", m_pos);
            const size_t stop = end == std::string_view::npos ? m_text.size() : end;
            field.assign(m_text.substr(m_pos, stop - m_pos));
            m_pos = stop;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == ',') {
            ++m_pos;
            return true;
        }
        if (m_pos < m_text.size())
            SkipLineEnd();
        return false;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_line = 1;
};

bool IsHeader(const std::vector<std::string>& row) {
    if (row.size() != kFieldCount)
        return false;
    for (int k = 0; k < kFieldCount; ++k)
        if (row[k] != kFields[k].columnCaption)
            return false;
    return true;
}

} // namespace

void AppendCsvHeader(std::string& out) {
    std::array<std::string_view, kFieldCount> captions;
    for (int k = 0; k < kFieldCount; ++k)
        captions[k] = kFields[k].columnCaption;
    AppendRow(out, captions);
}

void AppendCsvRow(std::string& out, const ContactRecord& utf8) {
    AppendRow(out, utf8);
}

void ReadContactCsv(std::string_view text, const ContactSink& sink) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    RowReader rows(text);
    std::vector<std::string> row;
    size_t line = 0;
    if (!rows.Next(row, line))
        return;
    const bool own = IsHeader(row);
    if (!own && row.size() != kAbookColumns)
        throw InterchangeError(line, "la primera fila no es la cabecera de los once campos");
    const size_t columns = own ? kFieldCount : kAbookColumns;
    if (own && !rows.Next(row, line))
        return;
    do {
        if (row.size() != columns)
            throw InterchangeError(line, "la fila tiene " + std::to_string(row.size()) +
                                             " campos y se esperaban " + std::to_string(columns));
        ContactRecord record;
        for (size_t k = 0; k < columns; ++k) {
            if (!IsValidUtf8(row[k]))
                throw InterchangeError(line, "el texto no es UTF-8");
            JoinValueLines(row[k]);
        }
        if (own) {
            for (int k = 0; k < kFieldCount; ++k)
                record[k] = std::move(row[k]);
        } else {
            record[FieldIndex(Field::nombre)] = std::move(row[0]);
            record[FieldIndex(Field::e_mail)] = row[1].substr(0, row[1].find(','));
            record[FieldIndex(Field::telefono)] = std::move(row[2]);
        }
        sink(std::move(record), line);
    } while (rows.Next(row, line));
}

} // namespace veldrano
