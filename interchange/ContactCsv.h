#pragma once
#include "interchange/Interchange.h"

#include <string>
#include <string_view>

namespace veldrano {

// CSV (RFC 4180) in UTF-8, rows ended by CR LF. The header row names the eleven fields in
// Spanish, in record field order ("Nombre y Apellidos", "Dirección", ..., "Oficina").
void AppendCsvHeader(std::string& out);

// One row of a record whose fields are UTF-8; a field holding a comma or a quote is quoted.
void AppendCsvRow(std::string& out, const ContactRecord& utf8);

// Reads the program's own CSV (the header row above, then eleven fields a row), or the CSV
// of abook ("abook --convert --outformat csv": no header; name, e-mail addresses,
// telephone, notes and nickname, of which the name, the first address and the telephone
// have a field). Quotes that abook leaves undoubled inside a quoted field are taken as they
// stand. Throws InterchangeError with the line of a row that does not fit.
void ReadContactCsv(std::string_view text, const ContactSink& sink);

} // namespace veldrano
