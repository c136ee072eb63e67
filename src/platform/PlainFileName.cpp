#include "PlainFileName.h"

namespace platform {

namespace {

constexpr QChar kReplacement = QLatin1Char('_');

int utf8Bytes(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool namesAFolderOrControl(char32_t c)
{
    return c == U'/' || c == U'\\' || QChar::category(c) == QChar::Other_Control ||
           QChar::isSurrogate(c); // only an unpaired half reaches here
}

} // namespace

QString plainFileName(const QString &text)
{
    QString name;
    int bytes = 0;
    bool leading = true;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            units = 2;
        }
        if (namesAFolderOrControl(c) || (leading && c == U'.'))
            c = kReplacement.unicode();
        leading = leading && c == kReplacement.unicode();
        bytes += utf8Bytes(c);
        if (bytes > kPlainFileNameMaxBytes)
            break;
        name += QString::fromUcs4(&c, 1);
        i += units - 1;
    }
    return name;
}

} // namespace platform
