#include "text/CodePage.h"
#include "mail/IdBodyText.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        out.push_back(text.substr(start, p - start));
    out.push_back(text.substr(start));
    return out;
}

std::string Without(std::string text, const std::string& what) {
    for (size_t p; (p = text.find(what)) != std::string::npos;)
        text.erase(p, what.size());
    return text;
}

} // namespace

TEST(BreakLongBodyLines, KeepsTheUsersLinesAndJoinsThemWithCrLf) {
    EXPECT_EQ(BreakLongBodyLines("uno\ndos\r\ntres\rcuatro"), "uno\r\ndos\r\ntres\r\ncuatro");
    EXPECT_EQ(BreakLongBodyLines("a\n\nb\n"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(BreakLongBodyLines(""), "");
    std::string exact(998, 'x');
    EXPECT_EQ(BreakLongBodyLines(exact), exact);
}

TEST(BreakLongBodyLines, BreaksALongLineAfterItsLastSpaceWithinTheLimit) {
    std::string words;
    while (words.size() < 3000)
        words += "palabra" + std::to_string(words.size()) + " ";
    std::string out = BreakLongBodyLines(words);
    std::vector<std::string> lines = Lines(out);
    EXPECT_GE(lines.size(), 4u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 998u);
        if (i + 1 < lines.size()) {
            EXPECT_EQ(lines[i].back(), ' ');
        }
    }
    EXPECT_EQ(Without(out, "\r\n"), words); // nothing lost, nothing added
}

TEST(BreakLongBodyLines, CutsARunWithoutSpacesAtTheLimitButNeverInsideATwoByteCharacter) {
    std::string run(2500, 'z');
    std::vector<std::string> lines = Lines(BreakLongBodyLines(run));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 998u);
    EXPECT_EQ(lines[2].size(), 2500u - 2 * 998u);

    veldrano::SetCurrentLocale(veldrano::LocaleFromName("ja_JP.UTF-8"));
    std::string kanji = "a";
    for (int i = 0; i < 600; ++i)
        kanji += "\x88\xA0"; // one two-byte character each
    std::vector<std::string> jp = Lines(BreakLongBodyLines(kanji, 10));
    veldrano::SetCurrentLocale(veldrano::LocaleFromName("es_ES.UTF-8"));
    EXPECT_EQ(jp[0], "a\x88\xA0\x88\xA0\x88\xA0\x88\xA0"); // 9 bytes: the 10th would split one
    for (size_t i = 1; i < jp.size(); ++i)
        EXPECT_EQ(jp[i].size() % 2, 0u);
}
