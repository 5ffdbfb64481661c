#include <gtest/gtest.h>

#include <vector>

#include "mail/IdException.h"
#include "mail/IdHeaderList.h"

namespace {

using Lines = std::vector<std::string>;

Lines Put(const std::string& name, const std::string& value) {
    TIdHeaderList headers;
    headers.PutHeader(name, value);
    return headers.Lines();
}

std::string Words(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? " " : "") + std::string("palabra") + std::to_string(i % 10);
    return text;
}

TEST(PutHeaderTest, ShortLineStaysWhole) {
    const std::string value(78 - 9, 'x');
    EXPECT_EQ(Put("Subject", value), Lines{"Subject: " + value});
}

TEST(PutHeaderTest, LongLineFoldsAfterTheLastBlankBeforeColumn78) {
    const Lines lines = Put("Subject", Words(20)); // 188 characters with the name
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Subject: " + Words(7)); // 71 characters; one more word passes 78
    EXPECT_EQ(lines[1], " palabra7 palabra8 palabra9 palabra0 palabra1 palabra2 palabra3 palabra4");
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), 78u);
        EXPECT_NE(line.back(), ' ');
    }
    TIdHeaderList headers;
    headers.PutHeader("Subject", Words(20));
    EXPECT_EQ(headers.HeaderValue("subject"), Words(20));
}

TEST(PutHeaderTest, FoldsAfterCommasAndKeepsQuotedTextWhole) {
    // Breaks fall outside the quotes only: before the address (never right after "To:").
    const std::string quoted = "\"a\\\" " + Words(12) + "\"";
    EXPECT_EQ(Put("To", quoted + " <a@x.es>"), (Lines{"To: " + quoted, " <a@x.es>"}));
    std::string commas;
    for (int i = 0; i < 40; ++i)
        commas += "x,";
    EXPECT_EQ(Put("X-List", commas),
              (Lines{"X-List: " + commas.substr(0, 70), " " + commas.substr(70)}));
    const std::string unbroken(100, 'y');
    EXPECT_EQ(Put("X-Long", unbroken), (Lines{"X-Long: " + unbroken}));
}

// A reader keeps the blank of a fold right after the name as part of the value.
TEST(PutHeaderTest, OneFullEncodedWordStaysOnTheNamesLine) {
    const std::string word = "=?ISO-8859-1?Q?" + std::string(56, 'a') + "?="; // 73 characters
    EXPECT_EQ(Put("Subject", word), (Lines{"Subject: " + word}));
}

TEST(PutHeaderTest, EncoderSplitsAreTheFoldPoints) {
    const std::string a = "=?ISO-8859-1?Q?" + std::string(58, 'a') + "?=";
    const std::string b = "=?ISO-8859-1?Q?bb?=";
    EXPECT_EQ(Put("Subject", a + "\r\n\t" + b + " fin"),
              (Lines{"Subject: " + a, "\t" + b + " fin"}));
    EXPECT_EQ(Put("Subject", "corto\r\n\t" + b), (Lines{"Subject: corto", "\t" + b}));
}

TEST(PutHeaderTest, LineBreaksInAValueBecomeFoldsNeverNewHeaders) {
    TIdHeaderList headers;
    headers.PutHeader("Subject", "Hola\r\nBcc: intruso@x.es\rY\n\n  \r\nfin\r\n");
    EXPECT_EQ(headers.Lines(), (Lines{"Subject: Hola", " Bcc: intruso@x.es", " Y", " fin"}));
    EXPECT_EQ(headers.FindHeader("Bcc"), -1);
    EXPECT_EQ(headers.HeaderValue("Subject"), "Hola Bcc: intruso@x.es Y fin");
    headers.FoldLongLines = false;
    headers.PutHeader("Subject", "a\r\nb");
    EXPECT_EQ(headers.Lines(), (Lines{"Subject: a", " b"}));
}

TEST(PutHeaderTest, RefusesBadNamesAndRawLineBreaks) {
    TIdHeaderList headers;
    EXPECT_THROW(headers.PutHeader("Bcc: x\r\nTo", "v"), EIdException);
    EXPECT_THROW(headers.PutHeader("", "v"), EIdException);
    EXPECT_THROW(headers.Add("From: a\r\nBcc: b"), EIdException);
    EXPECT_EQ(headers.Count(), 0);
}

TEST(PutHeaderTest, ReplacesInPlaceAndRemovesWithContinuations) {
    TIdHeaderList headers;
    headers.Add("From: a@x.es");
    headers.PutHeader("Subject", Words(20));
    headers.Add("Date: hoy");
    headers.PutHeader("SUBJECT", "nuevo");
    EXPECT_EQ(headers.Lines(), (Lines{"From: a@x.es", "SUBJECT: nuevo", "Date: hoy"}));
    headers.PutHeader("Subject", Words(20));
    headers.PutHeader("subject", "");
    EXPECT_EQ(headers.Lines(), (Lines{"From: a@x.es", "Date: hoy"}));
    headers.PutHeader("Cc", "");
    EXPECT_EQ(headers.Count(), 2);
}

TEST(HeaderValueTest, FindsByNameBeforeTheColon) {
    TIdHeaderList headers;
    headers.Add("sin dos puntos");
    headers.Add("X-A:  uno ");
    headers.Add("   dos");
    headers.Add("");
    headers.Add(" tres");
    EXPECT_EQ(headers.FindHeader("sin dos puntos"), -1);
    EXPECT_EQ(headers.FindHeader("x-a"), 1);
    EXPECT_EQ(headers.HeaderValue("X-A"), "uno dos");
    EXPECT_EQ(headers.HeaderValue("X-B"), "");
    headers.JoinContinuations = false;
    EXPECT_EQ(headers.HeaderValue("X-A"), "uno");
    headers.RemoveContinuations(1);
    EXPECT_EQ(headers.Lines(), (Lines{"sin dos puntos", "X-A:  uno ", "", " tres"}));
}

TEST(WrapForFoldingTest, NeverBreaksAfterALeadByte) {
    // In code page 932 the byte after 0x81 belongs to its character, even a space.
    const std::string text = std::string(30, 'a') + "\x81 " + std::string(30, 'b');
    EXPECT_EQ(WrapForFolding(text, "\r\n ", " ", 40, 932), text);
    EXPECT_EQ(WrapForFolding(text, "\r\n ", " ", 40, 1252),
              std::string(30, 'a') + "\x81 \r\n " + std::string(30, 'b'));
}

} // namespace
