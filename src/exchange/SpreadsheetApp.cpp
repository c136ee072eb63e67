#include "SpreadsheetApp.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace exchange {

namespace {

struct KnownProgram {
    const char *name;
    const char *argument; // nullptr: none
};

// In order of preference.
constexpr KnownProgram kKnownPrograms[] = {
    {"localc", nullptr}, {"libreoffice", "--calc"}, {"soffice", "--calc"}, {"gnumeric", nullptr},
};

// The desktop entry xdg-mime names for .xls files, when that entry is installed.
bool desktopHasXlsHandler()
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/vnd.ms-excel")});
    if (!query.waitForFinished(3000) || query.exitCode() != 0)
        return false;
    const QString entry = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (entry.isEmpty() || entry.contains(QLatin1Char('/')))
        return false;
    return !QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry).isEmpty();
}

} // namespace

SpreadsheetApp findSpreadsheetApp()
{
    if (desktopHasXlsHandler()) {
        const QString open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!open.isEmpty())
            return {open, {}};
    }
    for (const KnownProgram &p : kKnownPrograms) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(p.name));
        if (!path.isEmpty())
            return {path, p.argument ? QStringList{QString::fromLatin1(p.argument)} : QStringList{}};
    }
    return {};
}

} // namespace exchange
