#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veldrano {

// Text that cannot cross between two character sets: a character the target cannot hold,
// or bytes that are not a character of the source. `character()` holds the character as
// UTF-8 when there is one, else the offending bytes; `codePoint()` is -1 for bytes.
class CharsetError : public std::runtime_error {
  public:
    CharsetError(const std::string& what, std::string character, long codePoint)
        : std::runtime_error(what), m_character(std::move(character)), m_codePoint(codePoint) {}
    const std::string& character() const { return m_character; }
    long codePoint() const { return m_codePoint; }

  private:
    std::string m_character;
    long m_codePoint;
};

// A byte as "0x80", and a code point as Unicode writes it: "U+20AC".
std::string ByteText(unsigned char byte);
std::string CodePointText(long codePoint);

// Converts text between UTF-8 and one other character set through the C library's iconv.
// The converters are opened once and reused, so converting many short fields is cheap.
// Nothing is ever replaced silently: a strict conversion throws CharsetError, a lossy one
// writes "?" for each character it cannot convert and counts it.
class Charset {
  public:
    // `name` as iconv knows it ("CP1252", "ISO-8859-1", "SHIFT_JIS", ...). Throws
    // std::invalid_argument when the C library has no such character set.
    explicit Charset(const std::string& name);
    ~Charset();
    Charset(const Charset&) = delete;
    Charset& operator=(const Charset&) = delete;

    // The character set of a code page of the program (1252, 932, 936, 949, 950).
    static Charset ForCodePage(int codePage);

    const std::string& name() const { return m_name; }

    // Bytes of this character set to UTF-8. With `replaced`, bytes that are no character
    // become "?" and are counted there; without it they throw CharsetError.
    std::string ToUtf8(std::string_view bytes, size_t* replaced = nullptr);

    // UTF-8 to bytes of this character set. With `replaced`, characters the set cannot hold
    // (and bytes that are not UTF-8) become "?" and are counted there; without it they throw.
    std::string FromUtf8(std::string_view utf8, size_t* replaced = nullptr);
    // The same, appended to `out` (which a throw leaves as it was).
    void AppendFromUtf8(std::string& out, std::string_view utf8, size_t* replaced = nullptr);

  private:
    std::string Convert(void* cd, std::string_view in, bool fromUtf8, size_t* replaced);

    std::string m_name;
    void* m_toUtf8;
    void* m_fromUtf8;
    bool m_asciiSame = false; // ASCII bytes stand for themselves: plain text needs no iconv
    // Bytes 0xA0-0xFF are U+00A0-U+00FF, as in Windows-1252: Western text needs no iconv.
    bool m_latin1High = false;
};

// The length of the UTF-8 sequence that starts `text`, or 0 when it is not valid UTF-8
// (overlong forms, surrogates and code points above U+10FFFF are not).
size_t Utf8SequenceLength(std::string_view text);

// True when the whole text is valid UTF-8.
bool IsValidUtf8(std::string_view text);

// The code point of a valid UTF-8 sequence (as Utf8SequenceLength measured it).
long DecodeUtf8(std::string_view sequence);

// Texts that reach a user (exception messages) are UTF-8; these put other text into them.

// Text held in the code page, for a message that quotes it: a byte that is no character of
// the code page shows as "?".
std::string CodePageTextToUtf8(std::string_view bytes, int codePage);

// A file name or a text of the system for a message: the system's are UTF-8, and one that is
// not (a name made under another system, a text of a locale in another charset) is read in
// the code page.
std::string SystemTextToUtf8(std::string_view text, int codePage);

// What a peer sent, for a message: printable ASCII and well-formed UTF-8 characters (C1
// controls excepted) stay; any other byte shows as "?".
std::string PrintableUtf8(std::string_view bytes);

} // namespace veldrano
