#pragma once
#include "book/ContactRecord.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <vector>

// The address book: the rows of the report list, in list order. The only copy of the
// records while the program runs. With ordering on, rows are kept sorted by name with the
// locale's case-sensitive collation; equal names keep the order in which they came.
class BookModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit BookModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<veldrano::ContactRecord>& records() const { return m_records; }
    const veldrano::ContactRecord& record(int row) const { return m_records.at(row); }

    // Adds a row: at its place by name with ordering on, else at the end. Returns its row.
    int appendRecord(const veldrano::ContactRecord& record);
    // Adds several rows as if one by one: at their places by name with ordering on (after
    // rows of the same name), else at the end in the given order.
    void appendRecords(std::vector<veldrano::ContactRecord> records);
    // Replaces the record of a row; with ordering on a changed name moves the row.
    // Returns the row it stands on afterwards.
    int setRecord(int row, const veldrano::ContactRecord& record);
    // Removes the given rows (any order).
    void removeRowsAt(std::vector<int> rows);
    // Replaces every row; sorted with ordering on.
    void setRecords(std::vector<veldrano::ContactRecord> records);
    void clear();

    bool sorting() const { return m_sorting; }
    // Ordering on sorts the whole list at once; off leaves the rows where they are.
    void setSorting(bool on);

  private:
    QCollatorSortKey keyFor(const std::string& name) const;
    int insertPosition(const QCollatorSortKey& key) const;
    void sortAll();
    // Row indices in name order; equal names keep their order.
    std::vector<int> nameOrder() const;
    // Puts the rows in the given order (a permutation of the row indices).
    void reorder(const std::vector<int>& order);

    std::vector<veldrano::ContactRecord> m_records;
    std::vector<QCollatorSortKey> m_keys; // collation key of each row's name, same order
    QCollator m_collator;
    bool m_sorting = true;
};

// Column captions in record field order.
QString ColumnCaption(int field);
