#pragma once
#include "interchange/VCardEdit.h"
#include "sync/LocalDiff.h"
#include "sync/SyncedCard.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veldrano {

// One field both sides changed to different values since the last sync: the book keeps
// `here`, the server had `there`.
struct Conflict {
    std::string name; // the contact's Nombre y Apellidos, in the code page
    Field field;
    std::string here, there;
};

// The fields whose values differ.
FieldSet DifferingFields(const PackedRecord& a, const PackedRecord& b);

// A contact merged field by field against the record as last synced: a field changed on one
// side takes that side's value; a field changed on both sides to different values keeps the
// value changed here and is a conflict.
struct Merge {
    ContactRecord record;
    std::vector<Conflict> conflicts;
};
Merge MergeContact(const ContactRecord& base, const ContactRecord& here,
                   const ContactRecord& there);

// What the server says since the last sync: the cards fetched (new, changed, or needed for an
// update), by href; the hrefs it deleted; the hrefs of cards that could not be read.
struct ServerView {
    std::map<std::string, ServerCard> fetched;
    std::set<std::string> deleted;
    std::set<std::string> unreadable;
};

// One request the sync makes of the server. The executor makes it and records its outcome;
// a request refused as the card changed or went meanwhile is left to a new plan.
struct Action {
    enum Kind { Create, Update, Delete } kind;
    size_t contact = 0;              // Create, Update: the contact of the plan it uploads
    std::string href, etag;          // Update, Delete
    std::string serverText;          // Update: the server's card, edited property by property
    FieldSet fields;                 // Update: the fields whose properties are replaced
    std::vector<Conflict> conflicts; // Update: the fields changed on both sides
};

// A contact after the sync: its record as the book will hold it, and its card once it has
// one. The card's record is what the state keeps as last synced: the contact's record, but
// for a contact whose server card could not be read this time, which keeps the old one.
struct PlannedContact {
    PackedRecord record;
    std::optional<SyncedCard> card;
    bool inBook = true; // false: a card only the state keeps (deleted here, unreadable there)
    std::optional<size_t> bookIndex;  // the book record it was, if any
    std::optional<size_t> stateIndex; // the state card it was, if any
};

struct SyncCounts {
    size_t addedHere = 0, changedHere = 0, deletedHere = 0;
    size_t addedThere = 0, changedThere = 0, deletedThere = 0;
};

struct SyncPlan {
    // In book order, then the contacts new here; a contact unchanged on both sides is not
    // one of them, but a pair in `unchanged`: a large book is not copied into the plan.
    std::vector<PlannedContact> contacts;
    std::vector<std::pair<uint32_t, uint32_t>> unchanged; // book record, state card
    std::vector<Action> actions;
    std::vector<Conflict> conflicts;
    SyncCounts counts;
};

// The whole sync, as a pure function of the state, the book, the book's diff against the
// state (DiffBook) and what the server said. A new
// record here equal, field by field, to a card new on the server (or to one deleted here and
// changed there) is that card: so a first sync matches instead of duplicating, and a run cut
// short after its uploads converges on the next. The cards new on the server are moved out of
// `server` into the plan, so that a large address book is not held twice.
SyncPlan PlanSync(const std::vector<SyncedCard>& state, const std::vector<PackedRecord>& book,
                  const LocalDiff& diff, ServerView& server);

} // namespace veldrano
