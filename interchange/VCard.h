#pragma once
#include "interchange/Interchange.h"
#include "interchange/LostFields.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

struct VCardProperty;

enum class VCardVersion { V3, V4 };

// The properties the eleven fields map to, in the order a card written here lists them.
// The postal code is ADR's code and the office ADR's extended address, the part meant for a
// suite or office number, which readers keep where they drop unknown properties; the
// department is ORG's second part; TEL is typed home, cell or fax.
enum class CardProperty { FN, N, ADR, TelHome, TelCell, TelFax, EMAIL, ORG, URL };
inline constexpr CardProperty kCardProperties[] = {
    CardProperty::FN,      CardProperty::N,       CardProperty::ADR,
    CardProperty::TelHome, CardProperty::TelCell, CardProperty::TelFax,
    CardProperty::EMAIL,   CardProperty::ORG,     CardProperty::URL};
inline constexpr int kCardPropertyCount = 9;

// The fields a property carries.
std::vector<Field> FieldsOfProperty(CardProperty property);

// The property's components for a record of UTF-8 fields, unescaped; none when every field
// it carries is empty.
std::vector<std::string_view> PropertyComponents(CardProperty property, const ContactRecord& utf8);

// The start of the property's line as written here, up to its colon ("TEL;TYPE=cell:").
const char* PropertyHead(CardProperty property);

// Which of the mapped properties a content line of a card is (a TEL by its type); nullopt for
// any other, and for inline binary data.
std::optional<CardProperty> PropertyOf(const VCardProperty& p);

// Appends one vCard (RFC 6350 4.0 or RFC 2426 3.0) of a record whose fields are UTF-8, lines
// ended by CR LF and folded at 75 octets. FN always (it is required), N too in 3.0; the other
// properties only for fields that are not empty; UID when one is given. URL is escaped like
// text, as readers split an unescaped comma off it.
void AppendVCard(std::string& out, const ContactRecord& utf8,
                 VCardVersion version = VCardVersion::V4, std::string_view uid = {});

// Reads every card of a vCard 2.1, 3.0 or 4.0 file, as other programs write them: folded
// lines, groups, quoted-printable and CHARSET values of 2.1, escaped text. Each card gives
// one record (the first TEL of each kind, the first EMAIL, ADR, ORG and URL fill the fields;
// line breaks inside a value become spaces). A card with no FN takes its name from N, or
// else from its e-mail address or organisation. A telephone of a group ("item1.TEL") is a
// mobile or a fax when the group's X-ABLabel says so. What has no place among the fields
// (notes, birthday, a second address) goes to `lost` when given. Throws InterchangeError
// with the line of a malformed property or card, and of a card without END:VCARD.
void ReadVCards(std::string_view text, const ContactSink& sink, LostTally* lost = nullptr);

} // namespace veldrano
