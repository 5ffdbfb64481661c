#pragma once
#include "sync/SyncLedger.h"

#include <functional>
#include <vector>

namespace veldrano {

// The changes to the book and the state a contact of a plan makes once it is done: its
// record replacing the book's (or added), its card put in the state, the old card dropped
// when it has another now.
std::vector<LedgerOp> ContactChanges(const PlannedContact& contact,
                                     const std::vector<PackedRecord>& book,
                                     const std::vector<SyncedCard>& state);

// The changes of a plan that need no request of the server: each contact without an action,
// the records deleted there, and the cards no contact and no deletion keeps. They are handed
// to `onChanges` in groups that stand alone (one contact's changes, one record, one card), so
// that a large plan is recorded a batch at a time instead of held whole a second time.
void ChangesWithoutRequests(const SyncPlan& plan, const std::vector<PackedRecord>& book,
                            const std::vector<SyncedCard>& state,
                            const std::function<void(std::vector<LedgerOp>&&)>& onChanges);

} // namespace veldrano
