#include "sync/SyncPlan.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace veldrano {

namespace {

class Planner {
  public:
    Planner(const std::vector<SyncedCard>& state, const std::vector<PackedRecord>& book,
            const LocalDiff& diff, ServerView& server)
        : m_state(state), m_book(book), m_server(server), m_diff(diff) {}

    SyncPlan Run() {
        // The contacts a plan lists: not those unchanged on both sides, most of a large book.
        size_t changedHere = 0;
        for (size_t j = 0; j < m_book.size(); ++j)
            changedHere += !m_diff.bookCard[j] || m_diff.changed[j];
        m_plan.contacts.reserve(changedHere + m_server.fetched.size());
        CollectCandidates();
        for (size_t j = 0; j < m_book.size(); ++j) {
            if (!m_diff.bookCard[j])
                NewHere(j);
            else if (m_diff.changed[j])
                ChangedHere(*m_diff.bookCard[j], j);
            else
                UnchangedHere(*m_diff.bookCard[j], j);
        }
        for (size_t i = 0; i < m_state.size(); ++i)
            if (!m_diff.cardKept[i] && !m_consumed.count(m_state[i].href))
                DeletedHere(i);
        // Cards new on the server that no record here matched, moved into the plan: the last
        // the plan needs of them.
        for (auto& [href, card] : m_server.fetched)
            if (!m_consumed.count(href) && !m_stateByHref.count(href)) {
                const PackedRecord record = card.record;
                Keep(record,
                     SyncedCard{std::move(card.href), std::move(card.etag), std::move(card.uid),
                                record},
                     std::nullopt, std::nullopt);
                ++m_plan.counts.addedHere;
            }
        return std::move(m_plan);
    }

  private:
    enum class There { Unchanged, Changed, Deleted, Unreadable };

    There StatusOf(const SyncedCard& card) const {
        if (m_server.deleted.count(card.href))
            return There::Deleted;
        if (m_server.unreadable.count(card.href))
            return There::Unreadable;
        const auto it = m_server.fetched.find(card.href);
        return it != m_server.fetched.end() && it->second.etag != card.etag ? There::Changed
                                                                            : There::Unchanged;
    }

    const ServerCard* Fetched(const std::string& href) const {
        const auto it = m_server.fetched.find(href);
        return it == m_server.fetched.end() ? nullptr : &it->second;
    }

    static SyncedCard CardOf(const ServerCard& card, const PackedRecord& record) {
        return {card.href, card.etag, card.uid, record};
    }

    // Server cards a new record here may be: new there, or deleted here and changed there.
    void CollectCandidates() {
        for (size_t i = 0; i < m_state.size(); ++i)
            m_stateByHref[std::string_view(m_state[i].href)] = i;
        for (const auto& [href, card] : m_server.fetched) {
            const auto it = m_stateByHref.find(href);
            const bool candidate =
                it == m_stateByHref.end() ||
                (!m_diff.cardKept[it->second] && StatusOf(m_state[it->second]) == There::Changed);
            if (candidate)
                m_candidates[&card.record].push_back(&card);
        }
    }

    size_t Keep(PackedRecord record, std::optional<SyncedCard> card, std::optional<size_t> j,
                std::optional<size_t> i) {
        m_plan.contacts.push_back({std::move(record), std::move(card), true, j, i});
        return m_plan.contacts.size() - 1;
    }

    std::optional<size_t> StateIndexOf(const std::string& href) const {
        const auto it = m_stateByHref.find(href);
        return it == m_stateByHref.end() ? std::nullopt : std::optional<size_t>(it->second);
    }

    void Upload(Action action) { m_plan.actions.push_back(std::move(action)); }

    void Create(size_t j, std::optional<size_t> i) {
        const size_t contact = Keep(m_book[j], std::nullopt, j, i);
        Upload({Action::Create, contact, {}, {}, {}, {}, {}});
        ++m_plan.counts.addedThere;
    }

    // Uploads the fields where the merged record differs from the server's card.
    void UpdateIfNeeded(size_t contact, const ServerCard& there, std::vector<Conflict> conflicts) {
        const FieldSet fields = DifferingFields(m_plan.contacts[contact].record, there.record);
        if (fields.none())
            return;
        Upload({Action::Update, contact, there.href, there.etag, there.text, fields,
                std::move(conflicts)});
        ++m_plan.counts.changedThere;
    }

    // A record here that a server card new to the state is equal to, field by field, is that
    // card: uploaded by a run cut short, or by another client. Returns whether one was.
    bool Adopt(size_t j, std::optional<size_t> i) {
        const auto it = m_candidates.find(&m_book[j]);
        if (it == m_candidates.end() || it->second.empty())
            return false;
        const ServerCard& there = *it->second.back();
        it->second.pop_back();
        m_consumed.insert(there.href);
        const std::optional<size_t> known = StateIndexOf(there.href);
        Keep(m_book[j], CardOf(there, m_book[j]), j, known ? known : i);
        return true;
    }

    void NewHere(size_t j) {
        if (!Adopt(j, std::nullopt))
            Create(j, std::nullopt);
    }

    void UnchangedHere(size_t i, size_t j) {
        const SyncedCard& card = m_state[i];
        switch (StatusOf(card)) {
        case There::Unchanged:
        case There::Unreadable:
            m_plan.unchanged.emplace_back(static_cast<uint32_t>(j), static_cast<uint32_t>(i));
            break;
        case There::Changed: {
            const ServerCard& there = *Fetched(card.href);
            Keep(there.record, CardOf(there, there.record), j, i);
            if (there.record != m_book[j])
                ++m_plan.counts.changedHere;
            break;
        }
        case There::Deleted:
            ++m_plan.counts.deletedHere;
            break;
        }
    }

    void ChangedHere(size_t i, size_t j) {
        const SyncedCard& card = m_state[i];
        switch (StatusOf(card)) {
        case There::Unreadable: // left for a sync that can read the server's card
            Keep(m_book[j], card, j, i);
            break;
        case There::Deleted:  // changed here, deleted there: uploaded again as a new card,
            if (!Adopt(j, i)) // unless a run cut short already did
                Create(j, i);
            break;
        case There::Unchanged:
        case There::Changed: {
            const ServerCard* there = Fetched(card.href);
            if (!there) { // not fetched: nothing to edit, so it waits for the next sync
                Keep(m_book[j], card, j, i);
                break;
            }
            Merge merge =
                MergeContact(card.record.Unpack(), m_book[j].Unpack(), there->record.Unpack());
            const PackedRecord merged(merge.record);
            if (merged != m_book[j])
                ++m_plan.counts.changedHere;
            m_plan.conflicts.insert(m_plan.conflicts.end(), merge.conflicts.begin(),
                                    merge.conflicts.end());
            const size_t contact = Keep(merged, CardOf(*there, merged), j, i);
            UpdateIfNeeded(contact, *there, std::move(merge.conflicts));
            break;
        }
        }
    }

    void DeletedHere(size_t i) {
        const SyncedCard& card = m_state[i];
        switch (StatusOf(card)) {
        case There::Unchanged:
            Upload({Action::Delete, 0, card.href, card.etag, {}, {}, {}});
            ++m_plan.counts.deletedThere;
            break;
        case There::Changed: // deleted here, changed there: the server's contact comes back
            Restore(*Fetched(card.href), i);
            break;
        case There::Unreadable:
            m_plan.contacts.push_back({card.record, card, false, std::nullopt, i});
            break;
        case There::Deleted:
            break;
        }
    }

    void Restore(const ServerCard& there, std::optional<size_t> i) {
        Keep(there.record, CardOf(there, there.record), std::nullopt, i);
        ++m_plan.counts.addedHere;
    }

    const std::vector<SyncedCard>& m_state;
    const std::vector<PackedRecord>& m_book;
    ServerView& m_server;
    const LocalDiff& m_diff;
    std::unordered_map<std::string_view, size_t> m_stateByHref; // views of the state's hrefs
    // By the fetched cards' own records, not copies of them.
    struct ByRecord {
        bool operator()(const PackedRecord* a, const PackedRecord* b) const { return *a < *b; }
    };
    std::map<const PackedRecord*, std::vector<const ServerCard*>, ByRecord> m_candidates;
    std::set<std::string> m_consumed; // candidate cards a new record here turned out to be
    SyncPlan m_plan;
};

} // namespace

FieldSet DifferingFields(const PackedRecord& a, const PackedRecord& b) {
    FieldSet fields;
    const PackedRecord::Fields x = a.fields(), y = b.fields();
    for (int k = 0; k < kFieldCount; ++k)
        fields[k] = x[k] != y[k];
    return fields;
}

Merge MergeContact(const ContactRecord& base, const ContactRecord& here,
                   const ContactRecord& there) {
    Merge merge{here, {}};
    for (int k = 0; k < kFieldCount; ++k) {
        if (here[k] == there[k] || there[k] == base[k])
            continue;
        if (here[k] == base[k])
            merge.record[k] = there[k];
        else
            merge.conflicts.push_back(
                {here[FieldIndex(Field::nombre)], static_cast<Field>(k), here[k], there[k]});
    }
    return merge;
}

SyncPlan PlanSync(const std::vector<SyncedCard>& state, const std::vector<PackedRecord>& book,
                  const LocalDiff& diff, ServerView& server) {
    return Planner(state, book, diff, server).Run();
}

} // namespace veldrano
