#pragma once
#include <string>
#include <string_view>

#include "text/CodePage.h"

// How header text is converted before it is encoded; only iso2022jp converts.
enum class TTransfer { bit7 = 0, bit8 = 1, iso2022jp = 2 };

// The header encoding in force: conversion, encoded-word letter ('B', 'Q', or '8' for
// "write the text as it is") and the charset named in every encoded word.
struct THeaderEncoding {
    TTransfer Transfer = TTransfer::bit8;
    char Letter = 'Q';
    std::string Charset = "ISO-8859-1";

    bool operator==(const THeaderEncoding&) const = default;
};

// The bytes a display name may not hold outside an encoded word (RFC 5322 specials).
inline constexpr std::string_view AddressSpecials = "\"(),.:;<>@[]\\";

// RFC 2047: an encoded word is at most 75 characters, prefix and suffix included.
inline constexpr std::size_t MaxEncodedWordLength = 75;

// The header encoding for a locale: GB2312 or Big5 for Chinese, ISO-2022-JP for Japanese,
// EUC-KR for Korean (all base64), Q with ISO-8859-1 for everything else.
THeaderEncoding ChooseHeaderEncoding(const veldrano::SystemLocale& locale);

// Turns the words of a header text that hold control bytes, bytes above 0x7E or one of
// extraSpecials into RFC 2047 encoded words; neighbouring such words share one run, plain
// words and the white space around runs stay as they are. A run too long for one encoded
// word is split into several separated by CR LF TAB. Never fails.
std::string EncodeHeaderWords(std::string_view text, std::string_view extraSpecials, char letter,
                              std::string_view charset, TTransfer transfer);
std::string EncodeHeaderWords(std::string_view text, std::string_view extraSpecials,
                              const THeaderEncoding& encoding);

// Encodes one run of bytes as encoded words "=?charset?letter?...?=" ('Q' in either case
// for the Q form, anything else for base64). The Q form writes in hexadecimal the control
// bytes, the bytes above 0x7E, extraSpecials, '=', '?', '_' and ','. Words of at most 75
// characters, each holding whole characters of the charset (an ISO-2022-JP word starts and
// ends in ASCII with escapes of its own); ISO-8859-1 becomes windows-1252 for a run that
// holds a byte 0x80 to 0x9F. Never fails.
std::string EncodeWordRun(std::string_view run, char letter, std::string_view charset,
                          std::string_view extraSpecials);

// Converts Shift_JIS text to ISO-2022-JP (JIS X 0208 with ASCII); half-width katakana
// become full width, combined with a following voiced or semi-voiced mark where such a
// character exists. Bytes that cannot be converted are dropped. Never fails.
std::string ShiftJisToIso2022Jp(std::string_view text);
