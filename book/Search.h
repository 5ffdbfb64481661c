#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace veldrano {

// What the search dialog hands to the window: a whole name to find.
struct SearchQuery {
    std::string text;
    bool caseSensitive = true;
};

// Whole-name match: byte for byte when case-sensitive, otherwise after upper-casing the
// letters a to z alone (accented letters and ñ stay as they are). No prefix match.
bool NameMatches(std::string_view name, const SearchQuery& query);

// The name of a row, in list order.
using RowName = std::function<std::string_view(int row)>;

// Find-first: the first row, from the top, whose name matches; -1 when none does.
int FindFirst(int rowCount, const RowName& name, const SearchQuery& query);

// Where find-next stands between two presses.
struct SearchPosition {
    int PosBusqueda = 0;        // the row of the previous match
    bool SeguirBuscando = true; // find-next may go on
};

// What one find-next press does to the selection and the command.
struct FindNextStep {
    int deselect = -1;     // the row of the previous match, deselected first
    int select = -1;       // the row to select, -1 when nothing more matched
    bool finished = false; // the last row was reached: find-next is over, find is offered
};

// Find-next from the previous match: tests the rows after it and stops at the next match;
// reaching the last row (matching or not) ends the search and puts the position back on
// the first row. `rowCount` must be at least 1.
FindNextStep FindNext(int rowCount, const RowName& name, const SearchQuery& query,
                      SearchPosition& position);

} // namespace veldrano
