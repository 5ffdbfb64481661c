#include "book/Search.h"

#include <gtest/gtest.h>
#include <vector>

using namespace veldrano;

TEST(NameMatches, WholeNamesByteForByteOrWithAsciiUpperCasing) {
    struct Row {
        const char *name, *text;
        bool caseSensitive, matches;
    } rows[] = {
        {"Ana", "Ana", true, true},
        {"ana", "Ana", true, false},
        {"ana", "ANA", false, true},
        {"JOS\xC9", "jos\xE9", false, false}, // é is not folded
        {"JOSE", "jose", false, true},
        {"Juan P\xE9rez", "Juan", true, false}, // no prefix match
        {"", "", true, true},
        {"Ana ", "Ana", false, false},    // no trimming
        {"\xF1u", "\xD1U", false, false}, // nor is ñ
    };
    for (const Row& r : rows)
        EXPECT_EQ(NameMatches(r.name, {r.text, r.caseSensitive}), r.matches)
            << r.name << " / " << r.text << " / " << r.caseSensitive;
}

// Find-first, then find-next pressed until it stops, over one list: the rows each press
// selects and where the search stands afterwards.
TEST(FindNext, GoesOnAfterTheLastMatchAndStopsAtTheLastRow) {
    struct Row {
        const char* name;
        std::vector<std::string> list;
        std::vector<int> selections; // find-first, then each find-next (-1: none)
    } rows[] = {
        {"matches spread out", {"x", "Eva", "y", "eva", "z", "EVA"}, {1, 3, 5}},
        {"the last row does not match", {"Eva", "Eva", "x"}, {0, 1, -1}},
        {"a single match", {"x", "Eva", "y"}, {1, -1}},
        {"a single match on the last row", {"x", "Eva"}, {1, -1}},
        {"no match", {"x", "y"}, {-1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SearchQuery query{"eva", false};
        const RowName name = [&](int r) {
            return std::string_view(row.list[static_cast<size_t>(r)]);
        };
        const int count = static_cast<int>(row.list.size());
        const int first = FindFirst(count, name, query);
        ASSERT_EQ(first, row.selections[0]);
        if (first == -1)
            continue;
        SearchPosition position{first, true};
        for (size_t press = 1; press < row.selections.size(); ++press) {
            const int before = position.PosBusqueda;
            const FindNextStep step = FindNext(count, name, query, position);
            EXPECT_EQ(step.deselect, before);
            EXPECT_EQ(step.select, row.selections[press]) << "press " << press;
            const bool last = press + 1 == row.selections.size();
            EXPECT_EQ(step.finished, last) << "press " << press;
            EXPECT_EQ(position.PosBusqueda, last ? 0 : step.select);
            EXPECT_EQ(position.SeguirBuscando, last);
        }
    }
}
