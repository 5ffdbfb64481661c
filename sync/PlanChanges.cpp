#include "sync/PlanChanges.h"

#include <set>

namespace veldrano {

std::vector<LedgerOp> ContactChanges(const PlannedContact& contact,
                                     const std::vector<PackedRecord>& book,
                                     const std::vector<SyncedCard>& state) {
    std::vector<LedgerOp> ops;
    if (contact.bookIndex) {
        const PackedRecord& before = book[*contact.bookIndex];
        if (contact.inBook && contact.record != before)
            ops.push_back(
                {LedgerOp::ReplaceRecord, {}, before, contact.record, *contact.bookIndex, {}});
        else if (!contact.inBook)
            ops.push_back({LedgerOp::RemoveRecord, {}, before, {}, *contact.bookIndex, {}});
    } else if (contact.inBook) {
        ops.push_back({LedgerOp::AddRecord, {}, {}, contact.record, 0, {}});
    }
    const SyncedCard* old = contact.stateIndex ? &state[*contact.stateIndex] : nullptr;
    if (old && (!contact.card || contact.card->href != old->href))
        ops.push_back({LedgerOp::DropCard, *old, {}, {}, 0, {}});
    if (contact.card && (!old || *old != *contact.card))
        ops.push_back({LedgerOp::PutCard, *contact.card, {}, {}, 0, {}});
    return ops;
}

void ChangesWithoutRequests(const SyncPlan& plan, const std::vector<PackedRecord>& book,
                            const std::vector<SyncedCard>& state,
                            const std::function<void(std::vector<LedgerOp>&&)>& onChanges) {
    std::vector<bool> uploaded(plan.contacts.size());
    std::set<std::string> deleting;
    for (const Action& action : plan.actions) {
        if (action.kind == Action::Delete)
            deleting.insert(action.href);
        else
            uploaded[action.contact] = true;
    }
    std::vector<bool> recordKept(book.size()), cardKept(state.size());
    for (const auto& [j, i] : plan.unchanged)
        recordKept[j] = cardKept[i] = true;
    for (size_t c = 0; c < plan.contacts.size(); ++c) {
        const PlannedContact& contact = plan.contacts[c];
        if (contact.bookIndex)
            recordKept[*contact.bookIndex] = true;
        if (contact.stateIndex)
            cardKept[*contact.stateIndex] = true;
        if (!uploaded[c])
            if (std::vector<LedgerOp> ops = ContactChanges(contact, book, state); !ops.empty())
                onChanges(std::move(ops));
    }
    // The records first: a run stopped between the two keeps a card whose record is gone,
    // which the next plan sees as deleted on both sides.
    for (size_t j = 0; j < book.size(); ++j)
        if (!recordKept[j])
            onChanges({{LedgerOp::RemoveRecord, {}, book[j], {}, j, {}}});
    for (size_t i = 0; i < state.size(); ++i)
        if (!cardKept[i] && !deleting.count(state[i].href))
            onChanges({{LedgerOp::DropCard, state[i], {}, {}, 0, {}}});
}

} // namespace veldrano
