#include "text/Charset.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <optional>
#include <vector>

using namespace veldrano;

// Both directions for each code page of the program, with a character only that page holds.
TEST(Charset, CodePagesRoundTripThroughUtf8) {
    struct Row {
        int codePage;
        std::string bytes, utf8;
    } rows[] = {
        {1252, "Mu\xF1oz \x80 \x93x\x94", "Mu\xC3\xB1oz \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D"},
        {932, "\x93\xFA\x96\x7B \xB1",
         "\xE6\x97\xA5\xE6\x9C\xAC \xEF\xBD\xB1"}, // 日本, half-width ア
        {932, "\x5C", "\x5C"},                     // Windows' 932 keeps the backslash a backslash
        {936, "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {949, "\xC7\xD1\xB1\xDB", "\xED\x95\x9C\xEA\xB8\x80"},
        {950, "\xA4\xA4\xA4\xE5", "\xE4\xB8\xAD\xE6\x96\x87"},
        {1252, "plain ASCII, no iconv", "plain ASCII, no iconv"},
        {1252, "", ""},
    };
    for (const Row& r : rows) {
        Charset cs = Charset::ForCodePage(r.codePage);
        EXPECT_EQ(cs.ToUtf8(r.bytes), r.utf8) << r.codePage;
        EXPECT_EQ(cs.FromUtf8(r.utf8), r.bytes) << r.codePage;
    }
}

// A strict conversion names the character and stops; a lossy one writes "?" and counts.
TEST(Charset, NothingIsReplacedSilently) {
    struct Row {
        int codePage;
        bool fromUtf8;
        std::string in, lossy, character;
        long codePoint;
        size_t count;
    } rows[] = {
        {1252, true, "A\xD0\x96 \xE6\x97\xA5!", "A? ?!", "\xD0\x96", 0x416, 2},  // Ж, 日
        {1252, true, "x\xF0\x9F\x98\x80", "x?", "\xF0\x9F\x98\x80", 0x1F600, 1}, // emoji
        {1252, true, "bad \xC3( utf", "bad ?( utf", "\xC3", -1, 1},              // not UTF-8
        {1252, false, "a\x81z", "a?z", "\x81", -1, 1}, // 0x81 is no character of 1252
        {932, false, "\x93\xFA\x93", "\xE6\x97\xA5?", "\x93", -1, 1}, // lead byte cut off
        {932, true, "\xC3\xB1", "?", "\xC3\xB1", 0xF1, 1},            // ñ is not in 932
    };
    for (const Row& r : rows) {
        Charset cs = Charset::ForCodePage(r.codePage);
        auto convert = [&](size_t* replaced) {
            return r.fromUtf8 ? cs.FromUtf8(r.in, replaced) : cs.ToUtf8(r.in, replaced);
        };
        try {
            convert(nullptr);
            ADD_FAILURE() << "no error for " << r.in;
        } catch (const CharsetError& e) {
            EXPECT_EQ(e.character(), r.character) << r.in;
            EXPECT_EQ(e.codePoint(), r.codePoint) << r.in;
        }
        size_t replaced = 0;
        std::string lossy = convert(&replaced);
        if (r.fromUtf8)
            lossy = Charset::ForCodePage(r.codePage).ToUtf8(lossy);
        EXPECT_EQ(lossy, r.lossy) << r.in;
        EXPECT_EQ(replaced, r.count) << r.in;
    }
}

TEST(Charset, OtherSetsByNameAndUnknownNames) {
    Charset latin1("ISO-8859-1");
    EXPECT_EQ(latin1.ToUtf8("Espa\xF1"
                            "a"),
              "Espa\xC3\xB1"
              "a");
    Charset utf16("UTF-16LE"); // not ASCII-compatible: must not take the plain-ASCII shortcut
    EXPECT_EQ(utf16.ToUtf8(std::string("A\0B\0", 4)), "AB");
    EXPECT_THROW(Charset("NO-SUCH-CHARSET"), std::invalid_argument);
}

TEST(Charset, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"));
    const std::string ascii = "eight or more plain bytes ";
    EXPECT_TRUE(IsValidUtf8(ascii + "\xC3\xB1" + ascii));
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
        EXPECT_FALSE(IsValidUtf8(ascii + bad + ascii)) << bad; // past a run read word by word
    }
}

namespace {

// What iconv itself makes of `in`, or nullopt where it stops.
std::optional<std::string> ByIconv(const char* to, const char* from, const std::string& in) {
    iconv_t cd = ::iconv_open(to, from);
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    char* dst = out.data();
    size_t srcLeft = in.size(), dstLeft = out.size();
    const size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

} // namespace

// Western text is carried without iconv; it must come out exactly as iconv would carry it,
// and whatever iconv refuses must still be refused. Every character up to U+02FF and every
// byte, alone and amid text long enough to be read word by word, and broken UTF-8.
TEST(Charset, WesternTextComesOutAsIconvMakesIt) {
    std::vector<std::string> utf8, bytes;
    const std::string ascii = "Calle Mayor 12, ";
    for (int c = 1; c < 0x300; ++c) {
        const std::string one = c < 0x80 ? std::string(1, static_cast<char>(c))
                                         : std::string{static_cast<char>(0xC0 | (c >> 6)),
                                                       static_cast<char>(0x80 | (c & 0x3F))};
        utf8.insert(utf8.end(), {one, ascii + one + ascii + one});
    }
    for (int b = 1; b < 0x100; ++b)
        bytes.insert(bytes.end(),
                     {std::string(1, static_cast<char>(b)), ascii + static_cast<char>(b) + ascii});
    for (const char* broken :
         {"\xC3", "x\xC3", "\xC3\xC3\xB1", "\xC2\x41", "\xC0\x80", "\xC3\xB1\xBF"})
        utf8.insert(utf8.end(), {broken, ascii + broken});
    for (const char* page : {"CP1252", "ISO-8859-1", "ISO-8859-15"}) {
        Charset cs(page);
        for (const std::string& in : utf8) {
            const auto expected = ByIconv(page, "UTF-8", in);
            if (expected)
                EXPECT_EQ(cs.FromUtf8(in), *expected) << page << " " << in;
            else
                EXPECT_THROW(cs.FromUtf8(in), CharsetError) << page << " " << in;
        }
        for (const std::string& in : bytes) {
            const auto expected = ByIconv("UTF-8", page, in);
            if (expected)
                EXPECT_EQ(cs.ToUtf8(in), *expected) << page << " " << in;
            else
                EXPECT_THROW(cs.ToUtf8(in), CharsetError) << page << " " << in;
        }
    }
}
