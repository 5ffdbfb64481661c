#pragma once
#include "interchange/Interchange.h"
#include "text/Charset.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

// The lexical layer of vCard 2.1, 3.0 and 4.0 shared by the reader, the writer and the editor
// of cards: content lines, parameters, escapes, folding.

// ASCII-only case-insensitive comparison with an upper-case constant; inline, as every
// content line is compared with several.
inline bool IsName(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c =
            text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        if (c != upper[i])
            return false;
    }
    return true;
}

// One content line: "group.NAME;PARAM=x;...:value", as views of the line.
struct VCardProperty {
    std::string_view group; // empty when the property has none
    std::string_view name;
    std::string_view params; // everything between the name and the colon, without the ';'
    std::string_view value;
    bool quotedPrintable = false;
    bool base64 = false;
    bool uri = false;
    std::string_view charset;
    bool fax = false, cell = false;
    bool aside = false; // marked as filling no field (kAsideParameter)
};

// The parameter that marks a property as filling no field of the record: the properties of
// its kind after the first, once the field was emptied here, so that the card reads back as
// the book holds it while another program still shows them.
constexpr std::string_view kAsideParameter = "X-VELDRANO-ASIDE";

// Splits a content line into `p`, every member of it set (so one `p` serves many lines);
// false, `p` left unspecified, when the line has no colon outside quotes.
bool ParseVCardProperty(std::string_view line, VCardProperty& p);

// Calls `onLine(logical, raw, number)` for each content line of `text`: `logical` is the line
// unfolded (RFC 6350 3.2, and quoted-printable soft line breaks), `raw` the bytes it was read
// from without its last line break, `number` the line where it starts (from 1). Blank lines
// are skipped. A leading byte-order mark is ignored.
template <typename OnLine> void ForEachContentLine(std::string_view text, OnLine&& onLine);

// A value as UTF-8 text, still escaped: quoted-printable and CHARSET of 2.1 undone. Keeps the
// character sets it opened for the next values.
class VCardValueDecoder {
  public:
    // Throws InterchangeError naming `line` for an unknown charset or bytes that are not text.
    std::string_view Decode(const VCardProperty& p, size_t line);

  private:
    std::string m_decoded;
    std::map<std::string, std::unique_ptr<Charset>> m_charsets;
};

// Splits a structured value at unescaped semicolons and unescapes each part; an unescaped
// comma (which separates several values of one part) becomes `comma`. Without `split`, the
// whole value is one part. Line breaks inside a part become spaces.
std::vector<std::string> VCardComponents(std::string_view raw, std::string_view comma, bool split);
// The same into `parts`, whose strings (and their memory) are reused.
void VCardComponents(std::string_view raw, std::string_view comma, bool split,
                     std::vector<std::string>& parts);

// The parts of a structured value between unescaped semicolons, still escaped.
std::vector<std::string_view> SplitEscapedComponents(std::string_view raw);

// RFC 6350 3.4: backslash, comma, semicolon and line breaks are escaped in text values.
void AppendVCardEscaped(std::string& line, std::string_view value);

// Appends a logical line and CR LF, folded at 75 octets, never inside a UTF-8 sequence.
void AppendVCardFolded(std::string& out, std::string_view line);

// --- Implementation of the template -------------------------------------------------------

bool IsQuotedPrintableLine(std::string_view line);

template <typename OnLine> void ForEachContentLine(std::string_view text, OnLine&& onLine) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    // The pending line is a view of the text until a folded line needs it joined.
    std::string joined;
    std::string_view logical;
    size_t logicalLine = 0, rawStart = 0, rawEnd = 0;
    bool pending = false;
    auto flush = [&] {
        if (pending)
            onLine(logical, text.substr(rawStart, rawEnd - rawStart), logicalLine);
        pending = false;
    };
    auto extend = [&](std::string_view more, bool dropLast) {
        if (logical.data() != joined.data())
            joined.assign(logical);
        if (dropLast)
            joined.pop_back();
        joined.append(more);
        logical = joined;
    };
    size_t pos = 0, number = 0;
    while (pos < text.size()) {
        const size_t start = pos, end = FindAnyOf<'\r', '\n'>(text, pos);
        const std::string_view line = text.substr(pos, end - pos);
        ++number;
        pos = end;
        if (pos < text.size())
            pos += text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;

        if (line.empty()) {
            flush(); // blank lines separate cards and end 2.1's base64 values
            continue;
        }
        if (pending && logical.back() == '=' && IsQuotedPrintableLine(logical)) {
            extend(line, true); // quoted-printable soft line break: the next line is all value
            rawEnd = end;
            continue;
        }
        if (pending && (line[0] == ' ' || line[0] == '\t')) {
            extend(line.substr(1), false); // RFC 6350 3.2: unfold by removing CRLF and one blank
            rawEnd = end;
            continue;
        }
        flush();
        logical = line;
        logicalLine = number;
        rawStart = start;
        rawEnd = end;
        pending = true;
    }
    flush();
}

} // namespace veldrano
