#include "sync/SyncLedger.h"

#include "files/TextFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace veldrano;

namespace {

ContactRecord R(const std::string& name, const std::string& tel = "") {
    ContactRecord r;
    r[FieldIndex(Field::nombre)] = name;
    r[FieldIndex(Field::telefono)] = tel;
    return r;
}

std::vector<PackedRecord> Packed(const std::vector<ContactRecord>& records) {
    return {records.begin(), records.end()};
}

SyncedCard Card(const std::string& href, const std::string& etag, const ContactRecord& r) {
    return {href, etag, "uid-" + href, r};
}

} // namespace

// A run cut short leaves its journal: the next run takes up every whole entry (a torn last
// one is no entry), and a safe point that had written the book already is not applied twice.
TEST(SyncLedger, RunCutShortIsTakenUpFromItsJournal) {
    const std::vector<ContactRecord> before{R("Ana", "1"), R("Bea")},
        after{R("Ana", "2"), R("Bea"), R("Cid")};
    const std::vector<SyncedCard> cards{Card("/a", "1", R("Ana", "1")), Card("/b", "1", R("Bea"))},
        cardsAfter{Card("/a", "2", R("Ana", "2")), Card("/c", "1", R("Cid"))};
    const struct {
        const char* name;
        bool committed; // killed after the safe point wrote the book, before the journal went
        std::vector<ContactRecord> fileBook;
    } rows[] = {
        {"killed between two requests", false, before},
        {"killed after the book was written", true, after},
        {"killed before the book was written", true, before},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string book = dir.file("casa.kbx").string();
        SyncLedger run(book, Packed(before), cards);
        run.Record({{LedgerOp::ReplaceRecord, {}, R("Ana", "1"), R("Ana", "2"), 0, {}},
                    {LedgerOp::PutCard, Card("/a", "2", R("Ana", "2")), {}, {}, 0, {}}});
        run.Record({{LedgerOp::AddRecord, {}, {}, R("Cid"), 0, {}},
                    {LedgerOp::PutCard, Card("/c", "1", R("Cid")), {}, {}, 0, {}},
                    {LedgerOp::DropCard, Card("/b", "", {}), {}, {}, 0, {}},
                    {LedgerOp::Conflicted, {}, {}, {}, 0, {"Ana", Field::telefono, "2", "3"}}});
        if (row.committed)
            EXPECT_THROW(run.Commit([](const auto&) { throw std::runtime_error("killed"); }),
                         std::runtime_error);
        else
            std::ofstream(SyncJournalPath(book), std::ios::app) << "P 0\r\n/d\r\n\"1\"\r\n";
        SyncLedger next(book, Packed(row.fileBook), cards);
        const std::vector<Conflict> conflicts = next.Replay();
        EXPECT_EQ(next.Book(), Packed(after));
        EXPECT_EQ(next.Cards(), cardsAfter);
        ASSERT_EQ(conflicts.size(), 1u);
        EXPECT_EQ(conflicts[0].there, "3");
        next.Commit([](const auto&) {});
        EXPECT_FALSE(StampOf(SyncJournalPath(book)).exists);
    }
}
