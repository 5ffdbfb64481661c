#include "model/NameCollation.h"

#include "model/TextCodec.h"
#include "text/CodePage.h"

#include <map>
#include <mutex>

namespace {

// One table for each locale and code page, built on first use and shared by every
// collation (each thread has a collation of its own).
std::shared_ptr<const PrimaryRanks> RanksFor(const QLocale& locale, const QCollator& collator) {
    static std::mutex mutex;
    static std::map<std::pair<QString, int>, std::shared_ptr<const PrimaryRanks>> tables;
    const std::lock_guard<std::mutex> lock(mutex);
    auto& table = tables[{locale.bcp47Name(), veldrano::CurrentLocale().codePage}];
    if (!table)
        table = std::make_shared<const PrimaryRanks>(locale, collator);
    return table;
}

} // namespace

QLocale NameCollation::UserLocale() {
    QLocale system = QLocale::system();
    // Without a user locale ("C") byte order would put every accented name last; the
    // program speaks Spanish, so collate as Spanish does.
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Spanish, QLocale::Spain);
    return system;
}

NameCollation::NameCollation() : NameCollation(UserLocale()) {}

NameCollation::NameCollation(const QLocale& locale) : m_locale(locale), m_collator(locale) {
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
    m_ranks = RanksFor(locale, m_collator);
}

int NameCollation::compare(std::string_view a, std::string_view b) const {
    const int primary = ComparePrimary(*m_ranks, a, b);
    if (primary != 0 && primary != kNotFast)
        return primary;
    if (primary == 0 && a == b)
        return 0;
    return collatorCompare(a, b);
}

int NameCollation::collatorCompare(std::string_view a, std::string_view b) const {
    TextCodec::DecodeInto(a, m_a);
    TextCodec::DecodeInto(b, m_b);
    return m_collator.compare(QStringView(m_a), QStringView(m_b));
}

QCollatorSortKey NameCollation::key(std::string_view name) const {
    TextCodec::DecodeInto(name, m_a);
    return m_collator.sortKey(m_a);
}
