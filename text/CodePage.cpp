#include "text/CodePage.h"

#include <cstdlib>
#include <iterator>
#include <mutex>

namespace veldrano {

namespace {

// Windows primary-language numbers of the languages whose code page or header charset
// differs from the Western default, plus a few common Western ones.
struct LanguageRow {
    std::string_view iso;
    int primary;
};
constexpr LanguageRow kLanguages[] = {
    {"zh", 0x04}, {"ja", 0x11}, {"ko", 0x12}, {"en", 0x09}, {"es", 0x0A},
    {"fr", 0x0C}, {"de", 0x07}, {"it", 0x10}, {"pt", 0x16}, {"ca", 0x03},
    {"nl", 0x13}, {"gl", 0x56}, {"eu", 0x2D},
};

int ChineseSubLanguage(std::string_view territory) {
    if (territory == "CN")
        return 0x02; // simplified, PRC
    if (territory == "HK")
        return 0x03;
    if (territory == "SG")
        return 0x04;
    if (territory == "MO")
        return 0x05;
    return 0x01; // Taiwan and anything else: traditional
}

SystemLocale g_locale;
std::once_flag g_once;
bool g_overridden = false;

} // namespace

SystemLocale LocaleFromName(std::string_view name) {
    SystemLocale result;
    auto cut = name.find_first_of(".@");
    if (cut != std::string_view::npos)
        name = name.substr(0, cut);
    if (name.empty() || name == "C" || name == "POSIX")
        return result;
    std::string_view language = name.substr(0, name.find('_'));
    std::string_view territory;
    if (auto us = name.find('_'); us != std::string_view::npos)
        territory = name.substr(us + 1);

    result.primaryLanguage = 0;
    result.subLanguage = 0x01;
    for (const auto& row : kLanguages)
        if (row.iso == language)
            result.primaryLanguage = row.primary;
    if (result.primaryLanguage == 0) {
        // A language we have no number for is still a readable, Western locale.
        result.primaryLanguage = 0x09;
    }
    switch (result.primaryLanguage) {
    case 0x04:
        result.subLanguage = ChineseSubLanguage(territory);
        result.codePage = result.subLanguage == 0x02 || result.subLanguage == 0x04 ? 936 : 950;
        break;
    case 0x11:
        result.codePage = 932;
        break;
    case 0x12:
        result.codePage = 949;
        break;
    default:
        result.codePage = 1252;
        break;
    }
    return result;
}

const SystemLocale& CurrentLocale() {
    std::call_once(g_once, [] {
        if (g_overridden)
            return;
        for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(var);
            if (value && *value) {
                g_locale = LocaleFromName(value);
                return;
            }
        }
    });
    return g_locale;
}

void SetCurrentLocale(const SystemLocale& locale) {
    g_overridden = true;
    std::call_once(g_once, [] {});
    g_locale = locale;
}

bool IsLeadByte(int codePage, unsigned char b) {
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

namespace {

struct CodePageNames {
    int codePage;
    const char* toolkit;
    // The C library's names for the Windows code pages themselves, not their ISO cousins:
    // CP932 is not Shift_JIS and CP949 is not EUC-KR, and a book written on Windows holds
    // their extra characters.
    const char* iconv;
};
constexpr CodePageNames kNames[] = {
    {932, "Shift_JIS", "CP932"},      {936, "GBK", "CP936"},
    {949, "windows-949", "CP949"},    {950, "Big5", "CP950"},
    {1252, "windows-1252", "CP1252"},
};

const CodePageNames& NamesOf(int codePage) {
    for (const auto& row : kNames)
        if (row.codePage == codePage)
            return row;
    return kNames[std::size(kNames) - 1];
}

} // namespace

const char* CodePageName(int codePage) {
    return NamesOf(codePage).toolkit;
}

const char* CodePageIconvName(int codePage) {
    return NamesOf(codePage).iconv;
}

} // namespace veldrano
