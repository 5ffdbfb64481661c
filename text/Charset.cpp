#include "text/Charset.h"

#include "text/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iconv.h>

namespace veldrano {

namespace {

iconv_t Open(const std::string& to, const std::string& from) {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::invalid_argument("unknown character set " + (to == "UTF-8" ? from : to));
    return cd;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ASCII and U+00A0-U+00FF appended to `out` as the bytes of the same values; false, with
// `out` as it was, for any other character or bytes that are not UTF-8.
bool AppendLatin1FromUtf8(std::string_view utf8, std::string& out) {
    const size_t start = out.size();
    out.resize(start + utf8.size());
    char* const first = out.data();
    char* dst = first + start;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (uint64_t eight = 0; i + 8 <= utf8.size()) { // ASCII eight bytes at a time
            std::memcpy(&eight, utf8.data() + i, 8);
            if ((eight & 0x8080808080808080ULL) == 0) {
                std::memcpy(dst, &eight, 8);
                dst += 8;
                i += 7;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            *dst++ = static_cast<char>(c);
            continue;
        }
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[++i]) : 0;
        if ((c != 0xC2 && c != 0xC3) || (next & 0xC0) != 0x80 || (c == 0xC2 && next < 0xA0)) {
            out.resize(start);
            return false;
        }
        *dst++ = static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
    }
    out.resize(static_cast<size_t>(dst - first));
    return true;
}

// Bytes 0x00-0x7F and 0xA0-0xFF as the UTF-8 of the same code points; false for any other.
bool Latin1ToUtf8(std::string_view bytes, std::string& out) {
    out.resize(bytes.size() * 2);
    size_t used = 0;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            out[used++] = byte;
        } else if (c >= 0xA0) {
            out[used++] = static_cast<char>(0xC0 | (c >> 6));
            out[used++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            return false;
        }
    }
    out.resize(used);
    return true;
}

} // namespace

std::string ByteText(unsigned char byte) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", byte);
    return buf;
}

std::string CodePointText(long codePoint) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "U+%04lX", codePoint);
    return buf;
}

size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80)
        return 1;
    size_t len;
    long min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < len)
        return 0;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    const long cp = DecodeUtf8(text.substr(0, len));
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        if (i + 8 <= text.size()) { // eight bytes at a time: most text is mostly ASCII
            uint64_t eight = 0;
            std::memcpy(&eight, text.data() + i, 8);
            if ((eight & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t n = Utf8SequenceLength(text.substr(i));
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

long DecodeUtf8(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<long>(static_cast<unsigned char>(s[i])); };
    switch (s.size()) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default:
        return -1;
    }
}

std::string CodePageTextToUtf8(std::string_view bytes, int codePage) {
    size_t replaced = 0;
    return Charset::ForCodePage(codePage).ToUtf8(bytes, &replaced);
}

std::string SystemTextToUtf8(std::string_view text, int codePage) {
    return IsValidUtf8(text) ? std::string(text) : CodePageTextToUtf8(text, codePage);
}

std::string PrintableUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t n = c >= 0x80 ? Utf8SequenceLength(bytes.substr(i)) : 0;
        if (n == 2 && DecodeUtf8(bytes.substr(i, 2)) <= 0x9F)
            n = 0; // a C1 control
        if (n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
            ++i;
        }
    }
    return out;
}

Charset::Charset(const std::string& name) : m_name(name) {
    m_toUtf8 = Open("UTF-8", name);
    try {
        m_fromUtf8 = Open(name, "UTF-8");
    } catch (...) {
        ::iconv_close(static_cast<iconv_t>(m_toUtf8));
        throw;
    }
    std::string ascii(127, '\0');
    for (int c = 1; c < 128; ++c)
        ascii[c - 1] = static_cast<char>(c);
    try {
        m_asciiSame = Convert(m_toUtf8, ascii, false, nullptr) == ascii;
    } catch (const CharsetError&) {
        m_asciiSame = false;
    }
    // Asked of iconv itself, both ways, rather than assumed from the name.
    std::string high, highUtf8;
    for (int c = 0xA0; c < 0x100; ++c)
        high += static_cast<char>(c);
    Latin1ToUtf8(high, highUtf8);
    try {
        m_latin1High = m_asciiSame && Convert(m_toUtf8, high, false, nullptr) == highUtf8 &&
                       Convert(m_fromUtf8, highUtf8, true, nullptr) == high;
    } catch (const CharsetError&) {
        m_latin1High = false;
    }
}

Charset::~Charset() {
    ::iconv_close(static_cast<iconv_t>(m_toUtf8));
    ::iconv_close(static_cast<iconv_t>(m_fromUtf8));
}

Charset Charset::ForCodePage(int codePage) {
    return Charset(CodePageIconvName(codePage));
}

std::string Charset::ToUtf8(std::string_view bytes, size_t* replaced) {
    if (m_asciiSame && IsAscii(bytes))
        return std::string(bytes);
    if (std::string out; m_latin1High && Latin1ToUtf8(bytes, out))
        return out;
    return Convert(m_toUtf8, bytes, false, replaced);
}

std::string Charset::FromUtf8(std::string_view utf8, size_t* replaced) {
    std::string out;
    AppendFromUtf8(out, utf8, replaced);
    return out;
}

void Charset::AppendFromUtf8(std::string& out, std::string_view utf8, size_t* replaced) {
    if (m_latin1High && AppendLatin1FromUtf8(utf8, out))
        return;
    if (m_asciiSame && IsAscii(utf8))
        out.append(utf8);
    else
        out += Convert(m_fromUtf8, utf8, true, replaced);
}

std::string Charset::Convert(void* handle, std::string_view in, bool fromUtf8, size_t* replaced) {
    auto cd = static_cast<iconv_t>(handle);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr); // a fresh shift state for every text
    std::string out(in.size() * 2 + 16, '\0');
    size_t used = 0;
    char* src = const_cast<char*>(in.data()); // iconv's signature; it only reads the input
    size_t srcLeft = in.size();
    // Runs one iconv step into the free end of `out`; false with errno set when it stopped.
    auto step = [&](bool flush) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t rc = flush ? ::iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                                : ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = static_cast<size_t>(dst - out.data());
        return rc != static_cast<size_t>(-1);
    };
    for (bool flush = false;;) {
        if (step(flush)) {
            if (flush)
                break;
            flush = true; // stateful targets may still owe a shift back
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ, or EINVAL for a sequence cut off at the end of the text.
        const std::string_view rest(src, srcLeft);
        size_t badLength = 1;
        long codePoint = -1;
        if (fromUtf8) {
            if (size_t n = Utf8SequenceLength(rest); n > 0) {
                badLength = n;
                codePoint = DecodeUtf8(rest.substr(0, n));
            }
        }
        if (!replaced) {
            const std::string byte = "byte " + ByteText(static_cast<unsigned char>(rest[0]));
            const std::string what =
                codePoint >= 0 ? CodePointText(codePoint) + " cannot be written in " + m_name
                : fromUtf8     ? byte + " is not UTF-8"
                               : byte + " is not a character of " + m_name;
            throw CharsetError(what, std::string(rest.substr(0, badLength)), codePoint);
        }
        ++*replaced;
        if (used == out.size())
            out.resize(out.size() * 2);
        out[used++] = '?';
        src += badLength;
        srcLeft -= badLength;
    }
    out.resize(used);
    return out;
}

} // namespace veldrano
