#include "book/BookFile.h"
#include "book/BookStore.h"
#include "tests/support/BookText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

using namespace veldrano;

namespace {

// A book as users write them: Spanish names, equal ones, accented ones, names that differ
// only in case, empty fields and full ones, in no particular order.
std::vector<ContactRecord> MixedBook(size_t count, unsigned seed) {
    const char* given[] = {"Ana",
                           "ana",
                           "\xC1ngel",
                           "Mar\xED"
                           "a",
                           "Jos\xE9",
                           "JOSE",
                           "\xD1"
                           "ando",
                           "Luc\xED"
                           "a",
                           "In\xE9s",
                           "",
                           " ",
                           "Zo\xEB"};
    const char* family[] = {"Garc\xED"
                            "a",
                            "P\xE9rez",
                            "Mu\xF1oz",
                            "ruiz",
                            "Ruiz",
                            "\xC1lvarez"};
    std::mt19937 random(seed);
    std::vector<ContactRecord> book(count);
    for (auto& record : book) {
        record[0] = std::string(given[random() % std::size(given)]) + " " +
                    family[random() % std::size(family)];
        for (int f = 1; f < kFieldCount; ++f)
            if (random() % 3 == 0)
                record[f] = "campo " + std::to_string(f) + " \x80\xE1\xF1 " +
                            std::string(random() % 40, 'x');
    }
    return book;
}

std::vector<ContactRecord> AllOf(const BookStore& store) {
    std::vector<ContactRecord> all;
    for (size_t row = 0; row < store.size(); ++row)
        all.push_back(store.record(row));
    return all;
}

// What saving `store` writes.
std::string Saved(const std::array<int, kFieldCount>& columns, const BookStore& store) {
    test::TempDir dir;
    WriteBookFile(dir.file("libro.kbx").string(), columns, store);
    return test::ReadFileBytes(dir.file("libro.kbx"));
}

} // namespace

// Reading a book into the store and saving it gives back the file's bytes, for any columns
// and any records, whatever the line ends it was read with.
TEST(BookStore, LoadAndSaveGiveBackTheFileByteForByte) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::array<int, kFieldCount> columns{};
        columns[seed % kFieldCount] = -1;
        std::array<bool, kFieldCount> hidden{};
        hidden[seed % kFieldCount] = true;
        std::vector<ContactRecord> book = MixedBook(500 * seed, seed);
        // Lines about as long as a record read from a file holds in its short form.
        book[seed][seed + 1] = std::string(65535 + seed - 2, 'l');
        const std::string bytes = test::BookText(columns, book);
        // The loader also takes LF and CR line ends, mixed within a record, and stops at a NUL.
        std::string unix = bytes, mac = bytes, mixed;
        std::erase(unix, '\r');
        std::erase(mac, '\n');
        const char* const ends[] = {"\r\n", "\n", "\r"}; // a CR is followed by a CR LF line
        size_t line = 0;
        for (std::string_view rest = bytes; !rest.empty();) {
            const size_t end = rest.find("\r\n");
            mixed.append(rest.substr(0, end)) += ends[line++ % std::size(ends)];
            rest.remove_prefix(end + 2);
        }
        for (const std::string& file :
             {bytes, unix, mac, mixed, bytes + std::string("\0tail\r\n", 7)}) {
            const LoadedBook loaded = ParseBookFile(file);
            EXPECT_EQ(loaded.hidden, hidden);
            EXPECT_EQ(AllOf(loaded.records), book);
            EXPECT_EQ(Saved(columns, loaded.records), bytes);
        }
    }
}

TEST(BookStore, MalformedFilesAreRefused) {
    auto lines = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "linea\r\n";
        return text;
    };
    for (const std::string& file : {std::string(), lines(11), lines(12), lines(24), lines(33),
                                    std::string("\0", 1) + lines(23)}) {
        EXPECT_THROW(ParseBookFile(file), BookFormatError);
    }
    EXPECT_EQ(ParseBookFile(lines(22) + "sin fin").records.size(), 1u);
}

// Every edit of the store against the same edit on a plain vector of records.
TEST(BookStore, EditsActLikeTheSameEditsOnAListOfRecords) {
    const std::vector<ContactRecord> start = MixedBook(200, 7);
    LoadedBook loaded = ParseBookFile(test::BookText({}, start));
    BookStore& store = loaded.records;
    std::vector<ContactRecord> expected = start;
    std::mt19937 random(11);
    auto any = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (int step = 0; step < 2000; ++step) {
        const ContactRecord fresh = MixedBook(1, static_cast<unsigned>(step))[0];
        switch (random() % 6) {
        case 0: {
            const size_t row = any(expected.size() + 1);
            store.insert(row, fresh);
            expected.insert(expected.begin() + static_cast<long>(row), fresh);
            break;
        }
        case 1: {
            const size_t row = any(expected.size());
            store.replace(row, fresh);
            expected[row] = fresh;
            break;
        }
        case 2: {
            const size_t from = any(expected.size()), to = any(expected.size());
            store.move(from, to);
            ContactRecord moving = expected[from];
            expected.erase(expected.begin() + static_cast<long>(from));
            expected.insert(expected.begin() + static_cast<long>(to), moving);
            break;
        }
        case 3:
            if (expected.size() > 20) {
                const size_t first = any(expected.size() - 3), count = 1 + any(3);
                store.erase(first, count);
                expected.erase(expected.begin() + static_cast<long>(first),
                               expected.begin() + static_cast<long>(first + count));
            }
            break;
        case 4: {
            std::vector<size_t> positions{any(expected.size() + 1), any(expected.size() + 1)};
            std::sort(positions.begin(), positions.end());
            const std::vector<ContactRecord> two{fresh, MixedBook(1, 99)[0]};
            store.insertAt(positions, two);
            expected.insert(expected.begin() + static_cast<long>(positions[1]), two[1]);
            expected.insert(expected.begin() + static_cast<long>(positions[0]), two[0]);
            break;
        }
        case 5: {
            std::vector<uint32_t> order(expected.size());
            std::iota(order.begin(), order.end(), 0u);
            std::shuffle(order.begin(), order.end(), random);
            store.reorder(order);
            std::vector<ContactRecord> reordered;
            for (uint32_t i : order)
                reordered.push_back(expected[i]);
            expected = reordered;
            break;
        }
        }
        ASSERT_EQ(store.size(), expected.size()) << "step " << step;
    }
    EXPECT_EQ(AllOf(store), expected);
    EXPECT_EQ(Saved({}, store), test::BookText({}, expected));
}

TEST(BookStore, ALineBreakOrNulInAFieldNeverReachesTheFile) {
    BookStore store;
    ContactRecord record{};
    record[0] = "Linea1\r\nLinea2";
    record[1] = std::string("a\0b", 3);
    record[2] = "x\ry\nz";
    store.insert(0, record);
    const std::string bytes = Saved({}, store);
    EXPECT_EQ(bytes, test::BookText({}, {record}));
    const LoadedBook back = ParseBookFile(bytes);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records.name(0), "Linea1  Linea2");
    EXPECT_EQ(back.records.field(0, 1), "a b");
    EXPECT_EQ(back.records.field(0, 2), "x y z");
}

// A clip is what the rows held when it was taken, whatever happens to the store after:
// edits, removals, the store itself replaced; rows from the file and edited rows alike. Pasted
// into any store, it gives those records.
TEST(BookStore, AClipKeepsTheRecordsAsTheyWereWhenCopied) {
    const std::vector<ContactRecord> start = MixedBook(300, 5);
    std::string unix = test::BookText({}, start);
    std::erase(unix, '\r'); // rows that cannot be copied as the file's bytes
    for (const std::string& file : {test::BookText({}, start), unix}) {
        auto loaded = std::make_unique<LoadedBook>(ParseBookFile(file));
        BookStore& store = loaded->records;
        ContactRecord fresh{};
        fresh[0] = "Nuevo";
        fresh[3] = "nuevo@example.org";
        store.replace(7, fresh);
        store.insert(0, fresh);
        const std::vector<int> rows{0, 1, 8, 299, 300, 8};
        std::vector<ContactRecord> expected;
        for (int row : rows)
            expected.push_back(store.record(static_cast<size_t>(row)));
        const BookClip clip = store.clip(rows);

        ContactRecord other{};
        other[0] = "Otro";
        store.replace(1, other);
        store.replace(8, other);
        store.erase(0, 5);
        // Pasted back into the same book, then into a new one and one read from another file.
        BookStore empty;
        LoadedBook another = ParseBookFile(test::BookText({}, MixedBook(3, 9)));
        for (BookStore* into : {&store, &empty, &another.records}) {
            const size_t at = into->size();
            into->append(clip);
            ASSERT_EQ(into->size(), at + rows.size());
            for (size_t i = 0; i < rows.size(); ++i)
                EXPECT_EQ(into->record(at + i), expected[i]) << i;
        }
        EXPECT_EQ(Saved({}, empty), test::BookText({}, expected));
        loaded.reset(); // the book is closed: the clip keeps what it needs
        ASSERT_EQ(clip.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(clip.record(i), expected[i]) << i;
    }
}
