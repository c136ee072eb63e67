#pragma once
// The timing log of the batch export: one line per table, "[" + table + "]" + start +
// " 至 " + end, then "總所需時間：" + batch start + " 至 " + batch end. Times as the
// workstation shows them: its short date and long time (platform/RegionalDateTime.h).
// Written in code page 950 with CR LF after every line, replacing the file.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace exchange {

QString logTimeText(const QDateTime &when);
QString tableLogLine(const QString &table, const QDateTime &start, const QDateTime &end);
QString totalLogLine(const QDateTime &start, const QDateTime &end);

// Throws ExportError with the file's error text; a failed write leaves the old file.
void writeLogLines(const QString &path, const QStringList &lines);

} // namespace exchange
