#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "mail/IdEMailAddress.h"

namespace {

const THeaderEncoding Western{TTransfer::bit8, 'Q', "ISO-8859-1"};

struct ParseRow {
    const char* name;
    std::string text;
    std::string expectedName;
    std::string expectedAddress;
};

class SetTextTest : public testing::TestWithParam<ParseRow> {};

TEST_P(SetTextTest, SplitsNameAndAddress) {
    TIdEMailAddressItem item;
    item.Name = "old";
    item.SetText(GetParam().text);
    EXPECT_EQ(item.Name, GetParam().expectedName);
    EXPECT_EQ(item.Address, GetParam().expectedAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetTextTest,
    testing::Values(
        ParseRow{"BareAddress", "  juan@example.com ", "", "juan@example.com"},
        ParseRow{"NameAndAngle", "Juan P\xE9rez <juan@example.com>", "Juan P\xE9rez",
                 "juan@example.com"},
        ParseRow{"QuotedName", "\"P\xE9rez, Juan\"  <juan@mail.example.com>", "P\xE9rez, Juan",
                 "juan@mail.example.com"},
        ParseRow{"EscapeInQuotes", "\"a\\\"b\" <x@y.es>", "a\"b", "x@y.es"},
        ParseRow{"CommentDropped", "juan@example.com (trabajo)", "", "juan@example.com"},
        ParseRow{"AngleOnly", "<juan@example.com>", "", "juan@example.com"},
        ParseRow{"WordsWithoutAt", "Juan P\xE9rez L\xF3pez", "Juan P\xE9rez ", ""},
        ParseRow{"OneWord", "juan", "", "juan"}, ParseRow{"Empty", " \t", "", ""},
        // A quote inside a word: the characters in front of it are kept with the quoted text.
        ParseRow{"QuoteAfterLetters", "ab\"cd\" <x@y.es>", "abcd", "x@y.es"},
        ParseRow{"QuoteAfterLettersInAngle", "N <jo\"hn\"@y.es>", "N", "john@y.es"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetTextTest, AtSignAfterAngleAddressIsAnError) {
    TIdEMailAddressItem item;
    try {
        item.SetText("<a@b.es> c@d.es");
        FAIL() << "no exception";
    } catch (const EIdEmailParseError& e) {
        EXPECT_STREQ(e.what(), "@ Outside address");
    }
}

struct FormatRow {
    const char* name;
    std::string itemName;
    std::string address;
    std::string text;   // reading Text
    std::string header; // FormatAddressForHeader
};

class FormatTest : public testing::TestWithParam<FormatRow> {};

TEST_P(FormatTest, FormatsTextAndHeader) {
    TIdEMailAddressItem item;
    item.Name = GetParam().itemName;
    item.Address = GetParam().address;
    EXPECT_EQ(item.Text(), GetParam().text);
    EXPECT_EQ(FormatAddressForHeader(item, Western), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatTest,
    testing::Values(FormatRow{"Bare", "", "a@x.es", "a@x.es", "a@x.es"},
                    FormatRow{"AtomName", "Juan Luis", "a@x.es", "Juan Luis <a@x.es>",
                              "\"Juan Luis\" <a@x.es>"},
                    FormatRow{"QuoteAndBackslash", "a\"b\\c", "a@x.es", "\"a\\\"b\\\\c\" <a@x.es>",
                              "\"a\\\"b\\\\c\" <a@x.es>"},
                    FormatRow{"EncodedName",
                              "Pe\xF1"
                              "a, Juan",
                              "a@x.es",
                              "\"Pe\xF1"
                              "a, Juan\" <a@x.es>",
                              "=?ISO-8859-1?Q?Pe=F1a=2C?= Juan <a@x.es>"},
                    FormatRow{"QuotedLocalPart", "", "juan p\"x@x.es", "<\"juan p\\\"x\"@x.es>",
                              "juan p\"x@x.es"},
                    FormatRow{"DotFirstNotQuoted", "", "juan.p erez@x.es", "juan.p erez@x.es",
                              "juan.p erez@x.es"},
                    FormatRow{"NameWithoutAddress", "Juan", "", "Juan <>", "\"Juan\" <>"},
                    FormatRow{"AddressWithoutAt", "", "juan", "", "juan"},
                    FormatRow{"NameIsUpperAddress", "A@X.ES", "a@x.es", "<a@x.es>",
                              "\"A@X.ES\" <a@x.es>"}),
    [](const auto& info) { return std::string(info.param.name); });

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Parsed(const std::string& text) {
    TIdEMailAddressList list;
    ParseAddressList(list, text);
    Pairs pairs;
    for (int i = 0; i < list.Count(); ++i)
        pairs.emplace_back(list[i].Name, list[i].Address);
    return pairs;
}

TEST(ParseAddressListTest, SplitsAtCommasOutsideQuotesAndComments) {
    EXPECT_EQ(Parsed("a@x.es, b@y.es,c@z.es"),
              (Pairs{{"", "a@x.es"}, {"", "b@y.es"}, {"", "c@z.es"}}));
    EXPECT_EQ(Parsed("\"P\xE9rez, Juan\" <j@x.es>, b@y.es (yo, aqu\xED)"),
              (Pairs{{"P\xE9rez, Juan", "j@x.es"}, {"", "b@y.es"}}));
}

TEST(ParseAddressListTest, GroupsGiveTheirMembers) {
    EXPECT_EQ(Parsed("Amigos: a@x.es, Ana <b@y.es>;"), (Pairs{{"", "a@x.es"}, {"Ana", "b@y.es"}}));
}

TEST(ParseAddressListTest, KeepsOrDropsAddressesWithoutAt) {
    EXPECT_EQ(Parsed("juan"), (Pairs{{"", "juan"}}));
    EXPECT_EQ(Parsed("juan , b@y.es"), (Pairs{{"", "b@y.es"}}));
    EXPECT_EQ(Parsed("Juan P\xE9rez"), (Pairs{{"Juan ", ""}}));
    EXPECT_EQ(Parsed("  "), Pairs{});
    EXPECT_EQ(Parsed(", ,"), Pairs{});
}

TEST(ParseAddressListTest, ErrorKeepsTheItemsParsedSoFar) {
    TIdEMailAddressList list;
    list.Add().Address = "stale@x.es";
    EXPECT_THROW(ParseAddressList(list, "a@x.es, <b@y.es> c@z.es, d@w.es"), EIdEmailParseError);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Address, "a@x.es");
    EXPECT_EQ(list[1].Address, "b@y.es");
}

TEST(FormatAddressListTest, JoinsHeaderTexts) {
    TIdEMailAddressList list;
    EXPECT_EQ(FormatAddressListForHeader(list, Western), "");
    ParseAddressList(list, "a@x.es, Ana <b@y.es>, Mar\xEDn <c@z.es>");
    EXPECT_EQ(FormatAddressListForHeader(list, Western),
              "a@x.es, \"Ana\" <b@y.es>, =?ISO-8859-1?Q?Mar=EDn?= <c@z.es>");
}

} // namespace
