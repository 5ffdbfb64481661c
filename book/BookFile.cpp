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

Lines BookToLines(const std::array<int, kFieldCount>& columnaOculta,
                  const std::vector<ContactRecord>& records) {
    Lines lines;
    lines.reserve(kBookHeaderLines + records.size() * kFieldCount);
    lines.emplace_back("[OPCIONES]");
    for (int k = 0; k < kFieldCount; ++k)
        lines.emplace_back(columnaOculta[k] == -1 ? "NO" : "YES");
    for (const auto& record : records)
        for (const auto& field : record)
            lines.push_back(SingleLine(field));
    return lines;
}

LoadedBook ParseBookFile(std::string bytes) {
    size_t count = 0;
    ForEachLine(bytes, [&](size_t, size_t) { ++count; });
    if (count < static_cast<size_t>(kBookHeaderLines))
        throw BookFormatError("missing column options");
    const size_t recordLines = count - kBookHeaderLines;
    if (recordLines < kFieldCount || recordLines % kFieldCount != 0)
        throw BookFormatError("incomplete record");

    LoadedBook book;
    book.records = BookStore(std::move(bytes));
    book.records.reserve(recordLines / kFieldCount);
    const std::string_view text = book.records.fileText();
    size_t line = 0;
    BookStore::FilePlaces places{};
    ForEachLine(text, [&](size_t start, size_t length) {
        if (line >= 1 && line < static_cast<size_t>(kBookHeaderLines)) {
            book.hidden[line - 1] = text.substr(start, length) != "YES";
        } else if (line >= static_cast<size_t>(kBookHeaderLines)) {
            const size_t f = (line - kBookHeaderLines) % kFieldCount;
            places[f] = {static_cast<uint32_t>(start), static_cast<uint32_t>(length)};
            if (f == kFieldCount - 1)
                book.records.appendFromFile(places);
        }
        ++line;
    });
    return book;
}

std::string BookFileBytes(const std::array<int, kFieldCount>& columnaOculta,
                          const BookStore& records) {
    size_t total = 0;
    for (size_t row = 0; row < records.size(); ++row)
        for (int f = 0; f < kFieldCount; ++f)
            total += records.field(row, f).size() + 2;
    std::string out;
    out.reserve(total + 12 * kBookHeaderLines);
    out += "[OPCIONES]\r\n";
    for (int k = 0; k < kFieldCount; ++k)
        out += columnaOculta[k] == -1 ? "NO\r\n" : "YES\r\n";
    for (size_t row = 0; row < records.size(); ++row) {
        for (int f = 0; f < kFieldCount; ++f) {
            out += records.field(row, f); // the store holds no line break
            out += "\r\n";
        }
    }
    return out;
}

} // namespace veldrano
