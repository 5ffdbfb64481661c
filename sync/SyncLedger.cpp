#include "sync/SyncLedger.h"

#include "files/TextFile.h"
#include "sync/SyncState.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace veldrano {

namespace {

constexpr char kEnd[] = "END";

void AppendRecord(std::string& out, const PackedRecord& record) {
    for (const std::string_view field : record.fields()) // a packed field is one line
        AppendLine(out, field);
}

std::string Encode(const LedgerOp& op) {
    std::string out;
    AppendLine(out, std::string(1, op.kind) + " " + std::to_string(op.hint));
    switch (op.kind) {
    case LedgerOp::PutCard:
        for (const std::string* text : {&op.card.href, &op.card.etag, &op.card.uid})
            AppendLine(out, SingleLine(*text));
        AppendRecord(out, op.card.record);
        break;
    case LedgerOp::DropCard:
        AppendLine(out, SingleLine(op.card.href));
        break;
    case LedgerOp::ReplaceRecord:
        AppendRecord(out, op.before);
        AppendRecord(out, op.after);
        break;
    case LedgerOp::AddRecord:
        AppendRecord(out, op.after);
        break;
    case LedgerOp::RemoveRecord:
        AppendRecord(out, op.before);
        break;
    case LedgerOp::Conflicted:
        AppendLine(out, std::to_string(FieldIndex(op.conflict.field)));
        for (const std::string* text : {&op.conflict.name, &op.conflict.here, &op.conflict.there})
            AppendLine(out, SingleLine(*text));
        break;
    }
    return out;
}

// Reads entries line by line; an entry cut short by a kill is no entry.
class Reader {
  public:
    explicit Reader(const Lines& lines) : m_lines(lines) {}
    bool Has(size_t n) const { return m_at + n <= m_lines.size(); }
    const std::string& Next() { return m_lines[m_at++]; }
    PackedRecord Record() {
        PackedRecord::Fields fields;
        for (std::string_view& field : fields)
            field = Next();
        return PackedRecord(fields);
    }
    // The next op, or nullopt at an entry's end (or a damaged tail).
    std::optional<LedgerOp> Op() {
        static const std::string kinds = "PGRADC";
        static const size_t need[] = {3 + kFieldCount, 1,           2 * kFieldCount,
                                      kFieldCount,     kFieldCount, 4};
        if (!Has(1) || m_lines[m_at].size() < 3 || m_lines[m_at][1] != ' ')
            return std::nullopt;
        const size_t k = kinds.find(m_lines[m_at][0]);
        if (k == std::string::npos || !Has(1 + need[k]))
            return std::nullopt;
        const std::string head = Next();
        LedgerOp op{static_cast<LedgerOp::Kind>(head[0]), {}, {}, {}, 0, {}};
        op.hint = std::strtoull(head.c_str() + 2, nullptr, 10);
        if (op.kind == LedgerOp::PutCard)
            op.card = {Next(), Next(), Next(), Record()};
        else if (op.kind == LedgerOp::DropCard)
            op.card.href = Next();
        else if (op.kind == LedgerOp::ReplaceRecord || op.kind == LedgerOp::RemoveRecord)
            op.before = Record();
        if (op.kind == LedgerOp::ReplaceRecord || op.kind == LedgerOp::AddRecord)
            op.after = Record();
        if (op.kind == LedgerOp::Conflicted) {
            op.conflict.field = static_cast<Field>(std::stoi("0" + Next()) % kFieldCount);
            op.conflict.name = Next();
            op.conflict.here = Next();
            op.conflict.there = Next();
        }
        return op;
    }
    size_t m_at = 0;

  private:
    const Lines& m_lines;
};

// FNV-1a over the records: which book a safe point was about to write.
std::string Digest(const std::vector<PackedRecord>& book) {
    unsigned long long hash = 14695981039346656037ull;
    auto add = [&](char c) { hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull; };
    for (const PackedRecord& record : book) { // each field followed by '\n'
        for (const char c : record.text())
            add(c);
        add('\n');
    }
    return "B " + std::to_string(book.size()) + " " + std::to_string(hash);
}

void AppendToFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw FileError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    const ssize_t n = ::write(fd, text.data(), text.size()); // one write: whole or nothing
    const int err = n < 0 ? errno : ENOSPC;
    ::close(fd);
    if (n != static_cast<ssize_t>(text.size()))
        throw FileError("Cannot write file \"" + path + "\". " + std::strerror(err));
}

} // namespace

std::string SyncJournalPath(const std::string& bookPath) {
    return SyncStatePath(bookPath) + "-journal";
}

SyncLedger::SyncLedger(std::string bookPath, std::vector<PackedRecord> book,
                       std::vector<SyncedCard> cards)
    : m_journal(SyncJournalPath(bookPath)) {
    m_book.reserve(book.size());
    m_cards.reserve(cards.size());
    m_cardAt.reserve(cards.size());
    for (PackedRecord& record : book)
        m_book.emplace_back(std::move(record));
    for (SyncedCard& card : cards)
        Apply({LedgerOp::PutCard, std::move(card), {}, {}, 0, {}}, true);
}

std::vector<Conflict> SyncLedger::Replay() {
    std::vector<Conflict> conflicts;
    if (!StampOf(m_journal).exists)
        return conflicts;
    const Lines lines = ReadTextLines(m_journal);
    // A safe point that wrote this very book already holds the journal's changes to it.
    const bool bookWritten = std::find(lines.begin(), lines.end(), Digest(Book())) != lines.end();
    Reader reader(lines);
    while (reader.Has(1)) {
        if (lines[reader.m_at].rfind("B ", 0) == 0) { // a safe point's mark
            reader.Next();
            continue;
        }
        std::vector<LedgerOp> entry;
        while (std::optional<LedgerOp> op = reader.Op())
            entry.push_back(std::move(*op));
        if (!reader.Has(1) || reader.Next() != kEnd)
            break;
        for (LedgerOp& op : entry) {
            if (op.kind == LedgerOp::Conflicted)
                conflicts.push_back(op.conflict);
            Apply(std::move(op), !bookWritten);
        }
    }
    const std::vector<PackedRecord> book = Book();
    m_book.assign(book.begin(), book.end()); // the hints of this run count without holes
    return conflicts;
}

void SyncLedger::Record(std::vector<LedgerOp> ops) {
    if (ops.empty())
        return;
    std::string text;
    for (const LedgerOp& op : ops)
        text += Encode(op);
    AppendLine(text, kEnd);
    AppendToFile(m_journal, text);
    for (LedgerOp& op : ops)
        Apply(std::move(op), true);
}

std::vector<PackedRecord>
SyncLedger::Commit(const std::function<void(const std::vector<PackedRecord>&)>& write) {
    std::vector<PackedRecord> book;
    book.reserve(m_book.size());
    for (auto& record : m_book)
        if (record)
            book.push_back(std::move(*record));
    std::vector<std::optional<PackedRecord>>().swap(m_book);
    std::string mark;
    AppendLine(mark, Digest(book));
    AppendToFile(m_journal, mark);
    write(book);
    if (::unlink(m_journal.c_str()) != 0 && errno != ENOENT)
        throw FileError("Cannot delete file \"" + m_journal + "\". " + std::strerror(errno));
    m_bookChanged = false;
    return book;
}

std::vector<PackedRecord> SyncLedger::Book() const {
    std::vector<PackedRecord> book;
    for (const auto& record : m_book)
        if (record)
            book.push_back(*record);
    return book;
}

std::vector<SyncedCard> SyncLedger::Cards() const {
    std::vector<SyncedCard> cards;
    for (const auto& card : m_cards)
        if (card)
            cards.push_back(*card);
    return cards;
}

std::vector<SyncedCard> SyncLedger::TakeCards() {
    std::vector<SyncedCard> cards;
    cards.reserve(m_cards.size());
    for (auto& card : m_cards)
        if (card)
            cards.push_back(std::move(*card));
    std::vector<std::optional<SyncedCard>>().swap(m_cards);
    m_cardAt.clear();
    return cards;
}

std::optional<size_t> SyncLedger::FindRecord(const PackedRecord& record, size_t hint) const {
    if (hint < m_book.size() && m_book[hint] == record)
        return hint;
    for (size_t i = 0; i < m_book.size(); ++i)
        if (m_book[i] == record)
            return i;
    return std::nullopt; // changed since by the user: the user's record stays
}

std::optional<size_t> SyncLedger::CardAt(const std::string& href) const {
    const auto [first, last] = m_cardAt.equal_range(std::hash<std::string>()(href));
    for (auto it = first; it != last; ++it)
        if (m_cards[it->second]->href == href)
            return it->second;
    return std::nullopt;
}

void SyncLedger::Apply(LedgerOp&& op, bool toBook) {
    switch (op.kind) {
    case LedgerOp::PutCard:
        if (const auto at = CardAt(op.card.href))
            m_cards[*at] = std::move(op.card);
        else {
            m_cardAt.emplace(std::hash<std::string>()(op.card.href), m_cards.size());
            m_cards.emplace_back(std::move(op.card));
        }
        break;
    case LedgerOp::DropCard:
        if (const auto at = CardAt(op.card.href)) {
            const auto [first, last] = m_cardAt.equal_range(std::hash<std::string>()(op.card.href));
            for (auto it = first; it != last; ++it)
                if (it->second == *at) {
                    m_cardAt.erase(it);
                    break;
                }
            m_cards[*at].reset();
        }
        break;
    case LedgerOp::ReplaceRecord:
    case LedgerOp::RemoveRecord:
        if (!toBook)
            break;
        if (const auto at = FindRecord(op.before, op.hint)) {
            if (op.kind == LedgerOp::ReplaceRecord)
                m_book[*at] = std::move(op.after);
            else
                m_book[*at].reset();
            m_bookChanged = true;
        }
        break;
    case LedgerOp::AddRecord:
        if (toBook) {
            m_book.emplace_back(std::move(op.after));
            m_bookChanged = true;
        }
        break;
    case LedgerOp::Conflicted:
        break;
    }
}

} // namespace veldrano
