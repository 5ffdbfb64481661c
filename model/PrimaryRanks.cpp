#include "model/PrimaryRanks.h"

#include "model/TextCodec.h"
#include "text/CodePage.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <map>
#include <memory>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <vector>

namespace {

struct Character {
    QString text;                    // empty: the byte is no character of its own
    std::vector<uint32_t> primaries; // the library's first-level weights, ignorables left out
    bool outside = false;
};
using Characters = std::array<Character, 256>;

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// Opened as the toolkit opens its own: the locale's rules, normalisation on, punctuation and
// digits not ignored, no numeric ordering.
Collator OpenCollator(const QLocale& locale) {
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = locale.bcp47Name().replace(u'-', u'_').toLatin1();
    Collator collator(ucol_open(name.constData(), &status));
    if (U_FAILURE(status))
        return nullptr;
    ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator.get(), UCOL_STRENGTH, UCOL_TERTIARY, &status);
    ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    return U_FAILURE(status) ? nullptr : std::move(collator);
}

// The code page's single-byte characters. In a multi-byte code page only the bytes below
// 0x80 stand alone for sure (any other may start or end a pair).
Characters CodePageCharacters() {
    const int codePage = veldrano::CurrentLocale().codePage;
    Characters chars;
    for (int b = 0; b < 256; ++b) {
        if (codePage != 1252 && (b >= 0x80 || veldrano::IsLeadByte(codePage, uint8_t(b))))
            continue;
        const QString text = TextCodec::ToQString(std::string(1, static_cast<char>(b)));
        if (text.size() == 1 && !text.at(0).isSurrogate())
            chars[b].text = text;
    }
    return chars;
}

std::vector<uint32_t> PrimariesOf(UCollator* collator, const QString& text) {
    std::vector<uint32_t> primaries;
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(
        collator, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &status);
    if (U_FAILURE(status))
        return {0}; // a zero weight marks the character as not to be trusted
    for (int32_t ce; (ce = ucol_next(elements, &status)) != UCOL_NULLORDER && U_SUCCESS(status);) {
        const uint32_t half = uint32_t(ce);
        if ((half & 0xC0) == 0xC0) { // the second half of a long weight
            if (!primaries.empty())
                primaries.back() |= half >> 16;
        } else if (half >> 16 != 0) {
            primaries.push_back(half & 0xFFFF0000u);
        }
    }
    ucol_closeElements(elements);
    return primaries;
}

// The characters that can complete a contraction the text could hold are left to the
// collator (so are those of a prefix context: the character the prefix changes comes last).
void LeaveOutContractions(UCollator* collator, Characters& chars) {
    std::map<char16_t, int> byteOf;
    for (int b = 0; b < 256; ++b)
        if (!chars[b].text.isEmpty())
            byteOf[chars[b].text.at(0).unicode()] = b;
    UErrorCode status = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, set, nullptr, true, &status);
    for (int32_t i = 0, n = uset_getItemCount(set); U_SUCCESS(status) && i < n; ++i) {
        UChar32 start = 0, end = 0;
        UChar text[64];
        const int32_t length = uset_getItem(set, i, &start, &end, text, 64, &status);
        std::vector<char16_t> units(text, text + std::max(length, 0));
        for (UChar32 c = start; length == 0 && c <= end && c <= 0xFFFF; ++c)
            units.assign(1, char16_t(c));
        // A contraction applies only where its later characters follow, so leaving those out
        // is enough ("l" keeps its weight where no middle dot follows it).
        if (std::all_of(units.begin(), units.end(), [&](char16_t u) { return byteOf.count(u); }))
            for (size_t k = units.size() > 1 ? 1 : 0; k < units.size(); ++k)
                chars[byteOf[units[k]]].outside = true;
    }
    uset_close(set);
    if (U_FAILURE(status))
        for (Character& c : chars)
            c.outside = true;
}

// Checks of the first level through the toolkit's collator: `low` and `high` are characters
// of the lowest and the highest first-level weight, so that a suffix decides between strings
// whose first levels are equal and nothing else.
struct Checks {
    const QCollator& collator;
    QString low, high;
    bool less(const QString& x, const QString& y) const {
        return collator.compare(x + high, y + low) < 0;
    }
    bool same(const QString& x, const QString& y) const {
        return collator.compare(x + high, y + low) > 0 && collator.compare(x + low, y + high) < 0;
    }
    bool ignorable(const QString& x) const { return same(x + low, low) && same(x + high, high); }
};

// Ranks the weights densely in their order (one byte each) and fills the entries; returns
// false when the collator disagrees with the order of the weights.
bool Rank(const Characters& chars, const QCollator& collator, std::array<uint32_t, 256>& out) {
    std::map<uint32_t, QString> single; // a character of each weight that has one alone
    for (const Character& c : chars)
        if (!c.outside && c.primaries.size() == 1 && c.primaries[0] != 0)
            single.emplace(c.primaries[0], c.text);
    if (single.size() < 2)
        return false;
    const Checks check{collator, single.begin()->second, single.rbegin()->second};
    std::map<uint32_t, uint32_t> rank;
    for (auto it = single.begin(); it != single.end() && rank.size() < 255; ++it) {
        if (it != single.begin() && !check.less(std::prev(it)->second, it->second))
            return false;
        rank[it->first] = uint32_t(rank.size() + 1);
    }
    for (size_t b = 0; b < 256; ++b) {
        const Character& c = chars[b];
        if (c.text.isEmpty() || c.outside || c.primaries.size() > 3)
            continue;
        QString same;
        uint32_t entry = uint32_t(c.primaries.size());
        for (size_t i = 0; i < c.primaries.size(); ++i) {
            const auto r = rank.find(c.primaries[i]);
            if (r == rank.end()) {
                entry = PrimaryRanks::kOutside;
                break;
            }
            entry |= r->second << (8 * (i + 1));
            same += single[c.primaries[i]];
        }
        const bool confirmed = same.isEmpty() ? check.ignorable(c.text) : check.same(c.text, same);
        if (entry != PrimaryRanks::kOutside && confirmed)
            out[b] = entry;
    }
    return true;
}

} // namespace

PrimaryRanks::PrimaryRanks(const QLocale& locale, const QCollator& collator) {
    m_entries.fill(kOutside);
    const Collator library = OpenCollator(locale);
    if (!library)
        return;
    Characters chars = CodePageCharacters();
    LeaveOutContractions(library.get(), chars);
    for (Character& c : chars)
        if (!c.text.isEmpty() && !c.outside)
            c.primaries = PrimariesOf(library.get(), c.text);
    if (!Rank(chars, collator, m_entries))
        m_entries.fill(kOutside);
}

int PrimaryRanks::covered() const {
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](uint32_t e) { return e != kOutside; }));
}

PrimaryKey KeyOf(const PrimaryRanks& table, std::string_view name) {
    PrimaryKey key;
    uint8_t ranks[32] = {};
    for (unsigned char b : name) {
        uint32_t e = table.entry(b);
        if (e == PrimaryRanks::kOutside) {
            key.fast = false;
            return key;
        }
        for (uint32_t n = e & 0xFF; n > 0; --n, ++key.ranks) {
            e >>= 8;
            if (key.ranks < 32)
                ranks[key.ranks] = uint8_t(e);
        }
    }
    for (int w = 0; w < 4; ++w) {
        uint64_t word = 0;
        for (int i = 0; i < 8; ++i)
            word = word << 8 | ranks[w * 8 + i];
        key.word[w] = word;
    }
    return key;
}

namespace {

// A name's ranks one at a time: 1-255, 0 after the end, -1 at a byte outside the table.
class RankCursor {
  public:
    RankCursor(const PrimaryRanks& table, std::string_view name) : m_table(table), m_name(name) {}
    int next() {
        while (m_pending == 0) {
            if (m_at == m_name.size())
                return 0;
            m_pending = m_table.entry(static_cast<unsigned char>(m_name[m_at++]));
            if (m_pending == PrimaryRanks::kOutside)
                return -1;
            m_left = m_pending & 0xFF;
            m_pending = m_left ? m_pending >> 8 : 0;
        }
        const int rank = int(m_pending & 0xFF);
        m_pending = --m_left ? m_pending >> 8 : 0;
        return rank;
    }

  private:
    const PrimaryRanks& m_table;
    std::string_view m_name;
    size_t m_at = 0;
    uint32_t m_pending = 0, m_left = 0;
};

} // namespace

int ComparePrimary(const PrimaryRanks& table, std::string_view a, std::string_view b) {
    RankCursor x(table, a), y(table, b);
    int result = 0;
    for (;;) { // to the end of both: a byte outside the table anywhere sends both to the collator
        const int rx = x.next(), ry = y.next();
        if (rx < 0 || ry < 0)
            return kNotFast;
        if (result == 0 && rx != ry)
            result = rx < ry ? -1 : 1;
        if (rx == 0 && ry == 0)
            return result;
    }
}
