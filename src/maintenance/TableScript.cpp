#include "TableScript.h"
#include "data/core/SqlNames.h"
#include "platform/Big5Codec.h"
#include "platform/PlainFileName.h"
#include <QRegularExpression>
#include "platform/SaveFile.h"
#include <QSaveFile>
#include <cerrno>
#include <QSet>
#include <stdexcept>

namespace maintenance {

std::vector<ScriptColumn> scriptColumnsOf(data::CommandQuery &spColumns)
{
    std::vector<ScriptColumn> columns;
    data::Field *name = spColumns.FieldByName(QStringLiteral("COLUMN_NAME"));
    data::Field *type = spColumns.FieldByName(QStringLiteral("TYPE_NAME"));
    data::Field *length = spColumns.FieldByName(QStringLiteral("LENGTH"));
    data::Field *nullable = spColumns.FieldByName(QStringLiteral("NULLABLE"));
    for (spColumns.First(); !spColumns.Eof(); spColumns.Next())
        columns.push_back({name->AsString(), type->AsString(), length->AsString(), nullable->AsInteger() != 0});
    return columns;
}

namespace {

const QString kColumnIndent = QStringLiteral("      ");

// SQL Server's reserved keywords: a column or table of such a name needs brackets.
const QSet<QString> &reservedWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char *w :
             {"ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN",
              "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED",
              "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE",
              "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME",
              "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE",
              "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT", "DISTRIBUTED", "DOUBLE", "DROP", "DUMP",
              "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "EXTERNAL",
              "FETCH", "FILE", "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL",
              "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT",
              "IDENTITYCOL", "IF", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY",
              "KILL", "LEFT", "LIKE", "LINENO", "LOAD", "MERGE", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT",
              "NULL", "NULLIF", "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY",
              "OPENROWSET", "OPENXML", "OPTION", "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN",
              "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT",
              "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVERT", "REVOKE",
              "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SECURITYAUDIT",
              "SELECT", "SEMANTICKEYPHRASETABLE", "SEMANTICSIMILARITYDETAILSTABLE",
              "SEMANTICSIMILARITYTABLE", "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS",
              "SYSTEM_USER", "TABLE", "TABLESAMPLE", "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION",
              "TRIGGER", "TRUNCATE", "TRY_CONVERT", "TSEQUAL", "UNION", "UNIQUE", "UNPIVOT", "UPDATE",
              "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE",
              "WITH", "WRITETEXT"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

// First a letter or "_"; then letters, digits, "_", "@", "$" or "#".
bool isRegularIdentifier(const QString &name)
{
    static const QRegularExpression regular(
        QStringLiteral("^[\\p{L}_][\\p{L}\\p{Nd}_@$#]*$"));
    return regular.match(name).hasMatch() && !reservedWords().contains(name.toUpper());
}

QString columnLine(const ScriptColumn &column, bool last)
{
    QString line = kColumnIndent + scriptName(column.name) + QLatin1Char(' ') + column.typeName +
                   QLatin1Char(' ') + column.length + QLatin1Char(' ') +
                   (column.nullable ? QStringLiteral("NULL ") : QStringLiteral("NOT NULL "));
    if (!last)
        line += QLatin1Char(',');
    return line;
}

} // namespace

QString scriptName(const QString &name)
{
    return isRegularIdentifier(name) ? name : data::quoteIdentifierWith(QStringLiteral("["), name);
}

QString scriptTableName(const data::ListedTable &table)
{
    if (table.table.schema.isEmpty() || table.label == table.table.name)
        return scriptName(table.table.name);
    return scriptName(table.table.schema) + QLatin1Char('.') + scriptName(table.table.name);
}

QStringList tableScript(const QString &table, const std::vector<ScriptColumn> &columns)
{
    return tableScript(data::ListedTable{data::TableName{QString(), table}, table}, columns);
}

QStringList tableScript(const data::ListedTable &table, const std::vector<ScriptColumn> &columns)
{
    QStringList lines{QStringLiteral("CREATE TABLE ") + scriptTableName(table), QStringLiteral("(")};
    for (size_t i = 0; i < columns.size(); ++i)
        lines << columnLine(columns[i], i + 1 == columns.size());
    lines << QStringLiteral(")");
    return lines;
}

QString scriptFileName(const QString &table)
{
    return QStringLiteral("Create_") + platform::plainFileName(table) + QStringLiteral(".sql");
}

QByteArray scriptFileBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += platform::big5Encode(line) + "\r\n";
    return bytes;
}

void saveScriptFile(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    if (!platform::openForSave(file))
        throw std::runtime_error(
            QStringLiteral("無法建立檔案 %1：%2").arg(path, file.errorString()).toStdString());
    const QByteArray bytes = scriptFileBytes(lines);
    errno = 0;
    if (!platform::writeAll(file, bytes.constData(), bytes.size()) || !file.commit())
        throw std::runtime_error(
            QStringLiteral("無法寫入檔案 %1：%2").arg(path, platform::saveFailureReason(file, errno)).toStdString());
}

} // namespace maintenance
