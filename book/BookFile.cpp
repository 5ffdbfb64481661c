#include "book/BookFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace veldrano {

namespace {

// The one reading of the grammar: `onOption(column, shown)` for the eleven option lines,
// `onField(field, text)` for each record line; throws once the whole text is read when
// the lines do not end on a whole record, or hold none.
template <typename OnOption, typename OnField>
void ScanBook(std::string_view text, OnOption&& onOption, OnField&& onField) {
    constexpr size_t header = kBookHeaderLines;
    size_t line = 0;
    ForEachLine(text, [&](std::string_view lineText) {
        if (line >= header)
            onField(static_cast<int>((line - header) % kFieldCount), lineText);
        else if (line >= 1)
            onOption(static_cast<int>(line - 1), lineText == "YES");
        ++line;
    });
    if (line < header)
        throw BookFormatError("missing column options");
    const size_t recordLines = line - header;
    if (recordLines < kFieldCount || recordLines % kFieldCount != 0)
        throw BookFormatError("incomplete record");
}

} // namespace

void ForEachBookRecord(std::string_view bytes,
                       const std::function<void(const ContactRecord&, size_t line)>& onRecord) {
    ContactRecord record; // reused: its strings keep their buffers from record to record
    size_t records = 0;
    ScanBook(
        bytes, [](int, bool) {},
        [&](int field, std::string_view text) {
            record[field].assign(text);
            if (field == kFieldCount - 1)
                onRecord(record, kBookHeaderLines + 1 + kFieldCount * records++);
        });
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
    BookStore::FilePlaces places{};
    ScanBook(
        text, [&](int column, bool shown) { book.hidden[column] = !shown; },
        [&](int field, std::string_view lineText) {
            places[field] = {static_cast<uint32_t>(lineText.data() - text.data()),
                             static_cast<uint32_t>(lineText.size())};
            if (field == kFieldCount - 1)
                book.records.appendFromFile(places);
        });
    return book;
}

LoadedBook ReadBookFile(const std::string& path) {
    return ParseBookFile(ReadFileBuffer(path));
}

void AppendBookHeader(std::string& out, const std::array<int, kFieldCount>& columnaOculta) {
    out += "[OPCIONES]\r\n";
    for (int k = 0; k < kFieldCount; ++k)
        out += columnaOculta[k] == -1 ? "NO\r\n" : "YES\r\n";
}

void AppendBookRecord(std::string& out, const ContactRecord& record) {
    for (const std::string& field : record) {
        const size_t start = out.size();
        out += field;
        EndBookField(out, start);
    }
}

void EndBookField(std::string& out, size_t start) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    char *c = out.data() + start, *const end = out.data() + out.size();
    for (uint64_t eight = 0; end - c >= 8; c += 8) {
        // Skips eight bytes when none is below 14, which CR, LF and NUL are.
        std::memcpy(&eight, c, 8);
        if (((eight - kOnes * 14) & ~eight & kHigh) != 0)
            break;
    }
    for (; c != end; ++c)
        *c = SingleLineByte(*c);
    out += "\r\n";
}

void WriteBookFile(const std::string& path, const std::array<int, kFieldCount>& columnaOculta,
                   const BookStore& records) {
    // Rows read from the file and never changed go out as the bytes they were read from,
    // one piece a row: saving a large book copies its text once, into the file. The file
    // holds on to each piece until it is written, so they all outlive `file`.
    std::string header;
    AppendBookHeader(header, columnaOculta);
    AtomicFile file(path);
    file.write(header);
    for (size_t row = 0; row < records.size(); ++row) {
        records.prefetch(row);
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

} // namespace veldrano
