#pragma once
// The SQL of the SQL Server maintenance commands, line by line as the command query sends
// them (its lines are joined by CR LF into one batch). Names come from the table list and
// from the server's catalogue and may hold blanks, quotes, semicolons, "]", "_" or "%":
// a name standing as a name is bracketed with "]" doubled, a name inside a string literal
// has "'" doubled, so every name yields exactly the statement meant for it and never a
// second one. Literals are N'...': a name outside the server's code page ("资") would
// otherwise reach it as "?" and name another object or none.
#include "data/core/TableName.h"
#include <QString>
#include <QStringList>

namespace maintenance {

// "DBCC DBReindex (N'[{schema}].[{table}]','', 0) WITH NO_INFOMSGS": one statement.
QString reindexStatement(const data::TableName &table);

// The shrink's two batches: the data file of the database (which becomes the connection's
// current database), then the log file of the current database.
QStringList shrinkDataBatch(const QString &database); // "Use [db]", "DBCC SHRINKFILE (1, 2)"
QStringList shrinkLogBatch();                         // "DBCC SHRINKFILE (2, 2)"

// Rows of the database's files, the first one being the primary data file:
// "Use [db]", "Select * From sysfiles " (with its trailing blank).
QStringList fileListBatch(const QString &database);

// Dump devices (server objects in master) and the server-side files they write to.
struct BackupTargets {
    QString dataDevice; // {db}_AllData
    QString logDevice;  // {db}_Log
    QString dataFile;   // {folder}{db}_db_{stamp}.bak
    QString logFile;    // {folder}{db}_log_{stamp}.trn
};
// `folder` ends with its separator (backupFolder()); `stamp` is yyyymmdd.
BackupTargets backupTargets(const QString &database, const QString &folder, const QString &stamp);

// The nine lines of the backup batch: in master, drop and re-create both dump devices,
// then back the database and its log up to them.
QStringList backupBatch(const QString &database, const BackupTargets &targets);

// "EXEC sp_columns @table_name = N'{pattern}', @table_owner = N'{pattern}'": the columns
// of one table, in column order (no owner argument for a table without a schema).
// sp_columns matches both arguments as LIKE patterns, so "_", "%" and "[" in the names are
// escaped ([_], [%], [[]) and a table a_b does not also list the columns of axb, nor
// Sales.Orders those of dbo.Orders.
QString columnsStatement(const data::TableName &table);
// The name as a LIKE pattern that matches only itself.
QString exactLikePattern(const QString &name);

} // namespace maintenance
