#include "Big5Codec.h"
#include <cerrno>
#include <iconv.h>
#include <algorithm>
#include <mutex>

namespace platform {

namespace {

// iconv descriptors keep conversion state, so each direction has one, guarded by a lock.
struct Converter {
    iconv_t cd = iconv_t(-1);
    std::mutex lock;
    // glibc knows code page 950 as "CP950"; other libraries only as plain Big5.
    Converter(const char *to, const char *from, const char *altTo, const char *altFrom)
    {
        cd = iconv_open(to, from);
        if (cd == iconv_t(-1))
            cd = iconv_open(altTo, altFrom);
    }
    ~Converter()
    {
        if (cd != iconv_t(-1))
            iconv_close(cd);
    }
};

Converter &decoder()
{
    static Converter c("UTF-16LE", "CP950", "UTF-16LE", "BIG5");
    return c;
}

Converter &encoder()
{
    static Converter c("CP950", "UTF-16LE", "BIG5", "UTF-16LE");
    return c;
}

} // namespace

QString big5Decode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QString();
    Converter &c = decoder();
    if (c.cd == iconv_t(-1))
        return QString::fromLatin1(bytes);
    std::lock_guard<std::mutex> guard(c.lock);
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    QString out;
    out.reserve(bytes.size());
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char16_t buffer[512];
    while (inLeft > 0) {
        char *outPtr = reinterpret_cast<char *>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(c.cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(reinterpret_cast<const QChar *>(buffer), qsizetype((sizeof buffer - outLeft) / 2));
        if (r == size_t(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a lead byte at the end): one replacement per bad byte.
            out.append(QChar(0xFFFD));
            ++in;
            --inLeft;
            iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QByteArray big5Encode(const QString &text)
{
    if (text.isEmpty())
        return QByteArray();
    Converter &c = encoder();
    if (c.cd == iconv_t(-1))
        return text.toLatin1();
    std::lock_guard<std::mutex> guard(c.lock);
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray out;
    out.reserve(text.size() * 2);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = size_t(text.size()) * 2;
    char buffer[1024];
    while (inLeft > 0) {
        char *outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(c.cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, qsizetype(sizeof buffer - outLeft));
        if (r == size_t(-1)) {
            if (errno == E2BIG)
                continue;
            // A character without a Big5 form (a surrogate pair counts as one).
            const char16_t unit = char16_t(uchar(in[0]) | (uchar(in[1]) << 8));
            const size_t skip = (QChar::isHighSurrogate(unit) && inLeft >= 4) ? 4 : 2;
            out.append('?');
            in += skip;
            inLeft -= std::min(skip, inLeft);
            iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

} // namespace platform
