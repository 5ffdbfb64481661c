#pragma once
#include "sync/SyncedCard.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veldrano {

// The book against the state as last synced, computed once per sync: which book record is
// which card. A record equal to a card's record is that card, unchanged; the records left
// over on each side are paired by likeness, each pair one contact changed here; a card
// left unpaired was deleted here, a record left unpaired is new here.
struct LocalDiff {
    std::vector<std::optional<size_t>> bookCard; // per book record: its state card, if any
    std::vector<bool> changed;                   // per book record: paired by likeness
    std::vector<bool> cardKept;                  // per state card: some book record has it

    // The hrefs of the cards changed here, whose server text an update edits.
    std::set<std::string> ChangedHrefs(const std::vector<SyncedCard>& state) const;
};

LocalDiff DiffBook(const std::vector<SyncedCard>& state, const std::vector<PackedRecord>& book);

// How much a record as last synced and a record here are one contact: nullopt when they are
// not (neither the same e-mail nor the same telephone, and fewer than half of the fields
// either holds equal); else a score, higher for the likelier pair.
std::optional<int> Likeness(const PackedRecord& synced, const PackedRecord& here);

} // namespace veldrano
