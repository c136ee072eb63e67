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
// written in brackets so the script creates that very table. A table listed outside the
// login's default schema is written schema.name, each part on its own.
#include "data/core/CommandQuery.h"
#include "data/core/TableName.h"
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

// The rows of an opened sp_columns result, first to last.
std::vector<ScriptColumn> scriptColumnsOf(data::CommandQuery &spColumns);

QStringList tableScript(const QString &table, const std::vector<ScriptColumn> &columns);
QStringList tableScript(const data::ListedTable &table, const std::vector<ScriptColumn> &columns);

// The name as it stands when SQL Server reads it as a regular identifier that is no
// reserved word; otherwise in brackets with "]" doubled. A regular identifier starts
// with a letter or "_": a leading "@" names a variable and "#" a temporary table.
QString scriptName(const QString &name);
// The table as the script's head names it: its plain name when it is listed so (the
// default schema's tables), otherwise schema.name.
QString scriptTableName(const data::ListedTable &table);

// Default name of the script file: "Create_" + table + ".sql", the table's name made a
// plain file name (platform/PlainFileName.h), so it never makes folders.
QString scriptFileName(const QString &table);

// The lines in code page 950, each followed by CR LF.
QByteArray scriptFileBytes(const QStringList &lines);
// Writes the lines through a temporary file renamed over `path`; throws std::runtime_error
// with the reason when the file cannot be written.
void saveScriptFile(const QString &path, const QStringList &lines);

} // namespace maintenance
