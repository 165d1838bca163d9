// Text: UTF-16 and UTF-8, and case folding as the system compares names.
#include "world.h"

#include <cesim/utf8.h>

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace cesim {

bool SameNoCase(const Text& a, const Text& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

// Upper case as the system's own tables have it, for every UTF-16 unit that
// has a single upper-case form within the Basic Multilingual Plane.
char16_t FoldCase(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? (char16_t)(c - 0x20) : c;
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (unicode == (locale_t)0 || (c >= 0xD800 && c < 0xE000))
        return c;
    wint_t upper = towupper_l((wint_t)c, unicode);
    return upper < 0x10000 ? (char16_t)upper : c;
}

Text ToText(LPCWSTR s) { return s == nullptr ? Text() : Text(s); }

std::string Narrow(const Text& s) { return Utf8(s); }

std::u16string U16(const std::string& s)
{
    std::u16string out;
    if (!utf8::ToUtf16(s, out))
        throw Error("cesim: U16 was given text that is not UTF-8");
    return out;
}

std::string Utf8(const std::u16string& s) { return utf8::FromUtf16(s.data(), s.size()); }

}  // namespace cesim
