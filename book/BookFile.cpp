#include "book/BookFile.h"

namespace veldrano {

BookContents ParseBook(const Lines& lines) {
    const size_t count = lines.size();
    if (count < static_cast<size_t>(kBookHeaderLines))
        throw BookFormatError("missing column options");
    // The loader reads (count - 13) / 11 + 1 records, rounding toward zero, so a file must
    // end on a whole record and hold at least one.
    const long recordLines = static_cast<long>(count) - kBookHeaderLines;
    if (recordLines < kFieldCount || recordLines % kFieldCount != 0)
        throw BookFormatError("incomplete record");

    BookContents book;
    for (int k = 0; k < kFieldCount; ++k)
        book.hidden[k] = lines[1 + k] != "YES";
    const size_t records = static_cast<size_t>(recordLines / kFieldCount);
    book.records.resize(records);
    for (size_t r = 0; r < records; ++r)
        for (int f = 0; f < kFieldCount; ++f)
            book.records[r][f] = lines[kBookHeaderLines + r * kFieldCount + f];
    return book;
}

void ForEachBookRecord(std::string_view bytes,
                       const std::function<void(const ContactRecord&, size_t line)>& onRecord) {
    ContactRecord record; // reused: its strings keep their buffers from record to record
    size_t line = 0;
    int field = 0;
    ForEachLine(bytes, [&](std::string_view text) {
        if (++line <= static_cast<size_t>(kBookHeaderLines))
            return;
        record[field].assign(text);
        if (++field == kFieldCount) {
            onRecord(record, line - kFieldCount + 1);
            field = 0;
        }
    });
    if (line < static_cast<size_t>(kBookHeaderLines))
        throw BookFormatError("missing column options");
    if (field != 0 || line == static_cast<size_t>(kBookHeaderLines))
        throw BookFormatError("incomplete record");
}

Lines BookToLines(const std::array<int, kFieldCount>& columnaOculta,
                  const std::vector<ContactRecord>& records) {
    Lines lines;
    lines.reserve(kBookHeaderLines + records.size() * kFieldCount);
    lines.emplace_back("[OPCIONES]");
    for (int k = 0; k < kFieldCount; ++k)
        lines.emplace_back(columnaOculta[k] == -1 ? "NO" : "YES");
    for (const auto& record : records)
        for (const auto& field : record)
            lines.push_back(field);
    return lines;
}

} // namespace veldrano
