#include "data/core/ConnectionString.h"
#include <QHash>

namespace data {

ConnectionString::ConnectionString(const QString &text)
    : items_(parse(text).items_)
{
}

ConnectionString ConnectionString::parse(const QString &text)
{
    ConnectionString cs;
    // Where each name stands, so that a long string parses in linear time; a name met
    // again replaces its value in place, as set() does.
    QHash<QString, size_t> positions;
    auto put = [&](const QString &name, const QString &value) {
        const QString folded = name.toCaseFolded();
        const auto at = positions.constFind(folded);
        if (at != positions.cend()) {
            cs.items_[*at].second = value;
            return;
        }
        positions.insert(folded, cs.items_.size());
        cs.items_.emplace_back(name, value);
    };
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // name up to "="
        qsizetype eq = text.indexOf(QLatin1Char('='), i);
        qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // a piece without "=": keep it as a name with an empty value (skip blanks)
            qsizetype end = semi < 0 ? n : semi;
            QString name = text.mid(i, end - i).trimmed();
            if (!name.isEmpty()) {
                const QString folded = name.toCaseFolded();
                if (!positions.contains(folded))
                    positions.insert(folded, cs.items_.size());
                cs.items_.emplace_back(name, QString());
            }
            i = end + 1;
            continue;
        }
        QString name = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text.at(i) == QLatin1Char(' '))
            ++i;
        QString value;
        if (i < n && (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\''))) {
            const QChar quote = text.at(i++);
            while (i < n) {
                if (text.at(i) == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text.at(i++);
            }
            qsizetype end = text.indexOf(QLatin1Char(';'), i);
            i = end < 0 ? n : end + 1;
        } else {
            qsizetype end = text.indexOf(QLatin1Char(';'), i);
            if (end < 0)
                end = n;
            value = text.mid(i, end - i).trimmed();
            i = end + 1;
        }
        if (!name.isEmpty())
            put(name, value);
    }
    return cs;
}

QString ConnectionString::toString() const
{
    QStringList parts;
    for (const auto &[name, value] : items_) {
        QString v = value;
        const bool needsQuotes = v.contains(QLatin1Char(';')) || v.startsWith(QLatin1Char('"')) ||
                                 v.startsWith(QLatin1Char('\'')) || v != v.trimmed();
        if (needsQuotes) {
            if (v.contains(QLatin1Char('"')) && !v.contains(QLatin1Char('\''))) {
                v = QLatin1Char('\'') + v + QLatin1Char('\'');
            } else {
                v.replace(QLatin1String("\""), QLatin1String("\"\""));
                v = QLatin1Char('"') + v + QLatin1Char('"');
            }
        }
        parts << name + QLatin1Char('=') + v;
    }
    return parts.join(QLatin1Char(';'));
}

bool ConnectionString::contains(const QString &name) const
{
    for (const auto &item : items_)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionString::value(const QString &name) const
{
    for (const auto &item : items_)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0)
            return item.second;
    return QString();
}

void ConnectionString::set(const QString &name, const QString &value)
{
    for (auto &item : items_)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0) {
            item.second = value;
            return;
        }
    items_.emplace_back(name, value);
}

void ConnectionString::remove(const QString &name)
{
    std::erase_if(items_, [&](const auto &item) {
        return item.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

ConnectionString ConnectionString::resolveDataLinkFile() const
{
    const QString file = value(QStringLiteral("File Name"));
    if (!contains(QStringLiteral("File Name")))
        return *this;
    ConnectionString resolved(readDataLinkFile(file));
    for (const auto &[name, v] : items_)
        if (name.compare(QLatin1String("File Name"), Qt::CaseInsensitive) != 0)
            resolved.set(name, v);
    return resolved;
}

QString firstOf(const ConnectionString &cs, std::initializer_list<const char *> names)
{
    for (const char *n : names) {
        const QString v = cs.value(QLatin1String(n));
        if (!v.trimmed().isEmpty())
            return v.trimmed();
    }
    return QString();
}

} // namespace data
