#include "book/RtfWriter.h"

#include "tests/support/RtfReader.h"

#include <gtest/gtest.h>

namespace veldrano {
namespace {

using test::ReadRtf;

TEST(RtfWriter, ParagraphsReadBackAsTheSameLinesCentredBoldNinePoints) {
    const Lines lines = {"",
                         "",
                         "DIRECCI\xD3N y tel\xE9"
                         "fono",
                         std::string(122, '-'),
                         "<-inicio->",
                         "  two leading blanks",
                         "1 starts with a digit",
                         ""};
    auto doc = ReadRtf(WriteRtf(lines, RtfTextStyle{}));
    EXPECT_EQ(doc.texts(), lines);
    for (const auto& p : doc.paragraphs) {
        EXPECT_TRUE(p.bold) << p.text;
        EXPECT_TRUE(p.centred) << p.text;
        EXPECT_EQ(p.halfPoints, 18) << p.text;
    }
    EXPECT_EQ(doc.codePage, 1252);
    EXPECT_EQ(doc.fontName, "MS Sans Serif");
    EXPECT_TRUE(doc.swissFamily);
}

TEST(RtfWriter, OnlySevenBitBytesAndEscapesInTheFile) {
    const Lines lines = {"\xC1\xC9\xCD\xD3\xDA\xD1\xE1\xE9\xED\xF3\xFA\xF1\xFC\x80", "a\\b{c}d",
                         "tab\there", "\\par {\\b0 not bold}"};
    const std::string rtf = WriteRtf(lines, RtfTextStyle{});
    for (unsigned char c : rtf)
        ASSERT_LT(c, 0x80) << "raw byte above 0x7F in the RTF";
    EXPECT_NE(rtf.find("\\'c1\\'c9"), std::string::npos);
    // Text that looks like RTF must stay text, and formatting must not change.
    auto doc = ReadRtf(rtf);
    EXPECT_EQ(doc.texts(), lines);
    EXPECT_TRUE(doc.paragraphs.back().bold);
}

TEST(RtfWriter, DoubleByteCharactersKeepTheirTrailByte) {
    // Shift_JIS 0x95 0x5C has a backslash as trail byte: both bytes must be escaped as a
    // pair, or a reader sees a lead byte followed by an escaped backslash.
    RtfTextStyle style;
    style.codePage = 932;
    const Lines lines = {"\x95\x5C"
                         "a\\",
                         "\x83\x7B}"};
    const std::string rtf = WriteRtf(lines, style);
    EXPECT_NE(rtf.find("\\'95\\'5ca\\\\"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\'83\\'7b\\}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\fcharset128"), std::string::npos);
    auto doc = ReadRtf(rtf);
    EXPECT_EQ(doc.codePage, 932);
    EXPECT_EQ(doc.texts(), lines);
}

} // namespace
} // namespace veldrano
