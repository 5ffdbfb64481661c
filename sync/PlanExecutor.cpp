#include "sync/PlanExecutor.h"

#include "files/TextFile.h"
#include "interchange/VCard.h"
#include "interchange/VCardEdit.h"
#include "sync/ConflictLog.h"
#include "sync/PlanChanges.h"
#include "sync/SyncError.h"
#include "sync/SyncState.h"

#include <cstdio>
#include <random>

namespace veldrano {

namespace {

constexpr int kMaxNames = 3; // new cards refused as their name is taken (412)

std::string NewUuid() {
    std::random_device random;
    unsigned char bytes[16];
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40); // RFC 4122 4.4: version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

} // namespace

PlanExecutor::PlanExecutor(const SyncOptions& options, CardDavClient& dav, std::string addressBook,
                           Charset& charset, std::function<SyncLedger&()> ledger,
                           SyncReport& report)
    : m_options(options), m_dav(dav), m_addressBook(std::move(addressBook)), m_charset(charset),
      m_ledger(std::move(ledger)), m_report(report) {}

bool PlanExecutor::Execute(SyncPlan& plan, const std::vector<PackedRecord>& book,
                           const std::vector<SyncedCard>& state) {
    m_book = &book;
    m_state = &state;
    bool refused = false;
    for (size_t a = 0; a < plan.actions.size(); ++a) {
        const Action& action = plan.actions[a];
        switch (action.kind) {
        case Action::Create:
            Create(plan.contacts[action.contact]);
            break;
        case Action::Update:
            if (PlannedContact& contact = plan.contacts[action.contact]; !Update(contact, action)) {
                refused = true;
                --plan.counts.changedThere;
                if (contact.bookIndex && book[*contact.bookIndex] != contact.record)
                    --plan.counts.changedHere;
            }
            break;
        case Action::Delete:
            if (!Delete(action)) {
                refused = true;
                --plan.counts.deletedThere;
            }
            break;
        }
        if (m_options.progress)
            m_options.progress("Enviando cambios", a + 1, plan.actions.size());
    }
    return refused;
}

ContactRecord PlanExecutor::ToUtf8(const PackedRecord& record) {
    ContactRecord utf8;
    const PackedRecord::Fields fields = record.fields();
    for (int k = 0; k < kFieldCount; ++k)
        utf8[k] = m_charset.ToUtf8(fields[k], &m_report.replaced);
    return utf8;
}

void PlanExecutor::Done(const char* what, std::vector<LedgerOp> ops) {
    m_ledger().Record(ops);
    if (m_options.afterAction)
        m_options.afterAction(what);
}

bool PlanExecutor::Create(PlannedContact& contact) {
    std::string card;
    for (int attempt = 0; attempt < kMaxNames; ++attempt) {
        const std::string uid = NewUuid();
        const std::string path = UrlPath(m_addressBook) + uid + ".vcf";
        card.clear();
        AppendVCard(card, ToUtf8(contact.record), VCardVersion::V3, uid);
        const HttpResponse r = m_dav.Put(m_addressBook, path, card, "");
        if (r.status / 100 == 2) {
            contact.card = SyncedCard{path, r.etag, uid, contact.record};
            Done(contact.stateIndex ? "reupload" : "create",
                 ContactChanges(contact, *m_book, *m_state));
            return true;
        }
        if (r.status == 404)
            ThrowServerError(r, m_addressBook + uid + ".vcf");
        // 412: a card of that name exists; another name
    }
    size_t ignored = 0;
    throw SyncError("el servidor rechaza una y otra vez la tarjeta nueva de «" +
                    m_charset.ToUtf8(contact.record[0], &ignored) + "»");
}

void PlanExecutor::LogConflicts(const std::vector<Conflict>& conflicts) {
    std::vector<Conflict> fresh; // an update refused and planned again meets them again
    for (const Conflict& c : conflicts)
        if (m_logged.insert({c.name, FieldIndex(c.field), c.here, c.there}).second)
            fresh.push_back(c);
    try {
        AppendConflictLog(ConflictLogPath(m_options.book), fresh, m_charset);
    } catch (const FileError& e) { // the sync goes on: the summary shows the conflicts
        m_report.logError = e.what();
    }
}

bool PlanExecutor::Update(PlannedContact& contact, const Action& action) {
    // Logged before the upload replaces the server's value, so that nothing loses it.
    LogConflicts(action.conflicts);
    const std::string card = UpdateVCard(action.serverText, action.fields, ToUtf8(contact.record));
    const HttpResponse r = m_dav.Put(m_addressBook, action.href, card, action.etag);
    if (r.status / 100 != 2)
        return false; // 412 changed meanwhile, 404 deleted meanwhile: a new plan sees it
    contact.card->etag = r.etag;
    contact.card->record = contact.record;
    std::vector<LedgerOp> ops = ContactChanges(contact, *m_book, *m_state);
    for (const Conflict& c : action.conflicts) {
        ops.push_back({LedgerOp::Conflicted, {}, {}, {}, 0, c});
        m_report.conflicts.push_back(c);
    }
    Done(action.conflicts.empty() ? "update" : "conflict", std::move(ops));
    return true;
}

bool PlanExecutor::Delete(const Action& action) {
    const HttpResponse r = m_dav.Delete(m_addressBook, action.href, action.etag);
    if (r.status == 412)
        return false; // changed there meanwhile: a new plan brings the server's contact back
    Done("delete", {{LedgerOp::DropCard, {action.href, {}, {}, {}}, {}, {}, 0, {}}});
    return true;
}

} // namespace veldrano
