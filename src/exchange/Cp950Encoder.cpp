#include "Cp950Encoder.h"
#include <QChar>
#include <QString>
#include <iconv.h>

namespace exchange {

namespace {

constexpr uint16_t kNoForm = 0xFFFF;

iconv_t openEncoder()
{
    // glibc knows code page 950 as "CP950"; other libraries only as plain Big5.
    iconv_t cd = iconv_open("CP950", "UTF-16LE");
    if (cd == iconv_t(-1))
        cd = iconv_open("BIG5", "UTF-16LE");
    return cd;
}

} // namespace

const Cp950Encoder &Cp950Encoder::instance()
{
    static const Cp950Encoder encoder;
    return encoder;
}

Cp950Encoder::Cp950Encoder()
{
    bytesOf_.fill(kNoForm);
    for (unsigned u = 0; u < 0x80; ++u)
        bytesOf_[u] = uint16_t(u);
    iconv_t cd = openEncoder();
    if (cd == iconv_t(-1))
        return; // ASCII only
    for (unsigned u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        char in[2] = {char(u & 0xFF), char(u >> 8)};
        char out[8];
        char *inPtr = in;
        char *outPtr = out;
        size_t inLeft = 2, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1))
            continue;
        const size_t n = sizeof out - outLeft;
        if (n == 1)
            bytesOf_[u] = uint8_t(out[0]);
        else if (n == 2 && uint8_t(out[0]) >= 0x81)
            bytesOf_[u] = uint16_t(uint8_t(out[0]) << 8 | uint8_t(out[1]));
    }
    iconv_close(cd);
}

bool Cp950Encoder::appendUnit(char16_t unit, std::string &out) const
{
    const uint16_t b = bytesOf_[unit];
    if (b == kNoForm) {
        out.push_back('?');
        return false;
    }
    if (b < 0x100) {
        out.push_back(char(b));
    } else {
        out.push_back(char(b >> 8));
        out.push_back(char(b & 0xFF));
    }
    return true;
}

bool Cp950Encoder::append(QStringView text, std::string &out) const
{
    bool exact = true;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            out.push_back(char(u));
        } else if (QChar::isSurrogate(u)) {
            // Code page 950 has nothing outside the BMP: one "?" per character.
            if (QChar::isHighSurrogate(u) && i + 1 < n && text[i + 1].isLowSurrogate())
                ++i;
            out.push_back('?');
            exact = false;
        } else if (!appendUnit(u, out)) {
            exact = false;
        }
    }
    return exact;
}

bool Cp950Encoder::appendUtf8(std::string_view utf8, std::string &out) const
{
    size_t i = 0;
    const size_t n = utf8.size();
    // ASCII runs go straight through.
    while (i < n && uint8_t(utf8[i]) < 0x80)
        ++i;
    out.append(utf8.data(), i);
    if (i == n)
        return true;
    return append(QString::fromUtf8(utf8.data() + i, qsizetype(n - i)), out);
}

} // namespace exchange
