#include "app/BookModel.h"

#include "qtsupport/TextCodec.h"

#include <QLocale>
#include <algorithm>
#include <numeric>

using veldrano::ContactRecord;
using veldrano::kFieldCount;

namespace {

QLocale CollationLocale() {
    QLocale system = QLocale::system();
    // Without a user locale ("C") byte order would put every accented name last; the
    // program speaks Spanish, so collate as Spanish does.
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Spanish, QLocale::Spain);
    return system;
}

} // namespace

QString ColumnCaption(int field) {
    static const char* const captions[kFieldCount] = {
        "Nombre y Apellidos", "Dirección",  "Teléfono", "Correo Electrónico",
        "Código Postal",      "Móvil",      "Fax",      "Organización",
        "Departamento",       "Página Web", "Oficina",
    };
    return QString::fromUtf8(captions[field]);
}

BookModel::BookModel(QObject* parent) : QAbstractTableModel(parent), m_collator(CollationLocale()) {
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
}

int BookModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_records.size());
}

int BookModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFieldCount;
}

QVariant BookModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return TextCodec::ToQString(m_records[index.row()][index.column()]);
}

QVariant BookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kFieldCount)
        return ColumnCaption(section);
    return {};
}

QCollatorSortKey BookModel::keyFor(const std::string& name) const {
    return m_collator.sortKey(TextCodec::ToQString(name));
}

int BookModel::insertPosition(const QCollatorSortKey& key) const {
    // After every row that does not sort after it: equal names keep their arrival order.
    auto it = std::upper_bound(
        m_keys.begin(), m_keys.end(), key,
        [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) < 0; });
    return static_cast<int>(it - m_keys.begin());
}

int BookModel::appendRecord(const ContactRecord& record) {
    QCollatorSortKey key = keyFor(record[0]);
    const int row = m_sorting ? insertPosition(key) : static_cast<int>(m_records.size());
    beginInsertRows({}, row, row);
    m_records.insert(m_records.begin() + row, record);
    m_keys.insert(m_keys.begin() + row, key);
    endInsertRows();
    return row;
}

void BookModel::appendRecords(std::vector<ContactRecord> records) {
    // A few rows go to their places one by one; many are appended and sorted once, which
    // places them the same way without moving the list once per row.
    constexpr size_t kOneByOne = 32;
    if (records.empty())
        return;
    if (m_sorting && records.size() <= kOneByOne) {
        for (const auto& r : records)
            appendRecord(r);
        return;
    }
    const int first = static_cast<int>(m_records.size());
    beginInsertRows({}, first, first + static_cast<int>(records.size()) - 1);
    for (auto& r : records) {
        m_keys.push_back(keyFor(r[0]));
        m_records.push_back(std::move(r));
    }
    endInsertRows();
    if (m_sorting)
        sortAll();
}

int BookModel::setRecord(int row, const ContactRecord& record) {
    const bool nameChanged = m_records.at(row)[0] != record[0];
    m_records[row] = record;
    if (nameChanged)
        m_keys[row] = keyFor(record[0]);
    emit dataChanged(index(row, 0), index(row, kFieldCount - 1), {Qt::DisplayRole});
    if (!m_sorting || !nameChanged)
        return row;

    // The other rows are sorted; find where this one belongs among them.
    auto less = [](const QCollatorSortKey& a, const QCollatorSortKey& b) {
        return a.compare(b) < 0;
    };
    const QCollatorSortKey& key = m_keys[row];
    auto before = std::upper_bound(m_keys.begin(), m_keys.begin() + row, key, less);
    int target;
    if (before != m_keys.begin() + row)
        target = static_cast<int>(before - m_keys.begin());
    else
        target =
            static_cast<int>(std::upper_bound(m_keys.begin() + row + 1, m_keys.end(), key, less) -
                             m_keys.begin()) -
            1;
    if (target == row)
        return row;

    beginMoveRows({}, row, row, {}, target > row ? target + 1 : target);
    auto move = [&](auto& v) {
        if (target < row)
            std::rotate(v.begin() + target, v.begin() + row, v.begin() + row + 1);
        else
            std::rotate(v.begin() + row, v.begin() + row + 1, v.begin() + target + 1);
    };
    move(m_records);
    move(m_keys);
    endMoveRows();
    return target;
}

void BookModel::removeRowsAt(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last row to the first, one contiguous block at a time.
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0;) {
        int last = rows[i], first = last;
        while (i > 0 && rows[i - 1] == first - 1)
            first = rows[--i];
        --i;
        beginRemoveRows({}, first, last);
        m_records.erase(m_records.begin() + first, m_records.begin() + last + 1);
        m_keys.erase(m_keys.begin() + first, m_keys.begin() + last + 1);
        endRemoveRows();
    }
}

void BookModel::setRecords(std::vector<ContactRecord> records) {
    beginResetModel();
    m_records = std::move(records);
    m_keys.clear();
    m_keys.reserve(m_records.size());
    for (const auto& r : m_records)
        m_keys.push_back(keyFor(r[0]));
    if (m_sorting)
        reorder(nameOrder());
    endResetModel();
}

std::vector<int> BookModel::nameOrder() const {
    std::vector<int> order(m_records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_keys[a].compare(m_keys[b]) < 0; });
    return order;
}

void BookModel::reorder(const std::vector<int>& order) {
    std::vector<ContactRecord> records;
    std::vector<QCollatorSortKey> keys;
    records.reserve(order.size());
    keys.reserve(order.size());
    for (int i : order) {
        records.push_back(std::move(m_records[i]));
        keys.push_back(m_keys[i]);
    }
    m_records = std::move(records);
    m_keys = std::move(keys);
}

void BookModel::clear() {
    setRecords({});
}

void BookModel::setSorting(bool on) {
    m_sorting = on;
    if (on)
        sortAll();
}

void BookModel::sortAll() {
    const std::vector<int> order = nameOrder();
    if (std::is_sorted(order.begin(), order.end()))
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[order[i]] = static_cast<int>(i);
    reorder(order);
    // The selection follows its rows.
    const QModelIndexList old = persistentIndexList();
    QModelIndexList moved;
    for (const QModelIndex& idx : old)
        moved.append(index(newRowOf[idx.row()], idx.column()));
    changePersistentIndexList(old, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
