#include "TextFileEncoding.h"
#include "Big5Codec.h"
#include <QtEndian>

namespace platform {

namespace {

const QByteArrayView kUtf8Mark("\xEF\xBB\xBF", 3);
const QByteArrayView kUtf16LEMark("\xFF\xFE", 2);
const QByteArrayView kUtf16BEMark("\xFE\xFF", 2);

// Length of the well-formed UTF-8 sequence at `at` and its code point; 0 when the
// bytes there are no such sequence.
int utf8Sequence(QByteArrayView bytes, qsizetype at, char32_t &codePoint)
{
    const uchar b = uchar(bytes[at]);
    int length = 0;
    char32_t min = 0;
    if (b < 0x80) {
        codePoint = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2, codePoint = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, codePoint = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, codePoint = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const uchar c = uchar(bytes[at + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (c & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < min || codePoint > 0x10FFFF || surrogate)
        return 0;
    return length;
}

QString utf16Decode(QByteArrayView bytes, bool bigEndian)
{
    QString out(bytes.size() / 2, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < out.size(); ++i)
        o[i] = bigEndian ? qFromBigEndian<quint16>(bytes.data() + 2 * i)
                         : qFromLittleEndian<quint16>(bytes.data() + 2 * i);
    return out;
}

QByteArray utf16Encode(QStringView text, bool bigEndian)
{
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const quint16 unit = text[i].unicode();
        bigEndian ? qToBigEndian(unit, out.data() + 2 * i) : qToLittleEndian(unit, out.data() + 2 * i);
    }
    return out;
}

} // namespace

QString utf8DecodeKeeping(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = utf8Sequence(bytes, i, codePoint);
        if (length == 0) {
            out.append(QChar(char16_t(0xDC00 + uchar(bytes[i]))));
            ++i;
            continue;
        }
        if (codePoint < 0x10000) {
            out.append(QChar(char16_t(codePoint)));
        } else {
            out.append(QChar(QChar::highSurrogate(codePoint)));
            out.append(QChar(QChar::lowSurrogate(codePoint)));
        }
        i += length;
    }
    return out;
}

QByteArray utf8EncodeKeeping(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (isKeptByte(unit)) {
            out.append(char(unit - 0xDC00));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(QStringView(text.data() + i, 2).toUtf8());
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            out.append('?');
        } else {
            out.append(QStringView(text.data() + i, 1).toUtf8());
        }
    }
    return out;
}

bool isValidUtf8(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = utf8Sequence(bytes, i, codePoint);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

DecodedText decodeByByteOrderMark(QByteArrayView bytes)
{
    DecodedText out;
    if (bytes.startsWith(kUtf8Mark)) {
        out.encoding = TextEncoding::Utf8;
        out.text = utf8DecodeKeeping(bytes.sliced(kUtf8Mark.size()));
    } else if (bytes.startsWith(kUtf16LEMark) || bytes.startsWith(kUtf16BEMark)) {
        const bool bigEndian = bytes.startsWith(kUtf16BEMark);
        out.encoding = bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
        QByteArrayView body = bytes.sliced(2);
        if (body.size() % 2) {
            out.oddByte = body.last(1).toByteArray();
            body.chop(1);
        }
        out.text = utf16Decode(body, bigEndian);
    } else {
        out.text = big5DecodeKeeping(bytes);
    }
    return out;
}

QByteArray encodeWithByteOrderMark(const DecodedText &text)
{
    switch (text.encoding) {
    case TextEncoding::Utf8:
        return kUtf8Mark.toByteArray() + utf8EncodeKeeping(text.text);
    case TextEncoding::Utf16LE:
        return kUtf16LEMark.toByteArray() + utf16Encode(text.text, false) + text.oddByte;
    case TextEncoding::Utf16BE:
        return kUtf16BEMark.toByteArray() + utf16Encode(text.text, true) + text.oddByte;
    case TextEncoding::Ansi:
        break;
    }
    return big5EncodeKeeping(text.text);
}

} // namespace platform
