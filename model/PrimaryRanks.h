#pragma once
#include <array>
#include <cstdint>
#include <string_view>

class QCollator;
class QLocale;

// The first level of the collation (letters without their accents or case) of each single-byte
// character of the code page, ranked densely so that one rank fits a byte. A name made only of
// these characters has as its first level the ranks of its characters one after the other;
// two such names whose ranks differ are in that order without asking the collator, since the
// first level decides before accents and case are looked at. Characters that take part in a
// contraction of the locale (Danish "aa", Czech "ch"), lead bytes of a multi-byte code page,
// and anything the table could not confirm with the collator itself are left out: a name
// holding one is compared by the collator.
class PrimaryRanks {
  public:
    // Built from the collation library's weights for `locale` and checked against `collator`
    // (the toolkit's collator for that locale) for the current code page.
    PrimaryRanks(const QLocale& locale, const QCollator& collator);

    // What a byte contributes: kOutside, or a count (0 for a character the first level
    // ignores, up to 3 for an expansion such as "æ") in the low byte and the ranks above it.
    static constexpr uint32_t kOutside = 0xFF;
    uint32_t entry(unsigned char byte) const { return m_entries[byte]; }
    // Bytes whose characters are in the table, for the tests.
    int covered() const;

  private:
    std::array<uint32_t, 256> m_entries;
};

// The ranks of a name's first level, the first 32 packed big-endian into four words (zeros
// after the end, and every rank is at least 1, so a shorter name that is a prefix comes
// first). `fast` is false when a byte is outside the table; `complete` when all ranks fit.
struct PrimaryKey {
    uint64_t word[4] = {};
    uint32_t ranks = 0;
    bool fast = true;
    bool complete() const { return ranks <= 32; }
};
PrimaryKey KeyOf(const PrimaryRanks& table, std::string_view name);

// Compares the whole first level of two names: -1, 0 or 1, or kNotFast when either holds a
// byte outside the table.
constexpr int kNotFast = 2;
int ComparePrimary(const PrimaryRanks& table, std::string_view a, std::string_view b);
