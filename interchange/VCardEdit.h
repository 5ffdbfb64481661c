#pragma once
#include "book/ContactRecord.h"

#include <bitset>
#include <string>
#include <string_view>

namespace veldrano {

// A set of the eleven fields, by field index.
using FieldSet = std::bitset<kFieldCount>;

// Another program's card with the fields in `changed` set to their values in `utf8`: only the
// properties (or, in ADR and ORG, the components) those fields map to are rewritten, added or
// removed; every other line (PHOTO, NOTE, a second EMAIL, X- properties, groups) stays byte for
// byte, and so does the card's version. A property is rewritten in UTF-8 with its group and
// type parameters. A field emptied here drops the first property of its kind and marks the
// others of that kind (a second EMAIL) as filling no field, so that the card reads back with
// the field empty. Throws InterchangeError for a card that does not parse.
std::string UpdateVCard(std::string_view card, FieldSet changed, const ContactRecord& utf8);

// The UID of the card, unescaped; empty when it has none.
std::string VCardUid(std::string_view card);

} // namespace veldrano
