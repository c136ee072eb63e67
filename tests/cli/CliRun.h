#pragma once
// Runs the built console program as a separate process and collects what it leaves:
// exit status, standard output, standard error. Also the reference exports: the same
// table exported by the window's grid in this process, for byte comparisons.
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SqlNames.h"
#include "exchange/SpreadsheetApp.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace clitest {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    QString describe() const { return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(exitCode).arg(out, err); }
};

inline QString cliProgram()
{
    return qEnvironmentVariable("ADO_TEST_BINARY_DIR") + QStringLiteral("/src/app/adoschema");
}

inline CliResult finish(QProcess &p, int timeoutMs)
{
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    CliResult r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline CliResult runCli(const QStringList &args, int timeoutMs = 120000, const QString &program = cliProgram())
{
    QProcess p;
    p.start(program, args);
    p.closeWriteChannel();
    return finish(p, timeoutMs);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The export time of a workbook (row 1, "yyyy/mm/dd hh:mm", one-byte or two-byte
// characters) made constant, so two exports of the same rows compare equal.
inline QByteArray withoutExportTime(QByteArray bytes)
{
    static const QRegularExpression narrow(QStringLiteral("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d"));
    QString latin = QString::fromLatin1(bytes);
    latin.replace(narrow, QStringLiteral("0000/00/00 00:00"));
    QByteArray out = latin.toLatin1();
    // UTF-16 text: the same pattern with a zero byte after every character.
    static const QRegularExpression wide(QStringLiteral("(\\d\\x00){4}/\\x00(\\d\\x00){2}/\\x00(\\d\\x00){2} \\x00(\\d\\x00){2}:\\x00(\\d\\x00){2}"));
    QString again = QString::fromLatin1(out);
    again.replace(wide, QStringLiteral("0").repeated(32));
    return again.toLatin1();
}

// The window's export of every row of `table`: the grid shows the table as the table
// list opens it and exports it through its own command; `path` without extension.
inline bool gridExport(data::Connection &connection, const data::TableName &table, const QString &format,
                       const QString &path)
{
    testsupport::ScriptedUiScope ui;
    if (format == QLatin1String("xls") && exchange::findSpreadsheetApp().found())
        ui.answerNo();
    data::Dataset dataset;
    dataset.setConnection(&connection);
    dataset.setCommandText(data::selectAllFrom(connection.session(), table), data::StatementScope::OneStatement);
    components::TwDBGrid grid;
    grid.setDataSet(&dataset);
    dataset.Open();
    if (format == QLatin1String("txt"))
        return grid.ExportToText(path);
    if (format == QLatin1String("xls"))
        return grid.ExportToSpreadsheet(path);
    return grid.ExportToXML(path);
}

} // namespace clitest
