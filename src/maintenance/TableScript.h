#pragma once
// The CREATE TABLE script of a table, built from the rows sp_columns gives for it, and its
// file: code page 950 (the workstation's ANSI code page), CR LF after every line.
//
//     CREATE TABLE T
//     (
//           id int 4 NOT NULL ,
//           name varchar 20 NULL 
//     )
//
// Six blanks open a column line; the length stands bare after the type name; "NOT NULL "
// or "NULL " ends with a blank, and every column line but the last carries a comma after
// it. A table or column name that is no plain identifier ("a b", "O'Brien", "select") is
// written in brackets so the script creates that very table.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace maintenance {

// One row of sp_columns, as text where the script shows it.
struct ScriptColumn {
    QString name;     // COLUMN_NAME
    QString typeName; // TYPE_NAME
    QString length;   // LENGTH
    bool nullable = true; // NULLABLE is not 0
};

QStringList tableScript(const QString &table, const std::vector<ScriptColumn> &columns);

// The name as it stands when SQL Server reads it as a regular identifier that is no
// reserved word; otherwise in brackets with "]" doubled.
QString scriptName(const QString &name);

// Default name of the script file: "Create_" + table + ".sql", the table's name made a
// plain file name (platform/PlainFileName.h), so it never makes folders.
QString scriptFileName(const QString &table);

// The lines in code page 950, each followed by CR LF.
QByteArray scriptFileBytes(const QStringList &lines);
// Writes the lines through a temporary file renamed over `path`; throws std::runtime_error
// with the reason when the file cannot be written.
void saveScriptFile(const QString &path, const QStringList &lines);

} // namespace maintenance
