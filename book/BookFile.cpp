#include "book/BookFile.h"

#include <algorithm>
#include <cstring>

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
            lines.push_back(SingleLine(field));
    return lines;
}

LoadedBook ParseBookFile(std::string_view bytes) {
    FileBytes copy{std::make_unique<char[]>(bytes.size()), bytes.size()};
    std::memcpy(copy.data.get(), bytes.data(), bytes.size());
    return ParseBookFile(std::move(copy));
}

LoadedBook ParseBookFile(FileBytes bytes) {
    LoadedBook book;
    book.records = BookStore(std::move(bytes));
    const std::string_view text = book.records.fileText();
    // Room for the records a sample of the text promises; one pass reads the lines.
    const std::string_view sample = text.substr(0, 65536);
    const size_t sampleLines = static_cast<size_t>(std::count(sample.begin(), sample.end(), '\n'));
    if (sampleLines > kBookHeaderLines && sample.size() < text.size())
        book.records.reserve(text.size() / sample.size() * sampleLines / kFieldCount * 11 / 10);
    size_t line = 0;
    BookStore::FilePlaces places{};
    ForEachLine(text, [&](std::string_view lineText) {
        if (line >= 1 && line < static_cast<size_t>(kBookHeaderLines)) {
            book.hidden[line - 1] = lineText != "YES";
        } else if (line >= static_cast<size_t>(kBookHeaderLines)) {
            const size_t f = (line - kBookHeaderLines) % kFieldCount;
            places[f] = {static_cast<uint32_t>(lineText.data() - text.data()),
                         static_cast<uint32_t>(lineText.size())};
            if (f == kFieldCount - 1)
                book.records.appendFromFile(places);
        }
        ++line;
    });
    // A file must end on a whole record and hold at least one.
    if (line < static_cast<size_t>(kBookHeaderLines))
        throw BookFormatError("missing column options");
    const size_t recordLines = line - kBookHeaderLines;
    if (recordLines < kFieldCount || recordLines % kFieldCount != 0)
        throw BookFormatError("incomplete record");
    return book;
}

LoadedBook ReadBookFile(const std::string& path) {
    return ParseBookFile(ReadFileBuffer(path));
}

namespace {

std::string HeaderLines(const std::array<int, kFieldCount>& columnaOculta) {
    std::string header = "[OPCIONES]\r\n";
    for (int k = 0; k < kFieldCount; ++k)
        header += columnaOculta[k] == -1 ? "NO\r\n" : "YES\r\n";
    return header;
}

} // namespace

void WriteBookFile(const std::string& path, const std::array<int, kFieldCount>& columnaOculta,
                   const BookStore& records) {
    // Rows read from the file and never changed go out as the bytes they were read from,
    // one piece a row: saving a large book copies its text once, into the file.
    const std::string header = HeaderLines(columnaOculta);
    AtomicFile file(path);
    file.write(header);
    for (size_t row = 0; row < records.size(); ++row) {
        if (const std::string_view lines = records.fileLines(row); !lines.empty()) {
            file.write(lines);
            continue;
        }
        for (int f = 0; f < kFieldCount; ++f) {
            file.write(records.field(row, f)); // the store holds no line break
            file.write("\r\n");
        }
    }
    file.commit();
    if (records.empty())
        RemoveFile(path); // an empty book is never left on disk
}

std::string BookFileBytes(const std::array<int, kFieldCount>& columnaOculta,
                          const BookStore& records) {
    const std::string header = HeaderLines(columnaOculta);
    size_t total = header.size();
    for (size_t row = 0; row < records.size(); ++row)
        for (int f = 0; f < kFieldCount; ++f)
            total += records.field(row, f).size() + 2;
    // Sized once and filled in place: this is most of the time a large book takes to save.
    std::string out(total, '\0');
    char* at = out.data();
    auto put = [&](std::string_view text) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
    };
    put(header);
    for (size_t row = 0; row < records.size(); ++row) {
        for (int f = 0; f < kFieldCount; ++f) {
            put(records.field(row, f)); // the store holds no line break
            put("\r\n");
        }
    }
    return out;
}

} // namespace veldrano
