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
                 "=?ISO-8859-1?Q?=22x=22_=3Cy=3E?="},
        // The euro sign and its neighbours exist in windows-1252 only.
        WordsRow{"EuroMakesTheWordWindows1252", "Precio 5\x80 y m\xE1s", "",
                 "Precio =?windows-1252?Q?5=80?= y =?ISO-8859-1?Q?m=E1s?="}),
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

std::string DecodeBase64(std::string_view text) {
    static constexpr std::string_view Alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        bits = bits << 6 | static_cast<unsigned>(Alphabet.find(c));
        if ((count += 6) >= 8) {
            count -= 8;
            out += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return out;
}

struct SplitRow {
    const char* name;
    std::string run;
    std::string charset;
    std::vector<std::string> words; // the bytes of each encoded word, decoded
};

class EncodeWordRunSplitTest : public testing::TestWithParam<SplitRow> {};

// RFC 2047 6.3: a reader decodes every encoded word on its own, so none may end inside a
// character; base64 groups per word stay the upper bound (15 for GB2312, 14 for ISO-2022-JP).
TEST_P(EncodeWordRunSplitTest, EveryWordHoldsWholeCharacters) {
    const SplitRow& row = GetParam();
    const std::string prefix = "=?" + row.charset + "?B?";
    std::vector<std::string> decoded;
    for (const std::string& word : SplitWords(EncodeWordRun(row.run, 'B', row.charset, ""))) {
        EXPECT_LE(word.size(), MaxEncodedWordLength);
        ASSERT_TRUE(word.starts_with(prefix) && word.ends_with("?=")) << word;
        decoded.push_back(
            DecodeBase64(word.substr(prefix.size(), word.size() - prefix.size() - 2)));
    }
    EXPECT_EQ(decoded, row.words);
}

std::string Times(int n, const std::string& piece) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += piece;
    return out;
}

const std::string Zhong = "\xD6\xD0";  // one GB2312 character
const std::string Kan = "\x34\x41";    // one JIS X 0208 character
const std::string ToJis = "\x1B$B";    // into two-byte mode
const std::string ToAscii = "\x1B(B";  // back to ASCII
const std::string EAcute = "\xC3\xA9"; // one UTF-8 character

INSTANTIATE_TEST_SUITE_P(
    Charsets, EncodeWordRunSplitTest,
    testing::Values(
        // 15 groups would be 45 bytes: the word ends before the 23rd character instead.
        SplitRow{"Gb2312", Times(30, Zhong), "GB2312", {Times(22, Zhong), Times(8, Zhong)}},
        SplitRow{"Gb2312AfterOneAsciiByte",
                 "a" + Times(30, Zhong),
                 "GB2312",
                 {"a" + Times(22, Zhong), Times(8, Zhong)}},
        // 14 groups are 42 bytes: the escapes of both ends and 18 characters.
        SplitRow{"Iso2022JpWordsStartAndEndInAscii",
                 ToJis + Times(30, Kan) + ToAscii,
                 "ISO-2022-JP",
                 {ToJis + Times(18, Kan) + ToAscii, ToJis + Times(12, Kan) + ToAscii}},
        SplitRow{"Iso2022JpMixedWithAscii",
                 "ab" + ToJis + Times(20, Kan) + ToAscii + "cd",
                 "ISO-2022-JP",
                 {"ab" + ToJis + Times(17, Kan) + ToAscii, ToJis + Times(3, Kan) + ToAscii + "cd"}},
        SplitRow{"Utf8", Times(30, EAcute), "UTF-8", {Times(22, EAcute), Times(8, EAcute)}},
        SplitRow{"SingleByteCharsetUsesEveryGroup",
                 std::string(60, '\xE9'),
                 "ISO-8859-1",
                 {std::string(42, '\xE9'), std::string(18, '\xE9')}}),
    [](const auto& info) { return std::string(info.param.name); });

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
