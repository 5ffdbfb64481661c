#include "book/BookStore.h"

#include "book/BookFile.h"

#include <algorithm>

namespace veldrano {

namespace {

// A book file that does not fit the 31-bit offsets of a field (2 GiB of text).
constexpr size_t kMaxBuffer = 0x7FFF'FFFFu;

// The places of the eleven lines a clip keeps from `offset` on, each ended by CR LF, as
// BookStore::fileLines found them.
BookStore::FilePlaces ClippedLines(std::string_view file, uint32_t offset) {
    BookStore::FilePlaces places;
    for (int f = 0; f < kFieldCount; ++f) {
        const auto end = static_cast<uint32_t>(file.find("\r\n", offset));
        places[f] = {offset, end - offset};
        offset = end + 2;
    }
    return places;
}

} // namespace

std::string_view BookStore::text(Span span) const {
    const std::string_view buffer =
        (span.offset & kEdited) ? std::string_view(m_edits) : fileText();
    return buffer.substr(span.offset & ~kEdited, span.length);
}

BookStore::Span BookStore::span(uint32_t index, int f) const {
    if (index & kSlot)
        return m_slots[index & ~kSlot][f];
    const FileRecord& r = m_fileRecords[index];
    uint32_t offset = r.start;
    for (int g = 0; g < f; ++g)
        offset += r.length[g] + 1u + ((r.crlf >> g) & 1u);
    return {offset, r.length[f]};
}

BookStore::Slot BookStore::slotOf(uint32_t index) const {
    if (index & kSlot)
        return m_slots[index & ~kSlot];
    Slot slot;
    for (int f = 0; f < kFieldCount; ++f)
        slot[f] = span(index, f);
    return slot;
}

ContactRecord BookStore::record(size_t row) const {
    ContactRecord r;
    const Slot slot = slotOf(m_rows[row]);
    for (int f = 0; f < kFieldCount; ++f)
        r[f] = text(slot[f]);
    return r;
}

BookStore::Span BookStore::keep(std::string_view value) {
    if (m_edits.size() + value.size() > kMaxBuffer)
        throw BookFormatError("book too large");
    Span span{static_cast<uint32_t>(m_edits.size()) | kEdited, static_cast<uint32_t>(value.size())};
    for (char c : value)
        m_edits += SingleLineByte(c);
    return span;
}

uint32_t BookStore::newSlot(const ContactRecord& record) {
    Slot slot;
    for (int f = 0; f < kFieldCount; ++f)
        slot[f] = keep(record[f]);
    return storeSlot(slot);
}

uint32_t BookStore::storeSlot(const Slot& slot) {
    if (!m_freeSlots.empty()) {
        const uint32_t index = m_freeSlots.back();
        m_freeSlots.pop_back();
        m_slots[index] = slot;
        return index | kSlot;
    }
    m_slots.push_back(slot);
    return static_cast<uint32_t>(m_slots.size() - 1) | kSlot;
}

void BookStore::insert(size_t row, const ContactRecord& record) {
    const uint32_t slot = newSlot(record);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), slot);
}

void BookStore::insertAt(const std::vector<size_t>& positions,
                         const std::vector<ContactRecord>& records) {
    std::vector<uint32_t> rows;
    rows.reserve(m_rows.size() + records.size());
    size_t next = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        for (; next < positions[i]; ++next)
            rows.push_back(m_rows[next]);
        rows.push_back(newSlot(records[i]));
    }
    for (; next < m_rows.size(); ++next)
        rows.push_back(m_rows[next]);
    m_rows = std::move(rows);
}

void BookStore::append(const BookClip& clip) {
    if (!m_file)
        m_file = clip.m_file;
    const bool sameFile = clip.m_file && clip.m_file == m_file;
    m_rows.reserve(m_rows.size() + clip.size());
    for (size_t i = 0; i < clip.size(); ++i) {
        const BookClip::Piece piece = clip.m_pieces[i];
        if (!sameFile || (piece.offset & BookClip::kCopied)) {
            m_rows.push_back(newSlot(clip.record(i)));
            continue;
        }
        appendFromFile(ClippedLines(fileText(), piece.offset));
    }
}

void BookStore::replace(size_t row, const ContactRecord& record) {
    // The old text stays behind in its buffer; a record is small and edits are few. A record
    // as read from the file gets a slot of its own first (its 28 bytes stay unused).
    uint32_t& index = m_rows[row];
    if (!(index & kSlot))
        index = storeSlot(slotOf(index));
    Slot& slot = m_slots[index & ~kSlot];
    for (int f = 0; f < kFieldCount; ++f)
        if (text(slot[f]) != record[f])
            slot[f] = keep(record[f]);
}

void BookStore::move(size_t from, size_t to) {
    auto begin = m_rows.begin();
    if (to < from)
        std::rotate(begin + static_cast<std::ptrdiff_t>(to),
                    begin + static_cast<std::ptrdiff_t>(from),
                    begin + static_cast<std::ptrdiff_t>(from) + 1);
    else if (to > from)
        std::rotate(begin + static_cast<std::ptrdiff_t>(from),
                    begin + static_cast<std::ptrdiff_t>(from) + 1,
                    begin + static_cast<std::ptrdiff_t>(to) + 1);
}

void BookStore::erase(size_t first, size_t count) {
    auto begin = m_rows.begin() + static_cast<std::ptrdiff_t>(first);
    auto end = begin + static_cast<std::ptrdiff_t>(count);
    for (auto it = begin; it != end; ++it)
        if (*it & kSlot)
            m_freeSlots.push_back(*it & ~kSlot);
    m_rows.erase(begin, end);
}

void BookStore::reorder(const std::vector<uint32_t>& order) {
    std::vector<uint32_t> rows(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        rows[i] = m_rows[order[i]];
    m_rows = std::move(rows);
}

BookStore::BookStore(FileBytes fileBytes) {
    if (fileBytes.size > kMaxBuffer)
        throw BookFormatError("book too large");
    m_file = std::make_shared<const FileBytes>(std::move(fileBytes));
}

std::string_view BookStore::fileLines(size_t row) const {
    const uint32_t index = m_rows[row];
    if (!(index & kSlot)) {
        // Ten line ends between the first field and the last, all CR LF.
        const FileRecord& r = m_fileRecords[index];
        constexpr uint16_t all = (1u << (kFieldCount - 1)) - 1;
        if ((r.crlf & all) != all)
            return {};
        const Span last = span(index, kFieldCount - 1);
        const size_t end = last.offset + last.length;
        const std::string_view file = fileText();
        if (end + 2 > file.size() || file.substr(end, 2) != "\r\n")
            return {};
        return file.substr(r.start, end + 2 - r.start);
    }
    const Slot& slot = m_slots[index & ~kSlot];
    size_t text = 0;
    for (const Span& span : slot) {
        if (span.offset & kEdited)
            return {};
        text += span.length;
    }
    // Ten line ends between the first field and the last, each two bytes: all CR LF.
    const size_t first = slot[0].offset, last = slot[kFieldCount - 1].offset;
    const size_t end = last + slot[kFieldCount - 1].length;
    const std::string_view file = fileText();
    if (end - first != text + 2 * (kFieldCount - 1) || end + 2 > file.size() ||
        file.substr(end, 2) != "\r\n")
        return {};
    return file.substr(first, end + 2 - first);
}

void BookStore::prefetch(size_t row) const {
    constexpr size_t kRecordAhead = 16, kTextAhead = 8;
    if (row + kRecordAhead < m_rows.size())
        if (const uint32_t index = m_rows[row + kRecordAhead]; !(index & kSlot))
            __builtin_prefetch(&m_fileRecords[index]);
    if (row + kTextAhead < m_rows.size())
        if (const uint32_t index = m_rows[row + kTextAhead]; !(index & kSlot)) {
            const char* text = fileText().data() + m_fileRecords[index].start;
            for (int line = 0; line < 3; ++line) // a typical record's 11 lines
                __builtin_prefetch(text + 64 * line);
        }
}

BookClip BookStore::clip(const std::vector<int>& rows) const {
    BookClip clip;
    clip.m_file = m_file;
    clip.m_pieces.reserve(rows.size());
    const char* start = fileText().data();
    for (int row : rows) {
        prefetch(static_cast<size_t>(row));
        const std::string_view lines = fileLines(static_cast<size_t>(row));
        if (!lines.empty()) {
            clip.m_pieces.push_back(
                {static_cast<uint32_t>(lines.data() - start), static_cast<uint32_t>(lines.size())});
        } else {
            clip.m_pieces.push_back(
                {static_cast<uint32_t>(clip.m_copies.size()) | BookClip::kCopied, 0});
            clip.m_copies.push_back(record(static_cast<size_t>(row)));
        }
    }
    return clip;
}

ContactRecord BookClip::record(size_t i) const {
    const Piece piece = m_pieces[i];
    if (piece.offset & kCopied)
        return m_copies[piece.offset & ~kCopied];
    ContactRecord r;
    const std::string_view file = m_file->view();
    const BookStore::FilePlaces places = ClippedLines(file, piece.offset);
    for (int f = 0; f < kFieldCount; ++f)
        r[f] = file.substr(places[f].first, places[f].second);
    return r;
}

void BookStore::reserve(size_t records) {
    m_fileRecords.reserve(records);
    AskForLargePages(m_fileRecords.data(), m_fileRecords.capacity() * sizeof(FileRecord));
    m_rows.reserve(records);
}

void BookStore::appendFromFile(const FilePlaces& fields) {
    // Lines of 64 KiB or more, or lines that do not follow one another, keep a slot.
    FileRecord r{fields[0].first, {}, 0};
    bool fits = true;
    for (int f = 0; f < kFieldCount && fits; ++f) {
        const auto [offset, length] = fields[f];
        fits = length <= 0xFFFFu;
        r.length[f] = static_cast<uint16_t>(length);
        if (f + 1 < kFieldCount) {
            const uint32_t gap = fields[f + 1].first - offset - length;
            fits = fits && (gap == 1 || gap == 2);
            r.crlf |= static_cast<uint16_t>((gap == 2) << f);
        }
    }
    if (fits) {
        m_rows.push_back(static_cast<uint32_t>(m_fileRecords.size()));
        m_fileRecords.push_back(r);
        return;
    }
    Slot slot;
    for (int f = 0; f < kFieldCount; ++f)
        slot[f] = Span{fields[f].first, fields[f].second};
    m_rows.push_back(static_cast<uint32_t>(m_slots.size()) | kSlot);
    m_slots.push_back(slot);
}

} // namespace veldrano
