#pragma once
#include "sync/SyncLedger.h"

#include <vector>

namespace veldrano {

// The changes to the book and the state a contact of a plan makes once it is done: its
// record replacing the book's (or added), its card put in the state, the old card dropped
// when it has another now.
std::vector<LedgerOp> ContactChanges(const PlannedContact& contact,
                                     const std::vector<ContactRecord>& book,
                                     const std::vector<SyncedCard>& state);

// The changes of a plan that need no request of the server: each contact without an action,
// the records deleted there, and the cards no contact and no deletion keeps.
std::vector<LedgerOp> ChangesWithoutRequests(const SyncPlan& plan,
                                             const std::vector<ContactRecord>& book,
                                             const std::vector<SyncedCard>& state);

} // namespace veldrano
