#pragma once
#include "interchange/Interchange.h"
#include "interchange/LostFields.h"

#include <string_view>

namespace veldrano {

// True when `text` (UTF-8) starts as LDIF does: with "version:" or "dn:" after comments.
bool LooksLikeLdif(std::string_view text);

// Reads every entry of an LDIF file (RFC 2849) as Thunderbird exports an address book:
// folded lines, comments, base64 values ("attr:: ..."), attribute options, in any case.
// Entries of mailing lists carry no contact. What has no place among the eleven fields goes
// to `lost`. Throws InterchangeError with the line of an entry without "dn:", of a line
// without a colon or of a value that does not decode.
void ReadLdif(std::string_view text, const ContactSink& sink, LostTally* lost);

} // namespace veldrano
