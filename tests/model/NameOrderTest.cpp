// The name order against the toolkit's collator itself, over generated names in several
// locales: every comparison, every key that differs, and whole sorts must agree with it.
// NAME_COUNT sets the size (the quick loop runs a small one, the long label millions).
#include "model/NameCollation.h"
#include "model/NameOrder.h"
#include "model/TextCodec.h"
#include "text/CodePage.h"

#include <QCollator>
#include <gtest/gtest.h>
#include <cstdio>
#include <random>

#ifndef NAME_COUNT
#define NAME_COUNT 20000
#endif

using namespace veldrano;

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// A name as its bytes, for the messages.
std::string Hex(std::string_view name) {
    std::string out;
    char hex[4];
    for (unsigned char c : name) {
        std::snprintf(hex, sizeof hex, "%02x ", c);
        out += hex;
    }
    return out;
}

// Names as a book holds them: accented, mixed case, runs of one name with small differences
// (case, an accent, a longer tail, past the 32 ranks a key holds), exact repeats, empty
// names, punctuation and digits, characters the first level ignores, pieces of contractions
// (Czech "ch", Danish "aa", Catalan "l\xB7l"), and in a multi-byte code page two-byte
// characters.
class NameMaker {
  public:
    NameMaker(unsigned seed, bool multiByte) : m_random(seed), m_multiByte(multiByte) {}

    std::string name() {
        const unsigned roll = pick(100);
        if (roll < 3)
            return {};
        if (roll < 45 && !m_made.empty())
            return remember(variant(m_made[pick(unsigned(m_made.size()))]));
        std::string out;
        for (unsigned n = 1 + pick(roll < 50 ? 40 : 14); n > 0; --n)
            out += piece();
        return remember(out);
    }

  private:
    unsigned pick(unsigned n) { return unsigned(m_random() % n); }

    std::string piece() {
        static const char* const kPieces[] = {" ",
                                              "-",
                                              ".",
                                              ",",
                                              "'",
                                              "&",
                                              "(",
                                              "0",
                                              "7",
                                              "19",
                                              "ch",
                                              "CH",
                                              "Ch",
                                              "aa",
                                              "Aa",
                                              "ll",
                                              "l\xB7l",
                                              "\xB7",
                                              "\xAD",
                                              "\x01",
                                              "\xE1",
                                              "\xC1",
                                              "\xF1",
                                              "\xD1",
                                              "\xFC",
                                              "\xDC",
                                              "\xE5",
                                              "\xC5",
                                              "\xE6",
                                              "\xDF",
                                              "\xF8",
                                              "\x8A",
                                              "\x9A",
                                              "\x9C",
                                              "\xFF",
                                              "\xBD",
                                              "Jos\xE9",
                                              "Mar\xED"
                                              "a",
                                              "Garc\xED"
                                              "a",
                                              "Nu\xF1"
                                              "ez",
                                              "Ib\xE1\xF1"
                                              "ez",
                                              "L\xF3pez"};
        static const char* const kWide[] = {"\x82\xA0", "\x83\x41", "\x93\xFA",
                                            "\x96\x7B", "\xB1",     "\x81\x5B"};
        const unsigned roll = pick(100);
        if (roll < 45)
            return std::string(1, char((pick(2) ? 'a' : 'A') + pick(26)));
        if (roll < 85)
            return kPieces[pick(std::size(kPieces))];
        if (m_multiByte)
            return roll < 95 ? kWide[pick(std::size(kWide))]
                             : std::string(1, char(0x20 + pick(95)));
        const unsigned byte = 1 + pick(255); // any byte a field may hold
        return byte == '\n' || byte == '\r' ? "x" : std::string(1, char(byte));
    }

    std::string variant(std::string name) {
        const unsigned roll = pick(6);
        if (name.empty() || roll == 0)
            return name + (roll == 0 && pick(2) ? piece() : "");
        const size_t at = pick(unsigned(name.size()));
        if (roll == 1 && std::isalpha(static_cast<unsigned char>(name[at])))
            name[at] = char(name[at] ^ 0x20); // the other case
        else if (roll == 2)
            name[at] = "aAeE\xE1\xC1\xE9\xC9"[pick(8)];
        else if (roll == 3)
            name.resize(at);
        else
            name += piece();
        return name;
    }

    std::string remember(std::string name) {
        if (m_made.size() < 500)
            m_made.push_back(name);
        else
            m_made[pick(500)] = name;
        return name;
    }

    std::mt19937_64 m_random;
    bool m_multiByte;
    std::vector<std::string> m_made;
};

struct Case {
    const char* locale;
    const char* posix;  // the program's code page comes from it
    int decidedPercent; // of the pairs at least, by keys alone: the table is in use
};

class NameOrderTest : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        SetCurrentLocale(LocaleFromName(GetParam().posix));
        reference.setCaseSensitivity(Qt::CaseSensitive);
    }
    void TearDown() override { SetCurrentLocale(LocaleFromName("es_ES")); }
    int expected(const std::string& a, const std::string& b) const {
        return Sign(reference.compare(TextCodec::ToQString(a), TextCodec::ToQString(b)));
    }
    bool multiByte() const { return CurrentLocale().codePage != 1252; }

    QLocale locale{QString::fromLatin1(GetParam().locale)};
    QCollator reference{locale};
};

TEST_P(NameOrderTest, EveryComparisonAndEveryDifferingKeyAgreesWithTheCollator) {
    const NameCollation collation(locale);
    NameMaker maker(7, multiByte());
    size_t byKeys = 0;
    for (size_t i = 0; i < NAME_COUNT; ++i) {
        const std::string a = maker.name(), b = maker.name();
        const int want = expected(a, b);
        ASSERT_EQ(Sign(collation.compare(a, b)), want) << Hex(a) << "| " << Hex(b);
        const PrimaryKey ka = KeyOf(collation.ranks(), a), kb = KeyOf(collation.ranks(), b);
        if (ka.fast && kb.fast &&
            !std::equal(std::begin(ka.word), std::end(ka.word), std::begin(kb.word))) {
            ++byKeys;
            const bool less = std::lexicographical_compare(std::begin(ka.word), std::end(ka.word),
                                                           std::begin(kb.word), std::end(kb.word));
            ASSERT_EQ(less ? -1 : 1, want) << Hex(a) << "| " << Hex(b);
        }
    }
    // The table must decide most pairs, or the comparisons above tested only the collator.
    std::printf("pairs ordered by their keys: %zu of %d\n", byKeys, NAME_COUNT);
    EXPECT_GT(byKeys * 100, size_t(NAME_COUNT) * size_t(GetParam().decidedPercent));
}

TEST_P(NameOrderTest, ASortIsTheCollatorsStableOrder) {
    const NameCollation collation(locale);
    NameMaker maker(11, multiByte());
    std::vector<std::string> made;
    for (size_t i = 0; i < NAME_COUNT * 2; ++i)
        made.push_back(maker.name());
    std::vector<std::string_view> names(made.begin(), made.end());
    const std::vector<uint32_t> order = NameOrder(collation, names);
    ASSERT_EQ(order.size(), names.size());
    std::vector<bool> seen(names.size());
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_FALSE(seen[order[i]]);
        seen[order[i]] = true;
        if (i == 0)
            continue;
        const int c = expected(made[order[i - 1]], made[order[i]]);
        ASSERT_TRUE(c < 0 || (c == 0 && order[i - 1] < order[i]))
            << i << ": " << Hex(made[order[i - 1]]) << "| " << Hex(made[order[i]]);
    }
    // In order already: nothing to do; one pair out of place: a new order.
    std::vector<std::string_view> sorted;
    for (uint32_t i : order)
        sorted.push_back(names[i]);
    EXPECT_TRUE(NameOrder(collation, sorted, true).empty());
    for (size_t i = sorted.size() - 1; i > 0; --i)
        if (expected(std::string(sorted[i - 1]), std::string(sorted[i])) < 0) {
            std::swap(sorted[i - 1], sorted[i]);
            break;
        }
    EXPECT_FALSE(NameOrder(collation, sorted, true).empty());
}

INSTANTIATE_TEST_SUITE_P(Locales, NameOrderTest,
                         testing::Values(Case{"es_ES", "es_ES", 50}, Case{"en_US", "en_US", 50},
                                         Case{"de_DE", "de_DE", 50}, Case{"fr_FR", "fr_FR", 50},
                                         Case{"da_DK", "da_DK", 10}, Case{"cs_CZ", "cs_CZ", 25},
                                         Case{"ca_ES", "ca_ES", 50}, Case{"sv_SE", "sv_SE", 50},
                                         Case{"ja_JP", "ja_JP", 2}),
                         [](const auto& info) { return std::string(info.param.locale); });

TEST(PrimaryRanks, CoverTheWesternCodePageButContractionsAndWhatTheyCannotConfirm) {
    SetCurrentLocale(LocaleFromName("es_ES"));
    const NameCollation spanish(QLocale(QLocale::Spanish, QLocale::Spain));
    EXPECT_GE(spanish.ranks().covered(), 240);
    // The middle dot completes the root's "l\xB7" contraction: left to the collator.
    EXPECT_EQ(spanish.ranks().entry(0xB7), PrimaryRanks::kOutside);
    EXPECT_NE(spanish.ranks().entry('l'), PrimaryRanks::kOutside);
    // Czech "ch" is one letter after "h": "h" is left to the collator, "c" is not.
    const NameCollation czech(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    EXPECT_EQ(czech.ranks().entry('h'), PrimaryRanks::kOutside);
    EXPECT_NE(czech.ranks().entry('c'), PrimaryRanks::kOutside);
    // Spanish "\xF1" is a letter of its own after "n", and "\xE6" is "ae" at the first level.
    const uint32_t n = spanish.ranks().entry('n'), enye = spanish.ranks().entry(0xF1),
                   o = spanish.ranks().entry('o');
    EXPECT_LT(n >> 8, enye >> 8);
    EXPECT_LT(enye >> 8, o >> 8);
    const uint32_t ae = spanish.ranks().entry(0xE6);
    EXPECT_EQ(ae & 0xFF, 2u);
    EXPECT_EQ((ae >> 8) & 0xFF, spanish.ranks().entry('a') >> 8);
    EXPECT_EQ(ae >> 16, spanish.ranks().entry('e') >> 8);
}

} // namespace
