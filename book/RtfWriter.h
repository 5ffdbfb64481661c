#pragma once
#include "files/TextFile.h"

#include <string>

namespace veldrano {

// How every paragraph of a plain RTF document looks.
struct RtfTextStyle {
    std::string fontName = "MS Sans Serif"; // bytes in the code page
    int halfPoints = 18;                    // font size in half points: 18 is 9 points
    bool bold = true;
    bool centred = true;
    int codePage = 1252; // the code page of the text bytes
};

// A Rich Text Format document with one paragraph per line, every paragraph in `style`.
// Bytes above 0x7F become \'hh escapes (both bytes of a double-byte character when the
// code page has lead bytes); backslashes and braces are escaped; tabs become \tab.
std::string WriteRtf(const Lines& paragraphs, const RtfTextStyle& style);

} // namespace veldrano
