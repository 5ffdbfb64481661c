#pragma once
#include "book/ContactRecord.h"
#include "files/TextFile.h"

#include <string>
#include <string_view>

namespace veldrano {

// The printout's fixed header always has this many lines; record lines follow it.
inline constexpr int kPrintHeaderLines = 12;

// The credit line of the header: the program file name, then the author and the author's
// e-mail address. Both arguments and the result are bytes in the program's code page.
std::string PrintBannerLine(std::string_view author, std::string_view authorEmail);

// The twelve header lines of the printout, with the credit line above as line 3. The
// column titles carry accented capitals as Windows-1252 bytes, like every Spanish text
// of the program.
Lines PrintHeaderLines(std::string_view author, std::string_view authorEmail);

// One record as a print line: "< ", the eleven fields joined by " | ", then ">" right
// after the last field. An empty field prints as "-null-"; the others as they are.
std::string RecordPrintLine(const ContactRecord& record);

} // namespace veldrano
