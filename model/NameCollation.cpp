#include "model/NameCollation.h"

#include "model/TextCodec.h"

#include <QLocale>

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

NameCollation::NameCollation() : m_collator(CollationLocale()) {
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
}

int NameCollation::compare(std::string_view a, std::string_view b) const {
    TextCodec::DecodeInto(a, m_a);
    TextCodec::DecodeInto(b, m_b);
    return m_collator.compare(QStringView(m_a), QStringView(m_b));
}

int NameCollation::compare(QStringView a, std::string_view b) const {
    TextCodec::DecodeInto(b, m_b);
    return m_collator.compare(a, QStringView(m_b));
}

QCollatorSortKey NameCollation::key(std::string_view name) const {
    TextCodec::DecodeInto(name, m_a);
    return m_collator.sortKey(m_a);
}
