#pragma once
#include "book/Interchange.h"

#include <string>
#include <string_view>

namespace veldrano {

// Appends one vCard 4.0 (RFC 6350) of a record whose fields are UTF-8, lines ended by CR LF
// and folded at 75 octets. FN always (it is required); N, ADR, TEL, EMAIL, ORG and URL only
// for fields that are not empty. The postal code is ADR's code and the office ADR's extended
// address, the part meant for a suite or office number, which readers keep where they drop
// unknown properties; the department is ORG's second part; TEL is typed home, cell or fax.
// URL is escaped like text, as readers split an unescaped comma off it.
void AppendVCard(std::string& out, const ContactRecord& utf8);

// Reads every card of a vCard 2.1, 3.0 or 4.0 file, as other programs write them: folded
// lines, groups, quoted-printable and CHARSET values of 2.1, escaped text. Each card gives
// one record (the first TEL of each kind, the first EMAIL, ADR, ORG and URL fill the fields;
// line breaks inside a value become spaces). A card with no FN takes its name from N, or
// else from its e-mail address or organisation. Throws InterchangeError with the line of a
// malformed property or card.
void ReadVCards(std::string_view text, const ContactSink& sink);

} // namespace veldrano
