// The book's model on its own, with the toolkit's model tester watching every change: rows
#include "tests/support/BookText.h"
// in name order, edits that keep that order, selections that follow their rows.
#include "model/BookModel.h"
#include "book/BookFile.h"
#include "tests/support/app/QtApp.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <gtest/gtest.h>
#include <random>

using namespace veldrano;

namespace {

ContactRecord Named(const std::string& name, const std::string& phone = {}) {
    ContactRecord r{};
    r[0] = name;
    r[2] = phone;
    return r;
}

BookStore StoreOf(const std::vector<ContactRecord>& records) {
    return ParseBookFile(test::BookText({}, records)).records;
}

std::vector<ContactRecord> Records(const BookModel& model) {
    return model.records();
}

// Names with every case the ordering must handle: equal, accented, case-different.
std::vector<ContactRecord> Shuffled(unsigned seed, size_t count) {
    const char* names[] = {"Zoe", "\xC1lvaro", "ana", "Ana", "alvaro", "\xF1u",
                           "nu",  "Nu",        "o",   "",    " ",      "Ana"};
    std::mt19937 random(seed);
    std::vector<ContactRecord> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(Named(names[random() % std::size(names)], std::to_string(i)));
    return out;
}

class Watched {
  public:
    Watched()
        : tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal), selection(&model) {
    }
    BookModel model;
    QAbstractItemModelTester tester;
    QItemSelectionModel selection;
};

} // namespace

TEST(BookModel, RowsArriveInNameOrderAsIfAddedOneByOne) {
    test::EnsureQApplication();
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::vector<ContactRecord> book = Shuffled(seed, 60);
        Watched loaded, added, pasted;
        loaded.model.load(StoreOf(book));
        for (const ContactRecord& r : book)
            added.model.add(r);
        pasted.model.paste(book);
        EXPECT_EQ(Records(loaded.model), Records(added.model));
        EXPECT_EQ(Records(pasted.model), Records(added.model));
        // A second paste goes among rows already there exactly as adds would.
        pasted.model.paste(Shuffled(seed + 10, 40));
        for (const ContactRecord& r : Shuffled(seed + 10, 40))
            added.model.add(r);
        EXPECT_EQ(Records(pasted.model), Records(added.model));
    }
}

TEST(BookModel, ARenameMovesTheRowAsARemoveAndAnAddWould) {
    test::EnsureQApplication();
    const std::vector<ContactRecord> book = Shuffled(4, 30);
    for (int row = 0; row < 30; row += 3) {
        for (const char* name : {"", "Ana", "mm", "\xFF", "alvaro"}) {
            Watched renamed, rebuilt;
            renamed.model.load(StoreOf(book));
            rebuilt.model.load(StoreOf(book));
            const ContactRecord record = Named(name, "movido");
            renamed.selection.select(renamed.model.index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
            const bool sameName = renamed.model.record(row)[0] == name;
            const int to = renamed.model.replace(row, record);
            if (sameName) {
                EXPECT_EQ(to, row); // an unchanged name keeps its row among equal ones
                continue;
            }
            rebuilt.model.remove({row});
            rebuilt.model.add(record);
            EXPECT_EQ(Records(renamed.model), Records(rebuilt.model)) << row << " " << name;
            // The selection went with the row.
            ASSERT_EQ(renamed.selection.selectedRows().size(), 1u);
            EXPECT_EQ(renamed.selection.selectedRows()[0].row(), to);
            EXPECT_EQ(renamed.model.record(to), record);
        }
    }
}

TEST(BookModel, OrderingOnSortsOnceAndTheSelectionFollows) {
    test::EnsureQApplication();
    Watched w;
    w.model.setSorting(false);
    const std::vector<ContactRecord> book = Shuffled(5, 50);
    w.model.load(StoreOf(book));
    EXPECT_EQ(Records(w.model), book); // off: the file order
    w.model.add(Named("a", "al final"));
    EXPECT_EQ(w.model.record(50)[2], "al final");
    for (int row : {3, 17, 50})
        w.selection.select(w.model.index(row, 0),
                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::vector<ContactRecord> selected;
    for (int row : {3, 17, 50})
        selected.push_back(w.model.record(row));
    w.model.setSorting(true);
    Watched sorted;
    sorted.model.load(w.model.store().empty() ? BookStore() : StoreOf(Records(w.model)));
    EXPECT_EQ(Records(w.model), Records(sorted.model)); // in name order now
    std::vector<ContactRecord> stillSelected;
    for (const QModelIndex& index : w.selection.selectedRows())
        stillSelected.push_back(w.model.record(index.row()));
    std::sort(selected.begin(), selected.end());
    std::sort(stillSelected.begin(), stillSelected.end());
    EXPECT_EQ(stillSelected, selected);
    // Off again keeps the order; removing blocks keeps the rest in order.
    w.model.setSorting(false);
    w.model.remove({0, 1, 2, 10, 40, 41});
    EXPECT_EQ(w.model.rowCount(), 45);
    w.model.setSorting(true);
    Watched again;
    again.model.load(StoreOf(Records(w.model)));
    EXPECT_EQ(Records(w.model), Records(again.model));
}
