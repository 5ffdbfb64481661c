#pragma once
#include <cstddef>
#include <istream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Base of the content encoders: turns bytes read from a stream into text.
class TIdEncoder {
  public:
    // The byte count that means "everything left in the stream".
    static constexpr std::size_t AllBytes = std::numeric_limits<std::size_t>::max();

    virtual ~TIdEncoder() = default;

    // Encodes up to byteCount bytes from the stream's position.
    virtual std::string Encode(std::istream& source, std::size_t byteCount = AllBytes) = 0;

    // Encodes every byte of a text.
    std::string Encode(std::string_view text);
};

// Encoders that write each group of three bytes as four characters of a 64-character
// table, padding the last group with the fill character.
class TIdEncoder3to4 : public TIdEncoder {
  public:
    using TIdEncoder::Encode;

    // Throws EIdException "Uneven size in Encode." when byteCount is neither AllBytes nor
    // a multiple of 3: only the end of the data may hold a short group.
    std::string Encode(std::istream& source, std::size_t byteCount = AllBytes) override;

    const std::string& CodingTable() const { return codingTable_; }
    char FillChar() const { return fillChar_; }

  protected:
    TIdEncoder3to4(std::string codingTable, char fillChar);

  private:
    std::string codingTable_;
    char fillChar_;
};

// Base64 as RFC 2045 defines it, without line breaks.
class TIdEncoderMIME : public TIdEncoder3to4 {
  public:
    TIdEncoderMIME();

    // The base64 text of every byte of a text; an empty text gives an empty result.
    static std::string EncodeToText(std::string_view text);
};

// RFC 2045 6.7: an encoded line is at most 76 characters, the soft break "=" included.
inline constexpr std::size_t MaxQuotedPrintableLine = 76;

// Appends the quoted-printable form of one line of text to lines: as many encoded lines as
// it needs, all but the last ending in a soft break "=". Bytes outside printable ASCII, "="
// and a blank ending the line are written as "=XX". Never fails.
void AppendQuotedPrintable(std::string_view line, std::vector<std::string>& lines);
