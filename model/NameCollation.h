#pragma once
#include <QCollator>
#include <QCollatorSortKey>
#include <QString>
#include <string_view>

// The order of names in the list: the user's locale, case-sensitive (lower case before
// upper case). Names are bytes in the program's code page.
class NameCollation {
  public:
    NameCollation();

    // Negative, zero or positive as `a` sorts before, with or after `b`.
    int compare(std::string_view a, std::string_view b) const;
    // The same with `a` decoded once beforehand (DecodeInto), for searching one name's place.
    int compare(QStringView a, std::string_view b) const;
    // A key whose byte comparison gives the same order, for sorting many names at once.
    QCollatorSortKey key(std::string_view name) const;

  private:
    QCollator m_collator;
    mutable QString m_a, m_b; // reused: comparing must not allocate
};
