#pragma once
#include "model/PrimaryRanks.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>
#include <memory>
#include <string_view>

// The order of names in the list: the user's locale, case-sensitive (lower case before
// upper case). Names are bytes in the program's code page. Most comparisons are decided by
// the first level of the collation read from a per-character table (PrimaryRanks); the
// collator itself decides whenever that level is equal or a name holds a character the table
// leaves out, so the order is exactly the collator's.
class NameCollation {
  public:
    // The user's locale; Spanish when there is none ("C").
    NameCollation();
    explicit NameCollation(const QLocale& locale);
    static QLocale UserLocale();

    // Negative, zero or positive as `a` sorts before, with or after `b`.
    int compare(std::string_view a, std::string_view b) const;
    // The collator alone, for names the table cannot order.
    int collatorCompare(std::string_view a, std::string_view b) const;
    // A key whose byte comparison gives the collator's order.
    QCollatorSortKey key(std::string_view name) const;
    const PrimaryRanks& ranks() const { return *m_ranks; }
    const QLocale& locale() const { return m_locale; }

  private:
    QLocale m_locale;
    QCollator m_collator;
    std::shared_ptr<const PrimaryRanks> m_ranks;
    mutable QString m_a, m_b; // reused: comparing must not allocate
};
