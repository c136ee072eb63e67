#pragma once
// Code page 950 (Big5, the workstation's ANSI code page) through the C library's iconv.
// Files of the program keep their text in this code page; in memory text is Unicode.
#include <QByteArray>
#include <QString>

namespace platform {

// Bytes that are not valid Big5 decode to U+FFFD each, so that reading a damaged file
// never fails; characters without a Big5 form encode as "?".
QString big5Decode(const QByteArray &bytes);
QByteArray big5Encode(const QString &text);

} // namespace platform
