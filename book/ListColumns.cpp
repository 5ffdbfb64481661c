#include "book/ListColumns.h"

#include <algorithm>

namespace veldrano {

namespace {

int Clamp(const ListColumn& c, int width) {
    if (c.maxWidth > 0 && width > c.maxWidth)
        width = c.maxWidth;
    if (c.minWidth > 0 && width < c.minWidth)
        width = c.minWidth;
    return width;
}

} // namespace

void OcultarColumna(WindowState& state, ListColumns& columns, int k) {
    ListColumn& c = columns[k];
    c.autoSize = false;
    c.width = 0;
    c.maxWidth = 1;
    c.minWidth = 1;
    --state.ColumnasVisibles;
    state.ColumnaOculta[k] = -1;
}

void MostrarColumna(WindowState& state, ListColumns& columns, int k) {
    ListColumn& c = columns[k];
    c.autoSize = true;
    c.maxWidth = 0;
    c.minWidth = 0;
    ++state.ColumnasVisibles;
    state.ColumnaOculta[k] = 0;
}

void RefrescarColumnas(const WindowState& state, ListColumns& columns, int outerWidth) {
    for (int k = 0; k < kFieldCount; ++k)
        if (state.ColumnaOculta[k] != -1)
            columns[k].width = Clamp(columns[k], outerWidth / state.ColumnasVisibles);
}

void ResetColumns(WindowState& state, ListColumns& columns, int width) {
    state.ColumnasVisibles = kFieldCount;
    for (int k = 0; k < kFieldCount; ++k) {
        columns[k] = ListColumn{};
        columns[k].width = width / kFieldCount;
        state.ColumnaOculta[k] = 0;
    }
}

void ShareAutoWidths(ListColumns& columns, int clientWidth) {
    std::array<bool, kFieldCount> sharing{};
    for (int k = 0; k < kFieldCount; ++k)
        sharing[k] = columns[k].autoSize;
    for (;;) {
        int fixed = 0, count = 0;
        for (int k = 0; k < kFieldCount; ++k) {
            if (sharing[k])
                ++count;
            else
                fixed += columns[k].width;
        }
        if (count == 0)
            return;
        const int left = std::max(0, clientWidth - fixed);
        const int share = left / count;
        int remainder = left % count;
        bool dropped = false;
        for (int k = 0; k < kFieldCount; ++k) {
            if (!sharing[k])
                continue;
            int wanted = share + remainder;
            remainder = 0;
            columns[k].width = Clamp(columns[k], wanted);
            if (columns[k].width != wanted) {
                sharing[k] = false; // held by a limit: share again without it
                dropped = true;
            }
        }
        if (!dropped)
            return;
    }
}

} // namespace veldrano
