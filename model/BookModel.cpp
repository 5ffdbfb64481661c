#include "model/BookModel.h"

#include "book/ContactFields.h"
#include "model/NameOrder.h"
#include "model/TextCodec.h"

#include <algorithm>
#include <stdexcept>

using veldrano::BookStore;
using veldrano::ContactRecord;
using veldrano::kFieldCount;

BookModel::BookModel(QObject* parent) : QAbstractTableModel(parent) {}

int BookModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_store.size());
}

int BookModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFieldCount;
}

QVariant BookModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return TextCodec::ToQString(m_store.field(static_cast<size_t>(index.row()), index.column()));
}

QVariant BookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kFieldCount)
        return QString::fromUtf8(veldrano::kFields[section].columnCaption);
    return {};
}

size_t BookModel::checked(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= m_store.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(row) + ")");
    return static_cast<size_t>(row);
}

std::vector<ContactRecord> BookModel::records() const {
    std::vector<ContactRecord> all;
    all.reserve(m_store.size());
    for (size_t row = 0; row < m_store.size(); ++row)
        all.push_back(m_store.record(row));
    return all;
}

bool BookModel::lessOrEqual(size_t a, size_t b) const {
    return m_collation.compare(m_store.name(a), m_store.name(b)) <= 0;
}

size_t BookModel::placeFor(std::string_view name, size_t first, size_t last) const {
    while (first < last) {
        const size_t mid = first + (last - first) / 2;
        if (m_collation.compare(name, m_store.name(mid)) >= 0)
            first = mid + 1;
        else
            last = mid;
    }
    return first;
}

std::vector<uint32_t> BookModel::nameOrder(size_t first, size_t count, bool unlessSorted) const {
    std::vector<std::string_view> names(count);
    for (size_t i = 0; i < count; ++i)
        names[i] = m_store.name(first + i);
    return NameOrder(m_collation, names, unlessSorted);
}

void BookModel::relayout(const std::vector<uint32_t>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[order[i]] = static_cast<int>(i);
    m_store.reorder(order);
    const QModelIndexList old = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(old.size());
    for (const QModelIndex& idx : old)
        moved.append(index(newRowOf[static_cast<size_t>(idx.row())], idx.column()));
    changePersistentIndexList(old, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void BookModel::load(BookStore store) {
    beginResetModel();
    m_store = std::move(store);
    if (m_sorting) {
        if (const std::vector<uint32_t> order = nameOrder(0, m_store.size(), true); !order.empty())
            m_store.reorder(order);
        m_order = Order::Sorted;
    } else {
        m_order = m_store.size() < 2 ? Order::Sorted : Order::Unknown;
    }
    endResetModel();
}

void BookModel::noteAppended(size_t firstNew) {
    // Rows added at the end keep a sorted list sorted only when they follow in name order.
    if (m_order != Order::Sorted)
        return;
    for (size_t row = std::max<size_t>(firstNew, 1); row < m_store.size(); ++row)
        if (!lessOrEqual(row - 1, row)) {
            m_order = Order::Unsorted;
            return;
        }
}

int BookModel::add(const ContactRecord& record) {
    const size_t row =
        m_sorting ? placeFor(veldrano::SingleLine(record[0]), 0, m_store.size()) : m_store.size();
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
    m_store.insert(row, record);
    endInsertRows();
    if (!m_sorting)
        noteAppended(row);
    return static_cast<int>(row);
}

void BookModel::paste(std::vector<ContactRecord> records) {
    if (records.empty())
        return;
    if (records.size() == 1) {
        add(records[0]);
        return;
    }
    const size_t first = m_store.size();
    const size_t count = records.size();
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
    for (size_t i = 0; i < count; ++i)
        m_store.insert(first + i, records[i]);
    endInsertRows();
    placePasted(first);
}

void BookModel::paste(const veldrano::BookClip& clip) {
    if (clip.size() <= 1) {
        if (!clip.empty())
            add(clip.record(0));
        return;
    }
    const size_t first = m_store.size();
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + clip.size() - 1));
    m_store.append(clip);
    endInsertRows();
    placePasted(first);
}

void BookModel::placePasted(size_t first) {
    const size_t count = m_store.size() - first;
    if (!m_sorting) {
        noteAppended(first);
        return;
    }
    // Then into their places in one layout change: the new rows in name order among
    // themselves (equal names in the order given), each after the old rows that do not
    // sort after it.
    std::vector<size_t> place(count);
    for (size_t i = 0; i < count; ++i)
        place[i] = placeFor(m_store.name(first + i), 0, first);
    const std::vector<uint32_t> mine = nameOrder(first, count, false);
    std::vector<uint32_t> order;
    order.reserve(first + count);
    size_t old = 0;
    for (uint32_t i : mine) {
        for (; old < place[i]; ++old)
            order.push_back(static_cast<uint32_t>(old));
        order.push_back(static_cast<uint32_t>(first + i));
    }
    for (; old < first; ++old)
        order.push_back(static_cast<uint32_t>(old));
    relayout(order);
}

int BookModel::replace(int rowIndex, const ContactRecord& record) {
    const size_t row = checked(rowIndex);
    const bool renamed = m_store.name(row) != record[0];
    m_store.replace(row, record);
    emit dataChanged(index(rowIndex, 0), index(rowIndex, kFieldCount - 1), {Qt::DisplayRole});
    if (!renamed)
        return rowIndex;
    if (!m_sorting) {
        if (m_order == Order::Sorted && ((row > 0 && !lessOrEqual(row - 1, row)) ||
                                         (row + 1 < m_store.size() && !lessOrEqual(row, row + 1))))
            m_order = Order::Unsorted;
        return rowIndex;
    }
    // The other rows are in name order; find this one's place among them.
    const std::string_view name = m_store.name(row);
    size_t target = placeFor(name, 0, row);
    if (target == row)
        target = placeFor(name, row + 1, m_store.size()) - 1;
    if (target == row)
        return rowIndex;
    const int to = static_cast<int>(target);
    beginMoveRows({}, rowIndex, rowIndex, {}, target > row ? to + 1 : to);
    m_store.move(row, target);
    endMoveRows();
    return to;
}

void BookModel::remove(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last row to the first, one block of neighbouring rows at a time.
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0;) {
        int last = rows[static_cast<size_t>(i)], first = last;
        while (i > 0 && rows[static_cast<size_t>(i) - 1] == first - 1)
            first = rows[static_cast<size_t>(--i)];
        --i;
        checked(last);
        beginRemoveRows({}, first, last);
        m_store.erase(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
        endRemoveRows();
    }
    if (m_order == Order::Unsorted)
        m_order = Order::Unknown;
}

void BookModel::setSorting(bool on) {
    m_sorting = on;
    if (!on || m_order == Order::Sorted)
        return;
    const std::vector<uint32_t> order = nameOrder(0, m_store.size(), m_order == Order::Unknown);
    if (!order.empty())
        relayout(order);
    m_order = Order::Sorted;
}
