#include "interchange/InputText.h"

#include "interchange/Interchange.h"
#include "text/Charset.h"

#include <algorithm>

namespace veldrano {

namespace {

size_t LineOf(std::string_view text, size_t offset) {
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

} // namespace

std::string_view WithoutByteOrderMark(std::string_view bytes, std::string& storage) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return bytes.substr(3);
    const bool little = bytes.substr(0, 2) == "\xFF\xFE", big = bytes.substr(0, 2) == "\xFE\xFF";
    if (!little && !big)
        return bytes;
    Charset utf16(little ? "UTF-16LE" : "UTF-16BE");
    try {
        storage = utf16.ToUtf8(bytes.substr(2));
    } catch (const CharsetError&) {
        throw InterchangeError(0, "el texto no es UTF-16 aunque empieza como tal");
    }
    return storage;
}

std::string_view Utf8OrWindows1252(std::string_view text, std::string& storage) {
    if (IsValidUtf8(text))
        return text;
    // UTF-8 beside bytes that are not is a file broken on the way, not one in a code page.
    size_t invalid = std::string_view::npos;
    bool utf8 = false;
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0 && invalid == std::string_view::npos)
            invalid = i;
        utf8 = utf8 || length > 0;
        i += length == 0 ? 1 : length;
    }
    if (utf8)
        throw InterchangeError(LineOf(text, invalid), "el texto no es UTF-8");
    // The five bytes Windows-1252 leaves undefined: such a file is in no code page we know.
    const size_t bad = text.find_first_of("\x81\x8D\x8F\x90\x9D");
    if (bad != std::string_view::npos)
        throw InterchangeError(LineOf(text, bad),
                               "el texto no es UTF-8 ni Windows-1252: byte " +
                                   ByteText(static_cast<unsigned char>(text[bad])));
    Charset windows1252("CP1252");
    storage = windows1252.ToUtf8(text);
    return storage;
}

} // namespace veldrano
