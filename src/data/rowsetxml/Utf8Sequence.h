#pragma once
// One UTF-8 decoder for the rowset XML writer (which replaces invalid bytes) and the
// parser's validity scan (which refuses them), so both agree on what is valid.
#include <cstdint>

namespace data::rowsetxml::detail {

// Length of the valid UTF-8 sequence of 2 to 4 bytes at p (before e) and its code
// point, or 0: overlong forms, surrogates and code points past U+10FFFF are invalid.
inline int utf8Sequence(const unsigned char *p, const unsigned char *e, uint32_t &cp)
{
    const unsigned c = *p;
    int extra = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07;
    }
    if (extra == 0 || e - p <= extra)
        return 0;
    for (int k = 1; k <= extra; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

} // namespace data::rowsetxml::detail
