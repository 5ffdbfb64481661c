#include "book/BookFile.h"
#include "tests/support/BookText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace veldrano;

namespace {

Lines Options(const char* value = "YES") {
    Lines l{"[OPCIONES]"};
    for (int k = 0; k < kFieldCount; ++k)
        l.emplace_back(value);
    return l;
}

Lines WithRecordLines(Lines l, int count) {
    for (int i = 0; i < count; ++i)
        l.push_back("campo" + std::to_string(i));
    return l;
}

// The two-record example book: Ana Ruiz and Luis Gil, column Fax hidden.
std::string ExampleFile() {
    std::string s = "[OPCIONES]\r\n";
    for (int k = 1; k <= 11; ++k)
        s += k == 7 ? "NO\r\n" : "YES\r\n";
    s += "Ana Ruiz\r\n\r\n555 1234\r\n";
    for (int i = 15; i <= 22; ++i)
        s += "\r\n";
    s += "Luis Gil\r\n\r\n\r\n\r\n\r\n600 000 000\r\n\r\nTaller\r\n\r\n\r\n\r\n";
    return s;
}

std::vector<ContactRecord> AllOf(const BookStore& store) {
    std::vector<ContactRecord> records;
    for (size_t row = 0; row < store.size(); ++row)
        records.push_back(store.record(row));
    return records;
}

size_t Count(const Lines& lines) {
    return ParseBookFile(JoinLines(lines)).records.size();
}

} // namespace

TEST(BookFile, RecordCountMustBeWholeAndPositive) {
    EXPECT_THROW(Count(Options()), BookFormatError);                      // 12 lines
    EXPECT_EQ(Count(WithRecordLines(Options(), 11)), 1u);                 // 23
    EXPECT_THROW(Count(WithRecordLines(Options(), 12)), BookFormatError); // 24
    EXPECT_THROW(Count(WithRecordLines(Options(), 21)), BookFormatError); // 33
    EXPECT_EQ(Count(WithRecordLines(Options(), 22)), 2u);                 // 34
    EXPECT_THROW(Count(Lines{"[OPCIONES]", "YES"}), BookFormatError);
    EXPECT_THROW(Count(Lines{}), BookFormatError);
}

TEST(BookFile, OnlyExactYesShowsAColumnAndLineZeroIsNeverRead) {
    Lines l = WithRecordLines(Options(), 11);
    l[0] = "";
    l[1] = "yes";
    l[2] = "Yes";
    l[3] = "";
    l[4] = "YES ";
    const LoadedBook book = ParseBookFile(JoinLines(l));
    EXPECT_TRUE(book.hidden[0] && book.hidden[1] && book.hidden[2] && book.hidden[3]);
    for (int k = 4; k < kFieldCount; ++k)
        EXPECT_FALSE(book.hidden[k]) << k;
    EXPECT_EQ(book.records.field(0, 0), "campo0");
    EXPECT_EQ(book.records.field(0, 10), "campo10");
}

TEST(BookFile, TheExampleBookIsWrittenByteForByte) {
    std::array<int, kFieldCount> columns{};
    columns[FieldIndex(Field::fax)] = -1;
    ContactRecord ana{}, luis{};
    ana[0] = "Ana Ruiz";
    ana[2] = "555 1234";
    luis[0] = "Luis Gil";
    luis[5] = "600 000 000";
    luis[7] = "Taller";
    EXPECT_EQ(test::BookText(columns, {ana, luis}), ExampleFile());
    BookStore store;
    store.insert(0, ana);
    store.insert(1, luis);
    test::TempDir dir;
    WriteBookFile(dir.file("a.kbx").string(), columns, store);
    EXPECT_EQ(test::ReadFileBytes(dir.file("a.kbx")), ExampleFile());

    const LoadedBook back = ParseBookFile(ExampleFile());
    EXPECT_TRUE(back.hidden[FieldIndex(Field::fax)]);
    EXPECT_EQ(AllOf(back.records), (std::vector<ContactRecord>{ana, luis}));
}

TEST(BookFile, LfAndCrLineEndsLoadLikeCrLf) {
    std::string crlf = ExampleFile();
    std::string lf, cr;
    for (size_t i = 0; i < crlf.size(); ++i) {
        if (crlf[i] == '\r')
            continue;
        lf += crlf[i];
        cr += crlf[i] == '\n' ? '\r' : crlf[i];
    }
    EXPECT_EQ(AllOf(ParseBookFile(lf).records), AllOf(ParseBookFile(crlf).records));
    EXPECT_EQ(AllOf(ParseBookFile(cr).records), AllOf(ParseBookFile(crlf).records));
}

TEST(BookFile, EveryByteButNulCrAndLfSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all += static_cast<char>(b);
    ContactRecord r{};
    for (int f = 0; f < kFieldCount; ++f)
        r[f] = all.substr(static_cast<size_t>(f) * 20, 40);
    std::array<int, kFieldCount> columns{};
    columns[3] = -1;
    const std::string file = test::BookText(columns, {r, r});
    EXPECT_EQ(AllOf(ParseBookFile(file).records), (std::vector<ContactRecord>{r, r}));

    // A line break or NUL in a field would add a line: it is written as a space.
    ContactRecord broken = r;
    broken[0] = std::string("a\r\nb\0c\rd\ne", 10);
    const LoadedBook back = ParseBookFile(test::BookText({}, {broken}));
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records.field(0, 0), "a  b c d e");
}

// The record-by-record reader used by conversions accepts exactly the files the window's
// reader does and gives the same records.
TEST(ForEachBookRecord, AgreesWithTheWindowsReader) {
    std::vector<std::string> files = {"", ExampleFile(), ExampleFile() + "extra\r\n",
                                      ExampleFile().substr(0, ExampleFile().size() - 2)};
    for (int count : {0, 11, 12, 21, 22})
        files.push_back(JoinLines(WithRecordLines(Options(), count)));
    std::string lf = JoinLines(WithRecordLines(Options("no"), 22));
    for (char& c : lf)
        c = c == '\r' ? '\n' : c;
    files.push_back(lf); // "\n\n" line ends: twice as many lines
    files.push_back(JoinLines(WithRecordLines(Options(), 11)) + std::string("\0tail\r\n", 7));
    for (const std::string& file : files) {
        std::vector<ContactRecord> records, loaded;
        std::vector<size_t> starts;
        bool parsed = true, streamed = true;
        try {
            loaded = AllOf(ParseBookFile(file).records);
        } catch (const BookFormatError&) {
            parsed = false;
        }
        try {
            ForEachBookRecord(file, [&](const ContactRecord& r, size_t line) {
                records.push_back(r);
                starts.push_back(line);
            });
        } catch (const BookFormatError&) {
            streamed = false;
        }
        ASSERT_EQ(parsed, streamed) << file;
        if (parsed) {
            EXPECT_EQ(records, loaded) << file;
            EXPECT_EQ(starts.back(), 13 + 11 * (records.size() - 1)) << file;
        }
    }
}
