#pragma once
#include "book/ContactRecord.h"
#include "book/WindowState.h"

#include <array>

namespace veldrano {

// One column of the report list as the window lays it out.
struct ListColumn {
    bool autoSize = true;
    int width = 0;
    int minWidth = 0; // 0: no limit
    int maxWidth = 0; // 0: no limit
};

using ListColumns = std::array<ListColumn, kFieldCount>;

// Hides column k: auto size off, width 0, held at width 1 at most and at least so the user
// cannot drag it open; one visible column fewer.
void OcultarColumna(WindowState& state, ListColumns& columns, int k);

// Shows column k again: auto size on, no width limits; one visible column more.
void MostrarColumna(WindowState& state, ListColumns& columns, int k);

// Gives every shown column the list's outer width divided by the number of shown columns.
// With no shown column nothing is divided.
void RefrescarColumnas(const WindowState& state, ListColumns& columns, int outerWidth);

// All columns shown, auto-sized, without limits, each a `width` / 11 wide.
void ResetColumns(WindowState& state, ListColumns& columns, int width);

// How the list lays out its auto-sized columns in `clientWidth`: the width the other
// columns leave is shared equally, the first auto-sized column takes the remainder, and a
// column that a limit holds at another width drops out of the sharing for the rest.
void ShareAutoWidths(ListColumns& columns, int clientWidth);

} // namespace veldrano
