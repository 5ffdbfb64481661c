#pragma once
#include <string>
#include <string_view>

namespace veldrano {

// The user's locale as the program sees it: a Windows-style language identifier
// (primary language in the low 10 bits, sub-language in the next 6) and the code page
// in which every text of the program is held as bytes.
struct SystemLocale {
    int primaryLanguage = 0x09; // English
    int subLanguage = 0x01;     // United States
    int codePage = 1252;
};

// Builds the locale from a POSIX locale name such as "es_ES.UTF-8" or "ja_JP".
// An empty, "C" or "POSIX" name gives the default above (language 9, sub-language 1).
SystemLocale LocaleFromName(std::string_view posixName);

// The locale read once from LC_ALL, LC_CTYPE or LANG (the first one set) on first use.
const SystemLocale& CurrentLocale();

// Replaces the process locale; for tests and for start-up code that knows better.
void SetCurrentLocale(const SystemLocale& locale);

// True when the byte starts a two-byte character in the given code page
// (932: 0x81-0x9F and 0xE0-0xFC; 936, 949, 950: 0x81-0xFE; 1252: never).
bool IsLeadByte(int codePage, unsigned char byte);

// The code page's name as the toolkit's converters know it ("windows-1252", "Shift_JIS", ...).
const char* CodePageName(int codePage);

// The code page's name as the C library's iconv knows it ("CP1252", "CP932", ...).
const char* CodePageIconvName(int codePage);

} // namespace veldrano
