#pragma once
#include "sync/BookSync.h"
#include "sync/SyncLedger.h"
#include "text/Charset.h"

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace veldrano {

// Makes the requests of a plan one by one, exactly as planned, and records each one done in
// the ledger as it completes: a card uploaded, updated or deleted, and the conflicts an
// update settles (logged before the upload, so the server's value is kept whatever stops
// the run). A request refused because the card changed or went meanwhile is not merged
// here: it is left undone, for a new plan from what the server has now.
class PlanExecutor {
  public:
    PlanExecutor(const SyncOptions& options, CardDavClient& dav, std::string addressBook,
                 Charset& charset, std::function<SyncLedger&()> ledger, SyncReport& report);

    // Returns whether some request was refused. Throws SyncError and FileError.
    bool Execute(SyncPlan& plan, const std::vector<PackedRecord>& book,
                 const std::vector<SyncedCard>& state);

  private:
    bool Create(PlannedContact& contact);
    bool Update(PlannedContact& contact, const Action& action);
    bool Delete(const Action& action);
    void Done(const char* what, std::vector<LedgerOp> ops);
    void LogConflicts(const std::vector<Conflict>& conflicts);
    ContactRecord ToUtf8(const PackedRecord& record);

    const SyncOptions& m_options;
    CardDavClient& m_dav;
    std::string m_addressBook;
    Charset& m_charset;
    std::function<SyncLedger&()> m_ledger; // made when the first change is recorded
    SyncReport& m_report;
    const std::vector<PackedRecord>* m_book = nullptr;
    const std::vector<SyncedCard>* m_state = nullptr;
    std::set<std::tuple<std::string, int, std::string, std::string>> m_logged;
};

} // namespace veldrano
