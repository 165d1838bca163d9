// UTF-16 to UTF-8 and back, in plain C++ with nothing of the device's: the
// device and the test harnesses that cannot link it (the build for Windows)
// share these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf8 {

// The UTF-8 of length UTF-16 units (char16_t, or wchar_t where it is 16
// bits); a surrogate without its other half is written as it is.
template <typename Unit>
std::string FromUtf16(const Unit* text, size_t length)
{
    static_assert(sizeof(Unit) == 2, "UTF-16 units are 16 bits");
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = (uint16_t)text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && (uint16_t)text[i + 1] >= 0xDC00 &&
            (uint16_t)text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + ((uint16_t)text[++i] - 0xDC00);
        if (cp < 0x80) {
            out += (char)cp;
        } else if (cp < 0x800) {
            out += (char)(0xC0 | (cp >> 6));
            out += (char)(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += (char)(0xE0 | (cp >> 12));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        } else {
            out += (char)(0xF0 | (cp >> 18));
            out += (char)(0x80 | ((cp >> 12) & 0x3F));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// The UTF-16 of UTF-8 text, appended to out; false when the text ends inside
// a character.
inline bool ToUtf16(const std::string& s, std::u16string& out)
{
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        uint32_t cp;
        int n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else {
            cp = c & 0x07;
            n = 4;
        }
        if (i + n > s.size())
            return false;
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | ((unsigned char)s[i + k] & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += (char16_t)(0xD800 + (cp >> 10));
            out += (char16_t)(0xDC00 + (cp & 0x3FF));
        } else {
            out += (char16_t)cp;
        }
    }
    return true;
}

}  // namespace utf8
