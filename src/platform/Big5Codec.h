#pragma once
// Code page 950 (Big5, the workstation's ANSI code page). Files of the program keep
// their text in this code page; in memory text is Unicode. The mapping is the C
// library's iconv table for "CP950", read once into lookup tables.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// Bytes that are not valid Big5 decode to U+FFFD each, so that reading a damaged file
// never fails; characters without a Big5 form encode as "?".
QString big5Decode(QByteArrayView bytes);
QByteArray big5Encode(QStringView text);

// A lossless pair for text that must come back byte for byte (an INI file rewritten
// around one changed line, a scrambled password): a byte that does not decode to a
// character which encodes back to the same bytes becomes the lone surrogate
// U+DC00 + byte, and encoding turns such a surrogate back into its byte.
QString big5DecodeKeeping(QByteArrayView bytes);
QByteArray big5EncodeKeeping(QStringView text);

// Escapes of big5DecodeKeeping (U+DC80..U+DCFF) stand for bytes that are no character.
inline bool isKeptByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Index of the first character that has no Big5 form (a kept byte counts as having
// one), or -1 when the whole text can be stored in the code page.
qsizetype firstNonBig5(QStringView text);

} // namespace platform
