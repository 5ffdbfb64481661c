#include <gtest/gtest.h>

#include "mail/IdCoderHeader.h"

namespace {

using veldrano::SystemLocale;

struct LocaleRow {
    const char* name;
    SystemLocale locale;
    THeaderEncoding expected;
};

class ChooseHeaderEncodingTest : public testing::TestWithParam<LocaleRow> {};

TEST_P(ChooseHeaderEncodingTest, FollowsTheLanguageTable) {
    EXPECT_EQ(ChooseHeaderEncoding(GetParam().locale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ChooseHeaderEncodingTest,
    testing::Values(
        LocaleRow{"ChineseSimplified", {0x04, 0x02, 936}, {TTransfer::bit8, 'B', "GB2312"}},
        LocaleRow{"ChineseTraditional", {0x04, 0x01, 950}, {TTransfer::bit8, 'B', "Big5"}},
        LocaleRow{"ChineseHongKong", {0x04, 0x03, 950}, {TTransfer::bit8, 'B', "Big5"}},
        LocaleRow{"Japanese", {0x11, 0x01, 932}, {TTransfer::iso2022jp, 'B', "ISO-2022-JP"}},
        LocaleRow{"Korean", {0x12, 0x01, 949}, {TTransfer::bit8, 'B', "EUC-KR"}},
        LocaleRow{"Spanish", {0x0A, 0x03, 1252}, {TTransfer::bit8, 'Q', "ISO-8859-1"}},
        LocaleRow{"NoLocale", {}, {TTransfer::bit8, 'Q', "ISO-8859-1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChooseHeaderEncodingTest, UsesTheLocaleOfTheProgram) {
    const SystemLocale saved = veldrano::CurrentLocale();
    veldrano::SetCurrentLocale(veldrano::LocaleFromName("ja_JP.UTF-8"));
    EXPECT_EQ(ChooseHeaderEncoding().Charset, "ISO-2022-JP");
    veldrano::SetCurrentLocale(veldrano::LocaleFromName("es_ES.UTF-8"));
    EXPECT_EQ(ChooseHeaderEncoding().Charset, "ISO-8859-1");
    veldrano::SetCurrentLocale(saved);
}

struct WordsRow {
    const char* name;
    std::string text;
    std::string_view specials;
    std::string expected;
};

class EncodeHeaderWordsTest : public testing::TestWithParam<WordsRow> {};

TEST_P(EncodeHeaderWordsTest, EncodesOnlyTheWordsThatNeedIt) {
    const WordsRow& row = GetParam();
    EXPECT_EQ(EncodeHeaderWords(row.text, row.specials, 'Q', "ISO-8859-1", TTransfer::bit8),
              row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    QForm, EncodeHeaderWordsTest,
    testing::Values(
        WordsRow{"PlainAscii", "Hello there, friend!", "", "Hello there, friend!"},
        WordsRow{"AsciiLookingEncoded", "a =?x?Q?y?= b ?= c", "", "a =?x?Q?y?= b ?= c"},
        WordsRow{"Empty", "", "", ""},
        WordsRow{"OneWordAmongPlainOnes",
                 "Reuni\xF3n de ma\xF1"
                 "ana",
                 "", "=?ISO-8859-1?Q?Reuni=F3n?= de =?ISO-8859-1?Q?ma=F1ana?="},
        WordsRow{"NeighboursShareOneWord", "A\xF1o Ni\xF1o", "", "=?ISO-8859-1?Q?A=F1o_Ni=F1o?="},
        WordsRow{"TabInsideRun", "A\xF1o\tNi\xF1o", "", "=?ISO-8859-1?Q?A=F1o=09Ni=F1o?="},
        WordsRow{"BlanksAroundRunStayOutside", "  \xD1u  es ", "", "  =?ISO-8859-1?Q?=D1u?=  es "},
        WordsRow{"QSpecialsInHex", "\xF1=?_", "", "=?ISO-8859-1?Q?=F1=3D=3F=5F?="},
        WordsRow{"CommaInSubjectRunInHex", "\xD1,a", "", "=?ISO-8859-1?Q?=D1=2Ca?="},
        WordsRow{"ControlByteTriggers", "a\x01 b", "", "=?ISO-8859-1?Q?a=01?= b"},
        WordsRow{"NameWithComma",
                 "Pe\xF1"
                 "a, Juan",
                 AddressSpecials, "=?ISO-8859-1?Q?Pe=F1a=2C?= Juan"},
        WordsRow{"AsciiWordWithSpecial", "Dr. Juan G\xF3mez", AddressSpecials,
                 "=?ISO-8859-1?Q?Dr=2E?= Juan =?ISO-8859-1?Q?G=F3mez?="},
        WordsRow{"QuotesAndBrackets", "\"x\" <y>", AddressSpecials,
                 "=?ISO-8859-1?Q?=22x=22_=3Cy=3E?="}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeHeaderWordsTest, LetterEightLeavesTheTextAsItIs) {
    EXPECT_EQ(EncodeHeaderWords("Ma\xF1"
                                "ana, s\xED",
                                AddressSpecials, '8', "x", TTransfer::bit8),
              "Ma\xF1"
              "ana, s\xED");
}

std::vector<std::string> SplitWords(const std::string& encoded) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (auto end = encoded.find("\r\n\t");; end = encoded.find("\r\n\t", start)) {
        words.push_back(encoded.substr(start, end - start));
        if (end == std::string::npos)
            return words;
        start = end + 3;
    }
}

TEST(EncodeWordRunTest, QRunSplitsIntoWordsOfAtMost75) {
    const auto words = SplitWords(EncodeWordRun(std::string(40, '\xF1'), 'Q', "ISO-8859-1", ""));
    ASSERT_EQ(words.size(), 3u); // 17 characters of frame leave room for 19 bytes as =F1
    std::string nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen += "=F1";
    EXPECT_EQ(words[0], "=?ISO-8859-1?Q?" + nineteen + "?=");
    EXPECT_EQ(words[2], "=?ISO-8859-1?Q?=F1=F1?=");
    for (const auto& word : words)
        EXPECT_LE(word.size(), MaxEncodedWordLength);
}

TEST(EncodeWordRunTest, BGroupsPerWordDependOnTheCharset) {
    const std::string hanzi = "\xD6\xD0\xCE\xC4"; // two GB2312 characters
    std::string text;
    for (int i = 0; i < 15; ++i)
        text += hanzi; // 60 bytes, 20 groups
    const auto gb = SplitWords(EncodeWordRun(text, 'B', "GB2312", ""));
    ASSERT_EQ(gb.size(), 2u);
    EXPECT_EQ(gb[0].size(), 11 + 15 * 4 + 2u);
    EXPECT_EQ(gb[1].size(), 11 + 5 * 4 + 2u);
    EXPECT_EQ(gb[1], "=?GB2312?B?0M7E1tDOxNbQzsTW0M7E?="); // bytes 46 to 60

    const auto jp = SplitWords(EncodeWordRun(text, 'B', "ISO-2022-JP", ""));
    ASSERT_EQ(jp.size(), 2u);
    EXPECT_EQ(jp[0].size(), 16 + 14 * 4 + 2u);
}

TEST(EncodeHeaderWordsTest, JapaneseTextIsConvertedThenEncodedInBase64) {
    // "Nihon" in Shift_JIS: ESC $ B 0x46 0x7C 0x4B 0x5C ESC ( B.
    EXPECT_EQ(EncodeHeaderWords("\x93\xFA\x96{ ok", "", 'B', "ISO-2022-JP", TTransfer::iso2022jp),
              "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?= ok");
}

struct SjisRow {
    const char* name;
    std::string sjis;
    std::string jis;
};

class ShiftJisTest : public testing::TestWithParam<SjisRow> {};

TEST_P(ShiftJisTest, ConvertsToIso2022Jp) {
    EXPECT_EQ(ShiftJisToIso2022Jp(GetParam().sjis), GetParam().jis);
}

INSTANTIATE_TEST_SUITE_P(Rows, ShiftJisTest,
                         testing::Values(SjisRow{"AsciiUnchanged", "Hola, 1", "Hola, 1"},
                                         SjisRow{"ModeSwitches",
                                                 "A\x82\xA0\x82\xA2"
                                                 "B",
                                                 "A\x1B$B$\"$$\x1B(B"
                                                 "B"},
                                         SjisRow{"VoicedKa", "\xB6\xDE", "\x1B$B%,\x1B(B"},
                                         SjisRow{"SemiVoicedHa", "\xCA\xDF", "\x1B$B%Q\x1B(B"},
                                         SjisRow{"SemiVoicedKaStaysApart", "\xB6\xDF",
                                                 "\x1B$B%+!,\x1B(B"},
                                         SjisRow{"LoneMark", "\xDE", "\x1B$B!+\x1B(B"},
                                         SjisRow{"StrayBytesDropped",
                                                 "a\x80\xA0\xFD\xFE\xFF"
                                                 "b",
                                                 "ab"},
                                         SjisRow{"UserDefinedPairDropped",
                                                 "a\xF0\x40"
                                                 "b",
                                                 "ab"},
                                         SjisRow{"BadTrailDropsPair",
                                                 "a\x81\x20"
                                                 "b",
                                                 "ab"},
                                         SjisRow{"LeadAtEndDropped", "a\x81", "a"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
