#pragma once
#include "text/CodePage.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// RFC 5321: a text line is at most 998 bytes before its CR LF.
inline constexpr std::size_t MaxBodyLineLength = 998;

// How a plain-text body is labelled and encoded for the wire.
struct TIdBodyEncoding {
    // "us-ascii", "ISO-8859-1", "windows-1252", "ISO-2022-JP", "GBK", "EUC-KR" or "Big5".
    std::string Charset;
    // RFC 2045: quoted-printable when a byte above 0x7F or a line over 998 bytes would not
    // pass as 7bit; its soft breaks carry a long line whole.
    bool QuotedPrintable = false;

    std::string ContentType() const { return "text/plain; charset=" + Charset; }
    std::string TransferEncoding() const { return QuotedPrintable ? "quoted-printable" : "7bit"; }
};

// The charset and transfer encoding of body lines held in the locale's code page (lines may
// hold line breaks of their own; they count as breaks). Under a Japanese locale the lines
// are judged as they go out, converted to ISO-2022-JP.
TIdBodyEncoding ChooseBodyEncoding(const std::vector<std::string>& body,
                                   const veldrano::SystemLocale& locale);
// What one pass over a body text finds out.
struct TIdBodyTextScan {
    bool EightBit = false; // a byte above 0x7F
    bool C1 = false;       // a byte 0x80 to 0x9F
    bool LongLine = false; // a line over MaxBodyLineLength
    // Every line break is CR LF and no line begins with ".": the text is its own dot-stuffed
    // wire form, but for the CR LF a last line without one needs.
    bool WireReady = false;
};
TIdBodyTextScan ScanBodyText(std::string_view text);

// ChooseBodyEncoding for the lines SplitTextLines would cut from text; scan is the text's
// ScanBodyText (under a Japanese locale the converted lines are judged instead).
TIdBodyEncoding ChooseBodyEncoding(std::string_view text, const TIdBodyTextScan& scan,
                                   const veldrano::SystemLocale& locale);
TIdBodyEncoding ChooseBodyEncoding(std::string_view text, const veldrano::SystemLocale& locale);

// The wire form of one body line that holds no line break: converted to ISO-2022-JP under a
// Japanese locale, then quoted-printable when the encoding says so. Appends to lines.
void AppendBodyLine(std::string_view line, const TIdBodyEncoding& encoding,
                    const veldrano::SystemLocale& locale, std::vector<std::string>& lines);
