#include "book/BookFile.h"
#include "tests/support/BookText.h"
#include "interchange/Conversion.h"
#include "interchange/Interchange.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

using namespace veldrano;
using veldrano::test::TempDir;

namespace {

// A book in Windows-1252 whose fields hold everything vCard and CSV must escape or quote,
// long values that fold, empty fields and records, duplicates, and no name order.
std::string GeneratedBook(size_t count) {
    const std::string pieces[] = {"Mu\xF1oz", "\xC1ngel",       "a,b",         "c;d",
                                  "e\\f",     "\"q\"",          "g:h",         " lead",
                                  "trail ",   "\x80 \x93x\x94", "\xBFQu\xE9?", "=3D",
                                  "tel:",     "BEGIN:VCARD",    "a@b.example", "ORG;x"};
    std::mt19937 rng(16);
    std::vector<ContactRecord> records(count);
    for (auto& r : records)
        for (auto& field : r) {
            const int parts = static_cast<int>(rng() % 4);
            for (int p = 0; p < parts; ++p)
                field += pieces[rng() % std::size(pieces)];
            if (rng() % 17 == 0)
                field += std::string(90, 'x');
        }
    records.push_back(ContactRecord{});
    records.push_back(records.front());
    return test::BookText({}, records);
}

// The first line where two texts part, so a failure reads as one line, not two whole files.
std::string FirstDifference(const std::string& a, const std::string& b) {
    const Lines la = SplitLines(a), lb = SplitLines(b);
    for (size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
        const std::string x = i < la.size() ? la[i] : "(end)", y = i < lb.size() ? lb[i] : "(end)";
        if (x != y)
            return "line " + std::to_string(i + 1) + ": [" + x + "] became [" + y + "]";
    }
    return a == b ? "" : "line ends differ";
}

ConversionResult Convert(const TempDir& dir, const std::string& in, const std::string& out,
                         bool lossy = false) {
    ConversionOptions options;
    options.lossy = lossy;
    return ConvertContacts(dir.file(in), *FormatOfPath(in), dir.file(out), *FormatOfPath(out),
                           options);
}

} // namespace

TEST(Conversion, BookThroughVCardAndCsvComesBackByteForByte) {
    TempDir dir;
    const std::string book = GeneratedBook(300);
    test::WriteFileBytes(dir.file("a.kbx"), book);
    for (const char* middle : {"b.vcf", "b.csv"}) {
        EXPECT_EQ(Convert(dir, "a.kbx", middle).contacts, 302u) << middle;
        Convert(dir, middle, "c.kbx");
        EXPECT_EQ(FirstDifference(book, test::ReadFileBytes(dir.file("c.kbx"))), "") << middle;
    }
    Convert(dir, "b.vcf", "d.csv"); // the two other formats convert into each other alike
    EXPECT_EQ(FirstDifference(test::ReadFileBytes(dir.file("b.csv")),
                              test::ReadFileBytes(dir.file("d.csv"))),
              "");
}

TEST(Conversion, ACharacterTheCodePageLacksStopsItOrBecomesAQuestionMark) {
    TempDir dir;
    test::WriteFileBytes(dir.file("in.vcf"),
                         "BEGIN:VCARD\r\nFN:Ana\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nFN:Bo\r\nORG:\xD0\x96uk \xE6\x97\xA5\r\nEND:VCARD\r\n");
    test::WriteFileBytes(dir.file("out.kbx"), "old");
    try {
        Convert(dir, "in.vcf", "out.kbx");
        ADD_FAILURE() << "converted";
    } catch (const InterchangeError& e) {
        EXPECT_EQ(e.line(), 4u);
        const std::string what = e.what();
        for (const char* part : {"contacto 2", "Bo", "Organizaci\xC3\xB3n", "\xD0\x96", "U+0416"})
            EXPECT_NE(what.find(part), std::string::npos) << what << " lacks " << part;
    }
    EXPECT_EQ(test::ReadFileBytes(dir.file("out.kbx")), "old"); // nothing written

    EXPECT_EQ(Convert(dir, "in.vcf", "out.kbx", true).replaced, 2u);
    EXPECT_EQ(ReadBookFile(dir.file("out.kbx")).records.field(1, 7), "?uk ?");
}

TEST(Conversion, EmptyInputAndUnknownExtensions) {
    TempDir dir;
    test::WriteFileBytes(dir.file("empty.vcf"), "\r\n");
    EXPECT_THROW(Convert(dir, "empty.vcf", "out.csv"), InterchangeError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.csv")));
    EXPECT_EQ(FormatOfPath("x/LIBRO.KBX"), ContactFormat::Book);
    EXPECT_EQ(FormatOfPath("x.txt"), std::nullopt);
    EXPECT_EQ(FormatOfPath("dir.vcf/file"), std::nullopt);
}
