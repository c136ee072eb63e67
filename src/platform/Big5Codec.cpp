#include "Big5Codec.h"
#include <iconv.h>
#include <array>
#include <memory>

namespace platform {

namespace {

constexpr char16_t kNone = 0;
constexpr char16_t kReplacement = 0xFFFD;

bool isLeadByte(uchar b)
{
    return b >= 0x81 && b <= 0xFE;
}

// Both directions of code page 950 as arrays: a character for each single byte and
// each lead/trail pair, and the bytes (one, or lead << 8 | trail) for each BMP
// character. Built once from iconv; a pair whose character encodes back to other
// bytes (code page 950 maps a few characters twice) is left out of the decoding
// side, so decoding and encoding are each other's inverse.
struct Tables {
    std::array<char16_t, 256> single{};
    std::array<char16_t, 65536> pair{};
    std::array<quint16, 65536> bytesOf{};

    Tables()
    {
        iconv_t toUnicode = iconv_open("UTF-16LE", "CP950");
        if (toUnicode == iconv_t(-1))
            toUnicode = iconv_open("UTF-16LE", "BIG5");
        iconv_t fromUnicode = iconv_open("CP950", "UTF-16LE");
        if (fromUnicode == iconv_t(-1))
            fromUnicode = iconv_open("BIG5", "UTF-16LE");
        for (int b = 0; b < 0x80; ++b) {
            single[size_t(b)] = char16_t(b);
            bytesOf[size_t(b)] = quint16(b);
        }
        if (toUnicode == iconv_t(-1) || fromUnicode == iconv_t(-1))
            return;
        for (int b = 0x80; b < 0x100; ++b)
            if (!isLeadByte(uchar(b)))
                single[size_t(b)] = roundTrip(toUnicode, fromUnicode, QByteArray(1, char(b)), quint16(b));
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail)
                pair[size_t(lead << 8 | trail)] =
                    roundTrip(toUnicode, fromUnicode, QByteArray(1, char(lead)).append(char(trail)),
                              quint16(lead << 8 | trail));
        iconv_close(toUnicode);
        iconv_close(fromUnicode);
    }

    // The character of the bytes when it encodes back to them; kNone otherwise.
    char16_t roundTrip(iconv_t toUnicode, iconv_t fromUnicode, QByteArray bytes, quint16 code)
    {
        char16_t unit[2] = {};
        char *in = bytes.data();
        size_t inLeft = size_t(bytes.size());
        char *out = reinterpret_cast<char *>(unit);
        size_t outLeft = sizeof unit;
        iconv(toUnicode, nullptr, nullptr, nullptr, nullptr);
        if (iconv(toUnicode, &in, &inLeft, &out, &outLeft) == size_t(-1) || outLeft != sizeof unit - 2)
            return kNone;
        char back[4] = {};
        in = reinterpret_cast<char *>(unit);
        inLeft = 2;
        out = back;
        outLeft = sizeof back;
        iconv(fromUnicode, nullptr, nullptr, nullptr, nullptr);
        if (iconv(fromUnicode, &in, &inLeft, &out, &outLeft) == size_t(-1))
            return kNone;
        const size_t length = sizeof back - outLeft;
        const quint16 encoded = length == 1 ? quint16(uchar(back[0]))
                                            : quint16(uchar(back[0]) << 8 | uchar(back[1]));
        if (length < 1 || length > 2 || encoded != code)
            return kNone;
        bytesOf[unit[0]] = code;
        return unit[0];
    }
};

const Tables &tables()
{
    static const std::unique_ptr<Tables> t = std::make_unique<Tables>();
    return *t;
}

// Decodes, giving each byte that is no character to `onBadByte`.
template <typename OnBadByte>
QString decode(QByteArrayView bytes, OnBadByte onBadByte)
{
    const Tables &t = tables();
    QString out;
    out.resize(bytes.size());
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    qsizetype n = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            o[n++] = b;
            continue;
        }
        if (isLeadByte(b) && i + 1 < size) {
            const char16_t c = t.pair[size_t(b << 8 | uchar(bytes[i + 1]))];
            if (c != kNone) {
                o[n++] = c;
                ++i;
                continue;
            }
        }
        const char16_t c = t.single[b];
        o[n++] = c != kNone ? c : onBadByte(b);
    }
    out.truncate(n);
    return out;
}

// Encodes, turning a unit without bytes into what `onNoBytes` gives (0 = "?").
template <typename OnNoBytes>
QByteArray encode(QStringView text, OnNoBytes onNoBytes)
{
    const Tables &t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const quint16 code = t.bytesOf[unit];
        if (code > 0xFF) {
            out.append(char(code >> 8)).append(char(code & 0xFF));
        } else if (code != 0 || unit == 0) {
            out.append(char(code));
        } else {
            out.append(onNoBytes(unit));
            // A surrogate pair is one character without a Big5 form: one "?".
            if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
        }
    }
    return out;
}

} // namespace

QString big5Decode(QByteArrayView bytes)
{
    return decode(bytes, [](uchar) { return kReplacement; });
}

QByteArray big5Encode(QStringView text)
{
    return encode(text, [](char16_t) { return '?'; });
}

QString big5DecodeKeeping(QByteArrayView bytes)
{
    return decode(bytes, [](uchar b) { return char16_t(0xDC00 + b); });
}

QByteArray big5EncodeKeeping(QStringView text)
{
    return encode(text, [](char16_t unit) { return isKeptByte(unit) ? char(unit - 0xDC00) : '?'; });
}

qsizetype firstNonBig5(QStringView text)
{
    const Tables &t = tables();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit != 0 && t.bytesOf[unit] == 0 && !isKeptByte(unit))
            return i;
    }
    return -1;
}

} // namespace platform
