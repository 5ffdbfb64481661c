#pragma once
#include "sync/SyncPlan.h"

#include <functional>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

namespace veldrano {

// One change a sync made to the book or to the state.
struct LedgerOp {
    enum Kind : char {
        PutCard = 'P',       // `card` is now synced (replaces the card of its href)
        DropCard = 'G',      // the card at card.href is no longer synced
        ReplaceRecord = 'R', // the book record `before` is now `after`
        AddRecord = 'A',     // `after` is new in the book
        RemoveRecord = 'D',  // `before` left the book
        Conflicted = 'C',    // `conflict` was met, and logged
    } kind;
    SyncedCard card;
    PackedRecord before, after;
    size_t hint = 0; // ReplaceRecord, RemoveRecord: where `before` is likely to be
    Conflict conflict{};
};

// ".casa.kbx.sync-journal" beside "casa.kbx": what a run did since its last safe point.
std::string SyncJournalPath(const std::string& bookPath);

// The book and the state as a sync changes them, one action at a time. Each change is
// appended to a journal beside the book as it is done (one write a change, so a kill leaves
// whole entries), and the book and the state are written together at safe points, so a run
// cut short anywhere is resumed by the next from what it finished.
class SyncLedger {
  public:
    SyncLedger(std::string bookPath, std::vector<PackedRecord> book, std::vector<SyncedCard> cards);

    // Applies what a run cut short left in the journal; returns the conflicts it met. Throws
    // FileError when the journal cannot be read.
    std::vector<Conflict> Replay();

    // Appends one entry to the journal and applies it. Throws FileError.
    void Record(std::vector<LedgerOp> ops);

    std::vector<PackedRecord> Book() const;
    std::vector<SyncedCard> Cards() const;
    // The cards, moved out: for the safe point, after which the ledger is spent.
    std::vector<SyncedCard> TakeCards();

    // Whether the book differs from the file it was read from (or last written to).
    bool BookChanged() const { return m_bookChanged; }

    // The safe point: marks in the journal the book about to be written, calls `write` to
    // write the book and then the state, and removes the journal. Returns the book written,
    // moved out: the ledger is spent, and the next round starts one of its own. Throws
    // FileError.
    std::vector<PackedRecord>
    Commit(const std::function<void(const std::vector<PackedRecord>&)>& write);

  private:
    void Apply(LedgerOp&& op, bool toBook);
    std::optional<size_t> CardAt(const std::string& href) const;
    std::optional<size_t> FindRecord(const PackedRecord& record, size_t hint) const;

    std::string m_journal;
    std::vector<std::optional<PackedRecord>> m_book; // a record removed leaves a hole
    std::vector<std::optional<SyncedCard>> m_cards;
    // Where each card is, by the hash of its href: not a second copy of every href.
    std::unordered_multimap<size_t, size_t> m_cardAt;
    bool m_bookChanged = false;
};

} // namespace veldrano
