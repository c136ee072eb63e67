#include "MaintenanceStatements.h"
#include "data/core/SqlNames.h"

namespace maintenance {

namespace {

QString bracketed(const QString &name)
{
    return data::quoteIdentifierWith(QStringLiteral("["), name);
}

// N'...': the server reads a plain '...' literal in its own code page, which turns a
// name outside it ("资") into "?".
QString literal(const QString &value)
{
    return data::quoteStringLiteral(value, true);
}

QString useLine(const QString &database)
{
    return QStringLiteral("Use ") + bracketed(database);
}

} // namespace

QString reindexStatement(const data::TableName &table)
{
    const QString schema = table.schema.isEmpty() ? QString() : bracketed(table.schema) + QLatin1Char('.');
    return QStringLiteral("DBCC DBReindex (") + literal(schema + bracketed(table.name)) +
           QStringLiteral(",'', 0) WITH NO_INFOMSGS");
}

QStringList shrinkDataBatch(const QString &database)
{
    return {useLine(database), QStringLiteral("DBCC SHRINKFILE (1, 2)")};
}

QStringList shrinkLogBatch()
{
    return {QStringLiteral("DBCC SHRINKFILE (2, 2)")};
}

QStringList fileListBatch(const QString &database)
{
    return {useLine(database), QStringLiteral("Select * From sysfiles ")};
}

BackupTargets backupTargets(const QString &database, const QString &folder, const QString &stamp)
{
    return {database + QStringLiteral("_AllData"), database + QStringLiteral("_Log"),
            folder + database + QStringLiteral("_db_") + stamp + QStringLiteral(".bak"),
            folder + database + QStringLiteral("_log_") + stamp + QStringLiteral(".trn")};
}

QStringList backupBatch(const QString &database, const BackupTargets &t)
{
    const QString dev = literal(t.dataDevice);
    const QString logdev = literal(t.logDevice);
    return {
        QStringLiteral("Use master"),
        QStringLiteral("if Exists (Select * From sysdevices Where name = %1)").arg(dev),
        QStringLiteral("  Exec sp_dropdevice %1").arg(dev),
        QStringLiteral("if Exists (Select * From sysdevices Where name = %1)").arg(logdev),
        QStringLiteral("  Exec sp_dropdevice %1").arg(logdev),
        QStringLiteral("EXEC sp_addumpdevice 'disk', %1, %2").arg(dev, literal(t.dataFile)),
        QStringLiteral("EXEC sp_addumpdevice 'disk', %1, %2").arg(logdev, literal(t.logFile)),
        QStringLiteral("BACKUP DATABASE %1 TO %2").arg(bracketed(database), bracketed(t.dataDevice)),
        QStringLiteral("BACKUP LOG %1 TO %2").arg(bracketed(database), bracketed(t.logDevice)),
    };
}

QString exactLikePattern(const QString &name)
{
    QString pattern;
    pattern.reserve(name.size());
    for (const QChar c : name) {
        if (c == QLatin1Char('_') || c == QLatin1Char('%') || c == QLatin1Char('['))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    return pattern;
}

QString columnsStatement(const data::TableName &table)
{
    QString statement = QStringLiteral("EXEC sp_columns @table_name = ") + literal(exactLikePattern(table.name));
    if (!table.schema.isEmpty())
        statement += QStringLiteral(", @table_owner = ") + literal(exactLikePattern(table.schema));
    return statement;
}

} // namespace maintenance
