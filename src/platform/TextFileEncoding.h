#pragma once
// A text file's encoding told by its byte-order mark, as Windows' profile functions
// tell it: UTF-16 little- or big-endian, UTF-8, and without a mark the ANSI code page
// (Big5). Decoding keeps every byte: what is no character in the encoding comes back
// as the lone surrogate U+DC00 + byte (see Big5Codec.h), and an odd byte at the end of
// a UTF-16 file is kept aside, so encoding the text again gives the same bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Ansi;
    QByteArray oddByte; // the last byte of a UTF-16 file of odd length
};

DecodedText decodeByByteOrderMark(QByteArrayView bytes);
// The byte-order mark of the encoding (none for ANSI), the text, then `oddByte`.
QByteArray encodeWithByteOrderMark(const DecodedText &text);

// UTF-8 that keeps invalid bytes as U+DC00 + byte, and its inverse.
QString utf8DecodeKeeping(QByteArrayView bytes);
QByteArray utf8EncodeKeeping(QStringView text);
// True when the bytes are well-formed UTF-8.
bool isValidUtf8(QByteArrayView bytes);

} // namespace platform
