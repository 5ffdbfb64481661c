#include "book/RecentFiles.h"

#include <gtest/gtest.h>

using veldrano::Lines;
using veldrano::RotateRecent;

TEST(RotateRecent, CurrentFileGoesOnTopAndItsOldPlaceEmpties) {
    EXPECT_EQ(RotateRecent({"A", "B", "D", "E", "F"}, "C", false),
              (Lines{"C", "A", "B", "D", "E"}));
    EXPECT_EQ(RotateRecent({"C", "A", "B", "D", "E"}, "C", false), (Lines{"C", "", "A", "B", "D"}));
    EXPECT_EQ(RotateRecent({"A", "C", "B", "D", "E"}, "C", false), (Lines{"C", "A", "", "B", "D"}));
}

TEST(RotateRecent, ComparisonIsExactAndANewBookChangesNothing) {
    EXPECT_EQ(RotateRecent({"/x/c.kbx", "", "", "", ""}, "/x/C.kbx", false),
              (Lines{"/x/C.kbx", "/x/c.kbx", "", "", ""}));
    EXPECT_EQ(RotateRecent({"A", "B", "C", "D", "E", "extra"}, "Z", true),
              (Lines{"A", "B", "C", "D", "E"}));
}
