#pragma once
#include "interchange/FieldRules.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// A layout of CSV that an address book exports, as data: the rules of its columns and the
// columns that tell it from the others.
struct CsvDialect {
    const char* format;                      // what the file is, for the user
    std::span<const ColumnRule> rules;       // in the order that fills a field first
    std::span<const std::string_view> marks; // a header holding one of these ("#" as in a
                                             // rule) may be this one
    std::string_view separator;              // joins several values of a cell ("" when none)
    bool positional = false;                 // no header row: the rules go in column order
    bool exactColumns = false;               // every row has the header's number of cells
    bool nameFallback = true;                // a contact without a name takes its e-mail's
};

// The program's own CSV: a header of the eleven column captions, in record field order.
const CsvDialect& OwnCsvDialect();
// What "abook --convert --outformat csv" writes: no header; name, e-mail addresses (joined
// by commas), telephone, notes and nickname.
const CsvDialect& AbookCsvDialect();

// The other address books' layout that `header` (trimmed cells) names best: of those whose
// marks it holds, the one that knows most of its columns; nullptr when none.
const CsvDialect* FindCsvDialect(const std::vector<std::string>& header);

// The rule of `rules` for the column `name` (in any case), nullptr when none; `group` is the
// number that stood for "#", 0 when none did.
const ColumnRule* MatchColumnRule(std::span<const ColumnRule> rules, std::string_view name,
                                  int& group);

} // namespace veldrano
