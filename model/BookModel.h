#pragma once
#include "model/NameCollation.h"
#include "book/BookStore.h"
#include "book/ContactRecord.h"

#include <QAbstractTableModel>
#include <vector>

// The address book: the rows of the report list, in list order, and the only copy of the
// records while the program runs. With ordering on the rows are kept in name order (the
// locale's case-sensitive collation; equal names keep the order in which they came). Every
// single edit costs O(log n) comparisons and a move of row indices; ordering on over rows
// already in name order costs nothing.
class BookModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit BookModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const veldrano::BookStore& store() const { return m_store; }
    veldrano::ContactRecord record(int row) const { return m_store.record(checked(row)); }
    std::string_view name(int row) const { return m_store.name(checked(row)); }
    // Every record in list order.
    std::vector<veldrano::ContactRecord> records() const;

    // Replaces every row; in name order with ordering on.
    void load(veldrano::BookStore store);
    void clear() { load({}); }
    // Adds a row at its place by name with ordering on, else at the end. Returns its row.
    int add(const veldrano::ContactRecord& record);
    // Adds rows as if one by one, in one change of the list.
    void paste(std::vector<veldrano::ContactRecord> records);
    void paste(const veldrano::BookClip& clip);
    // Replaces the record of a row; with ordering on a changed name moves the row.
    // Returns the row it stands on afterwards.
    int replace(int row, const veldrano::ContactRecord& record);
    // Removes the given rows (any order, repeats allowed).
    void remove(std::vector<int> rows);

    bool sorting() const { return m_sorting; }
    // On puts the rows in name order at once (no work when they are already); off leaves
    // them where they are.
    void setSorting(bool on);

  private:
    enum class Order { Sorted, Unsorted, Unknown }; // what is known of the rows' order

    size_t checked(int row) const;
    bool lessOrEqual(size_t a, size_t b) const;
    // The row before which a record named `name` goes: after every row that does not sort
    // after it, looking only at rows [first, last).
    size_t placeFor(std::string_view name, size_t first, size_t last) const;
    // The order of rows [first, first + count) by name (stable), as indices from `first`;
    // with `unlessSorted` empty when they are in name order already.
    std::vector<uint32_t> nameOrder(size_t first, size_t count, bool unlessSorted) const;
    // Applies a new order as one layout change; the selection follows its rows.
    void relayout(const std::vector<uint32_t>& order);
    void noteAppended(size_t firstNew);
    // Puts the rows from `first` on, just appended, where pasted rows go.
    void placePasted(size_t first);

    veldrano::BookStore m_store;
    NameCollation m_collation;
    bool m_sorting = true;
    Order m_order = Order::Sorted;
};
