#pragma once
#include <string>

// Upper-cases the letters a to z alone: protocol words and names compare this way, whatever
// the user's locale, and bytes above 0x7F stay as they are.
inline std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}
