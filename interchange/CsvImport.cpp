#include "interchange/CsvImport.h"

#include "interchange/CsvDialects.h"
#include "interchange/CsvRows.h"
#include "interchange/InputText.h"

#include <algorithm>

namespace veldrano {

namespace {

constexpr size_t kAbookColumns = 5;

std::string Trimmed(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    return std::string(text.substr(start, text.find_last_not_of(" \t") - start + 1));
}

// What one column of the file gives, in the order that fills a field first.
struct ColumnPlan {
    size_t column = 0;
    size_t rank = 0;
    Target target;
    int group = 0;
    long labelColumn = -1; // a telephone's label
};

// How the rows of one file become contacts.
class CsvPlan {
  public:
    CsvPlan(const CsvDialect& dialect, const std::vector<std::string>& header);
    CsvPlan(const ColumnMapping& columns, size_t headerSize);

    const CsvDialect& dialect() const { return *m_dialect; }
    size_t headerSize() const { return m_headerSize; }
    void Assemble(std::vector<std::string>& row, RecordAssembler& assembler) const;

  private:
    void Place(ColumnPlan plan, std::string_view value, const std::vector<std::string>& row,
               RecordAssembler& assembler) const;

    const CsvDialect* m_dialect;
    size_t m_headerSize;
    std::vector<ColumnPlan> m_columns;
    std::vector<std::string> m_unknown; // names of columns no rule knows, lost as themselves
};

constexpr CsvDialect kMapped{"CSV", {}, {}, "", false, false, false};

CsvPlan::CsvPlan(const CsvDialect& dialect, const std::vector<std::string>& header)
    : m_dialect(&dialect), m_headerSize(header.size()) {
    m_unknown.reserve(header.size()); // their c_str() stay where the targets point
    for (size_t i = 0; i < header.size(); ++i) {
        ColumnPlan plan;
        plan.column = i;
        const ColumnRule* rule = dialect.positional
                                     ? &dialect.rules[std::min(i, dialect.rules.size() - 1)]
                                     : MatchColumnRule(dialect.rules, header[i], plan.group);
        if (rule) {
            plan.target = rule->target;
            plan.rank = static_cast<size_t>(rule - dialect.rules.data());
        } else if (!header[i].empty()) {
            plan.target = {Role::Lost, -1, m_unknown.emplace_back(header[i]).c_str()};
            plan.rank = dialect.rules.size();
        }
        if (plan.target.role != Role::Skip)
            m_columns.push_back(plan);
    }
    for (ColumnPlan& plan : m_columns) {
        if (plan.target.role != Role::Phone)
            continue;
        for (const ColumnPlan& other : m_columns)
            if (other.target.role == Role::Label && other.group == plan.group)
                plan.labelColumn = static_cast<long>(other.column);
    }
    // A label is read with its telephone.
    std::erase_if(m_columns,
                  [](const ColumnPlan& plan) { return plan.target.role == Role::Label; });
    std::stable_sort(m_columns.begin(), m_columns.end(),
                     [](const ColumnPlan& a, const ColumnPlan& b) { return a.rank < b.rank; });
}

CsvPlan::CsvPlan(const ColumnMapping& columns, size_t headerSize)
    : m_dialect(&kMapped), m_headerSize(headerSize) {
    for (size_t i = 0; i < columns.size() && i < headerSize; ++i)
        if (columns[i] >= 0 && columns[i] < kFieldCount)
            m_columns.push_back({i, 0, {Role::Join, columns[i]}});
}

void CsvPlan::Place(ColumnPlan plan, std::string_view value, const std::vector<std::string>& row,
                    RecordAssembler& assembler) const {
    std::string_view label;
    if (plan.labelColumn >= 0 && static_cast<size_t>(plan.labelColumn) < row.size())
        label = row[static_cast<size_t>(plan.labelColumn)];
    const std::string_view separator = m_dialect->separator;
    if (!plan.target.several || separator.empty() ||
        value.find(separator) == std::string_view::npos) {
        assembler.Add(plan.target, plan.group, value, label);
        return;
    }
    for (;;) {
        const size_t at = value.find(separator);
        const std::string_view piece = value.substr(0, at);
        if (piece.find_first_not_of(" \t") != std::string_view::npos)
            assembler.Add(plan.target, plan.group, piece, label);
        if (at == std::string_view::npos)
            return;
        value.remove_prefix(at + separator.size());
    }
}

void CsvPlan::Assemble(std::vector<std::string>& row, RecordAssembler& assembler) const {
    for (const ColumnPlan& plan : m_columns) {
        if (plan.column >= row.size() || row[plan.column].empty())
            continue;
        std::string& cell = row[plan.column];
        JoinValueLines(cell);
        Place(plan, cell, row, assembler);
    }
}

bool IsOwnHeader(const std::vector<std::string>& header) {
    const auto rules = OwnCsvDialect().rules;
    if (header.size() != rules.size())
        return false;
    for (size_t k = 0; k < rules.size(); ++k)
        if (header[k] != rules[k].name)
            return false;
    return true;
}

// abook writes no header: a first row of five cells whose second is empty or an e-mail
// address is a contact of it, as no header names a column with an "@".
bool IsAbookRow(const std::vector<std::string>& row) {
    return row.size() == kAbookColumns && (row[1].empty() || row[1].find('@') != std::string::npos);
}

std::string_view Decoded(std::string_view bytes, std::string& unicode, std::string& windows) {
    return Utf8OrWindows1252(WithoutByteOrderMark(bytes, unicode), windows);
}

void CheckWidth(const CsvPlan& plan, size_t cells, size_t line) {
    const size_t header = plan.headerSize();
    if (cells == header || (cells < header && !plan.dialect().exactColumns))
        return;
    throw InterchangeError(line, "la fila tiene " + std::to_string(cells) +
                                     " campos y se esperaban " + std::to_string(header));
}

} // namespace

UnknownColumnsError::UnknownColumnsError(std::vector<std::string> columns)
    : InterchangeError(1, "no se reconocen las columnas del archivo CSV"),
      m_columns(std::move(columns)) {}

std::string ReadCsvContacts(std::string_view bytes, const ColumnMapping& columns,
                            const ContactSink& sink, LostTally* lost) {
    std::string unicode, windows;
    const std::string_view text = Decoded(bytes, unicode, windows);
    CsvRows rows(text, DetectCsvSeparator(text));
    std::vector<std::string> row;
    size_t line = 0;
    if (!rows.Next(row, line))
        return "CSV";
    std::vector<std::string> header(row.size());
    std::transform(row.begin(), row.end(), header.begin(), Trimmed);
    const CsvDialect* dialect = IsOwnHeader(row) ? &OwnCsvDialect() : FindCsvDialect(header);
    if (!dialect && columns.empty() && IsAbookRow(row))
        dialect = &AbookCsvDialect();
    if (!dialect && columns.empty())
        throw UnknownColumnsError(header);
    const CsvPlan plan = columns.empty() ? CsvPlan(*dialect, header) : CsvPlan(columns, row.size());
    const bool headerless = plan.dialect().positional;
    if (!headerless && !rows.Next(row, line))
        return plan.dialect().format;
    RecordAssembler assembler(lost);
    ContactRecord record;
    do {
        CheckWidth(plan, row.size(), line);
        assembler.Begin();
        plan.Assemble(row, assembler);
        assembler.Finish(record, plan.dialect().nameFallback);
        sink(std::move(record), line);
    } while (rows.Next(row, line));
    return plan.dialect().format;
}

std::vector<std::vector<std::string>> CsvHead(std::string_view bytes, size_t count) {
    std::string unicode, windows;
    const std::string_view text = Decoded(bytes, unicode, windows);
    CsvRows rows(text, DetectCsvSeparator(text));
    std::vector<std::vector<std::string>> head;
    std::vector<std::string> row;
    size_t line = 0;
    while (head.size() <= count && rows.Next(row, line)) {
        for (std::string& cell : row)
            JoinValueLines(cell);
        head.push_back(row);
    }
    if (head.empty())
        throw InterchangeError(0, "el archivo no contiene ninguna fila");
    return head;
}

} // namespace veldrano
