#pragma once
#include "book/ContactRecord.h"
#include "files/TextFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// Records copied out of a store, as the window's copy keeps them: a row unchanged since it
// was read from a file is the place of its eleven lines in the file's bytes, which the clip
// shares with the store (and keeps after the store is gone); any other row is copied. A
// million rows read from a file cost 8 bytes each.
class BookClip {
  public:
    size_t size() const { return m_pieces.size(); }
    bool empty() const { return m_pieces.empty(); }
    ContactRecord record(size_t i) const;
    void clear() { *this = BookClip(); }

  private:
    friend class BookStore;
    struct Piece {
        uint32_t offset = 0; // in the file, or with kCopied an index in m_copies
        uint32_t length = 0;
    };
    static constexpr uint32_t kCopied = 0x8000'0000u;

    std::shared_ptr<const FileBytes> m_file;
    std::vector<Piece> m_pieces;
    std::vector<ContactRecord> m_copies;
};

// The records of a book in list order, held compactly for books of millions of contacts.
// The text of a loaded file stays in the one buffer it was read into; a record read from it
// is where its first line starts and the lengths of its eleven lines (28 bytes). Fields
// added or changed later keep their text in a second buffer, each an offset and a length.
// A row is a 4-byte index to its record, so inserting, moving or removing rows moves
// indices, never text. A field never holds a line break or a NUL: one that arrives
// with one gets a space in its place, so the book file always reads back.
class BookStore {
  public:
    size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }

    std::string_view field(size_t row, int f) const { return text(span(m_rows[row], f)); }
    std::string_view name(size_t row) const { return field(row, 0); }
    ContactRecord record(size_t row) const;
    // The records of `rows` (in the order given), as a copy that later edits do not touch.
    BookClip clip(const std::vector<int>& rows) const;

    // Inserts a record before `row` (size() appends).
    void insert(size_t row, const ContactRecord& record);
    // Inserts records[i] before row positions[i] of the book as it is now; positions are
    // non-decreasing and records of equal position keep their order.
    void insertAt(const std::vector<size_t>& positions, const std::vector<ContactRecord>& records);
    // Appends the records of a clip. Rows the clip keeps as lines of the file this store
    // holds (or of any file, when this store holds none yet) point at those lines again;
    // the others are copied.
    void append(const BookClip& clip);
    void replace(size_t row, const ContactRecord& record);
    // The row at `from` moves so that it ends at `to`.
    void move(size_t from, size_t to);
    // Removes `count` rows from `first` on.
    void erase(size_t first, size_t count);
    // Puts the rows in a new order: the new row i is the old row order[i].
    void reorder(const std::vector<uint32_t>& order);
    void clear() { *this = BookStore(); }

    // For the loader: a store that keeps the bytes of a book file, whose records are then
    // appended as the places (offset, length) of their eleven lines in those bytes.
    // Throws BookFormatError when the bytes are too many to index.
    BookStore() = default;
    explicit BookStore(FileBytes fileBytes);
    using FilePlaces = std::array<std::pair<uint32_t, uint32_t>, kFieldCount>;
    void reserve(size_t records);
    void appendFromFile(const FilePlaces& fields);
    std::string_view fileText() const { return m_file ? m_file->view() : std::string_view(); }

    // The eleven lines of a row exactly as the book file holds them, each ended by CR LF,
    // when the row is unchanged since it was read from a file with CR LF line ends; empty
    // otherwise. A writer copies such a row in one piece.
    std::string_view fileLines(size_t row) const;
    // For a pass over the rows in list order, which after sorting lands all over the file:
    // starts fetching what fileLines reads a few rows ahead of `row`.
    void prefetch(size_t row) const;

    // Bytes of text held, for the benchmarks' figures.
    size_t textBytes() const { return fileText().size() + m_edits.size(); }

  private:
    struct Span {
        uint32_t offset = 0; // top bit set: in m_edits
        uint32_t length = 0;
    };
    using Slot = std::array<Span, kFieldCount>;
    static constexpr uint32_t kEdited = 0x8000'0000u;
    // A record as read from the file: its lines follow one another, each ended by one
    // byte (CR or LF) or, where its bit in `crlf` is set, by CR LF.
    struct FileRecord {
        uint32_t start = 0;
        std::array<uint16_t, kFieldCount> length{};
        uint16_t crlf = 0;
    };
    // A row's index with this bit set is in m_slots, else in m_fileRecords.
    static constexpr uint32_t kSlot = 0x8000'0000u;

    Span span(uint32_t index, int f) const;
    Slot slotOf(uint32_t index) const;
    std::string_view text(Span span) const;
    uint32_t newSlot(const ContactRecord& record);
    // Keeps a slot (in a free one when there is one); returns its row index.
    uint32_t storeSlot(const Slot& slot);
    Span keep(std::string_view value);

    std::shared_ptr<const FileBytes> m_file; // the loaded file, never changed
    std::string m_edits;                     // the text of records added or changed since
    std::vector<FileRecord> m_fileRecords;
    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_rows;      // list order: row -> record index
    std::vector<uint32_t> m_freeSlots; // of m_slots
};

} // namespace veldrano
