#include "CommonUtils.h"
#include "platform/ComputerName.h"
#include "platform/UiServices.h"
#include "platform/VersionInfo.h"
#include <cmath>

void ShowProgramMessage(QObject *owner, const QString &text)
{
    platform::ui().showMessage(owner, kProgramMessageTitle, text, platform::MessageIcon::None,
                               true);
}

QString DateStamp(const QDateTime &value)
{
    const QDate d = value.date();
    const QLatin1Char zero('0');
    return QStringLiteral("%1%2%3")
        .arg(d.year(), 4, 10, zero)
        .arg(d.month(), 2, 10, zero)
        .arg(d.day(), 2, 10, zero);
}

qint32 RoundToInt(double x)
{
    // std::round rounds halves away from zero, as formatting with no decimals does.
    return qint32(std::llround(x));
}

QString GetComputerNameText()
{
    return GetComputerNameText(platform::hostName());
}

QString GetComputerNameText(const QByteArray &hostName)
{
    return platform::netbiosFormOf(hostName);
}

std::array<QString, 4> GetVersionParts(quint32 productVersionMS, quint32 productVersionLS)
{
    const quint32 parts[4] = {productVersionMS >> 16, productVersionMS & 0xFFFFu,
                              productVersionLS >> 16, productVersionLS & 0xFFFFu};
    std::array<QString, 4> texts;
    // Each part is kept in a four-character field: longer numbers lose their tail.
    for (int i = 0; i < 4; ++i)
        texts[size_t(i)] = QString::number(parts[i]).left(4);
    return texts;
}

std::array<QString, 4> GetVersionParts()
{
    const platform::ProductVersion v = platform::productVersion();
    return GetVersionParts(v.mostSignificant, v.leastSignificant);
}

TSQLKind GetSQLKind(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= ' ')
        --end;

    QString s = text.mid(begin, end - begin);
    for (QChar &c : s)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));

    if (s.contains(QLatin1String("insert ")))
        return skInsert;
    if (s.contains(QLatin1String("update ")))
        return skUpdate;
    if (s.contains(QLatin1String("select ")))
        return skSelect;
    return skOther;
}
