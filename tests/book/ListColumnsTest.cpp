#include "book/ListColumns.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace veldrano;

namespace {
int Sum(const ListColumns& c) {
    return std::accumulate(c.begin(), c.end(), 0,
                           [](int s, const ListColumn& x) { return s + x.width; });
}
} // namespace

TEST(ListColumns, ShownColumnsShareTheWidthAndTheFirstTakesTheRemainder) {
    WindowState state;
    ListColumns cols{};
    ResetColumns(state, cols, 689);
    EXPECT_EQ(cols[0].width, 62);
    ShareAutoWidths(cols, 689);
    EXPECT_EQ(cols[0].width, 62 + 689 % 11);
    EXPECT_EQ(cols[1].width, 62);
    EXPECT_EQ(Sum(cols), 689);
}

TEST(ListColumns, AHiddenColumnStaysAtZeroWhenTheListResizes) {
    WindowState state;
    ListColumns cols{};
    ResetColumns(state, cols, 660);
    OcultarColumna(state, cols, 0);
    OcultarColumna(state, cols, 6);
    EXPECT_EQ(state.ColumnasVisibles, 9);
    EXPECT_EQ(state.ColumnaOculta[6], -1);
    RefrescarColumnas(state, cols, 900);
    EXPECT_EQ(cols[1].width, 100);
    ShareAutoWidths(cols, 455);
    EXPECT_EQ(cols[0].width, 0);
    EXPECT_EQ(cols[6].width, 0);
    EXPECT_EQ(cols[1].width, 50 + 5); // first shown column takes the remainder
    EXPECT_EQ(cols[2].width, 50);
    EXPECT_EQ(Sum(cols), 455);
}

TEST(ListColumns, AllHiddenDividesNothingAndOneShownTakesTheWholeWidth) {
    WindowState state;
    ListColumns cols{};
    ResetColumns(state, cols, 700);
    for (int k = 0; k < kFieldCount; ++k)
        OcultarColumna(state, cols, k);
    EXPECT_EQ(state.ColumnasVisibles, 0);
    RefrescarColumnas(state, cols, 700); // must not divide by zero
    ShareAutoWidths(cols, 700);
    EXPECT_EQ(Sum(cols), 0);
    MostrarColumna(state, cols, 5);
    RefrescarColumnas(state, cols, 700);
    ShareAutoWidths(cols, 690);
    EXPECT_EQ(cols[5].width, 690);
}

TEST(ListColumns, AColumnHeldByALimitDropsOutOfTheSharing) {
    ListColumns cols{};
    for (auto& c : cols)
        c.autoSize = false;
    cols[0].autoSize = cols[1].autoSize = cols[2].autoSize = true;
    cols[1].maxWidth = 50;
    ShareAutoWidths(cols, 300);
    EXPECT_EQ(cols[1].width, 50);
    EXPECT_EQ(cols[0].width, 125);
    EXPECT_EQ(cols[2].width, 125);
}
