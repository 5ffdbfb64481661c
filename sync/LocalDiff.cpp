#include "sync/LocalDiff.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace veldrano {

namespace {

// A value shared by more gone records than this says little about which one a record is,
// and would make the search for pairs quadratic in a book rewritten wholesale.
constexpr size_t kMaxSharedValue = 256;

constexpr Field kStrongFields[] = {Field::e_mail, Field::telefono, Field::movil, Field::fax};

struct Candidate {
    int score;
    size_t card, record;
};

// Exact pairs first: a record equal to a card's record is that card.
std::vector<size_t> PairEqual(const std::vector<SyncedCard>& state,
                              const std::vector<PackedRecord>& book, LocalDiff& diff) {
    // By the state's own records, not copies of them: a large book is not held twice.
    auto less = [](const PackedRecord* a, const PackedRecord* b) { return *a < *b; };
    std::map<const PackedRecord*, std::vector<size_t>, decltype(less)> byRecord(less);
    for (size_t i = state.size(); i-- > 0;)
        byRecord[&state[i].record].push_back(i); // popped from the back: first card first
    std::vector<size_t> newHere;
    for (size_t j = 0; j < book.size(); ++j) {
        auto it = byRecord.find(&book[j]);
        if (it == byRecord.end() || it->second.empty()) {
            newHere.push_back(j);
            continue;
        }
        diff.bookCard[j] = it->second.back();
        diff.cardKept[it->second.back()] = true;
        it->second.pop_back();
    }
    return newHere;
}

// Every alike pair of a gone card and a new record; only cards sharing a value with the
// record are compared, as an alike pair always shares one.
std::vector<Candidate> AlikePairs(const std::vector<SyncedCard>& state,
                                  const std::vector<PackedRecord>& book,
                                  const std::vector<size_t>& newHere, const LocalDiff& diff) {
    // Views of the state's own fields: the state outlives the search.
    std::map<std::pair<int, std::string_view>, std::vector<size_t>> byValue;
    for (size_t i = 0; i < state.size(); ++i)
        if (!diff.cardKept[i]) {
            const PackedRecord::Fields fields = state[i].record.fields();
            for (int k = 0; k < kFieldCount; ++k)
                if (!fields[k].empty())
                    byValue[{k, fields[k]}].push_back(i);
        }
    std::vector<Candidate> pairs;
    for (size_t j : newHere) {
        std::vector<size_t> cards;
        const PackedRecord::Fields fields = book[j].fields();
        for (int k = 0; k < kFieldCount; ++k) {
            const auto it = byValue.find({k, fields[k]});
            if (it != byValue.end() && it->second.size() <= kMaxSharedValue)
                cards.insert(cards.end(), it->second.begin(), it->second.end());
        }
        std::sort(cards.begin(), cards.end());
        cards.erase(std::unique(cards.begin(), cards.end()), cards.end());
        for (size_t i : cards)
            if (const auto score = Likeness(state[i].record, book[j]))
                pairs.push_back({*score, i, j});
    }
    return pairs;
}

} // namespace

std::optional<int> Likeness(const PackedRecord& syncedRecord, const PackedRecord& hereRecord) {
    const PackedRecord::Fields synced = syncedRecord.fields(), here = hereRecord.fields();
    int equal = 0, differing = 0;
    for (int k = 0; k < kFieldCount; ++k) {
        if (synced[k] == here[k])
            equal += synced[k].empty() ? 0 : 1;
        else
            ++differing;
    }
    bool strong = false;
    for (Field f : kStrongFields) {
        const std::string_view value = synced[FieldIndex(f)];
        strong = strong || (!value.empty() && value == here[FieldIndex(f)]);
    }
    if (!strong && 2 * equal < equal + differing)
        return std::nullopt;
    return 2 * kFieldCount + equal - differing;
}

LocalDiff DiffBook(const std::vector<SyncedCard>& state, const std::vector<PackedRecord>& book) {
    LocalDiff diff{std::vector<std::optional<size_t>>(book.size()), std::vector<bool>(book.size()),
                   std::vector<bool>(state.size())};
    const std::vector<size_t> newHere = PairEqual(state, book, diff);
    std::vector<Candidate> pairs = AlikePairs(state, book, newHere, diff);
    // The likeliest pairs first, whatever the order of the book or of the state: two
    // contacts of one name each find their own card.
    std::sort(pairs.begin(), pairs.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(b.score, a.record, a.card) < std::tie(a.score, b.record, b.card);
    });
    for (const Candidate& pair : pairs) {
        if (diff.cardKept[pair.card] || diff.bookCard[pair.record])
            continue;
        diff.bookCard[pair.record] = pair.card;
        diff.changed[pair.record] = true;
        diff.cardKept[pair.card] = true;
    }
    return diff;
}

std::set<std::string> LocalDiff::ChangedHrefs(const std::vector<SyncedCard>& state) const {
    std::set<std::string> hrefs;
    for (size_t j = 0; j < bookCard.size(); ++j)
        if (changed[j])
            hrefs.insert(state[*bookCard[j]].href);
    return hrefs;
}

} // namespace veldrano
