// Console listing of a database: every table and view with its fields and indexes.
//   adoschema-tables <database file>          (opened with the embedded SQLite provider)
//   adoschema-tables "<connection string>"    (any provider, e.g. Provider=SQLOLEDB.1;...)
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <exception>

namespace {

void print(FILE *out, const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fputc('\n', out);
}

int fail(const QString &message)
{
    print(stderr, QStringLiteral("adoschema-tables: ") + message);
    return 1;
}

// A path to an existing file opens it with SQLite; anything with "=" is taken as a
// connection string as it stands.
bool connectionStringFor(const QString &argument, QString &result, QString &error)
{
    if (QFileInfo(argument).isFile()) {
        result = QStringLiteral("Provider=SQLite.1;Data Source=") +
                 QFileInfo(argument).absoluteFilePath();
        return true;
    }
    if (argument.contains(QLatin1Char('='))) {
        result = argument;
        return true;
    }
    error = QStringLiteral("no such database file: ") + argument;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1)
        return fail(QStringLiteral("usage: adoschema-tables <database file | connection string>"));

    QString connectionString;
    QString error;
    if (!connectionStringFor(args.first(), connectionString, error))
        return fail(error);

    try {
        data::Connection connection;
        connection.setConnectionString(connectionString);
        connection.Open();
        print(stdout, QStringLiteral("Provider: %1").arg(connection.Provider()));
        print(stdout, QStringLiteral("Database: %1").arg(connection.DefaultDatabase()));

        std::vector<data::ListedTable> tables;
        connection.GetTables(tables);
        print(stdout, QStringLiteral("Tables and views: %1").arg(tables.size()));
        for (const data::ListedTable &table : tables) {
            QStringList fields;
            QStringList indexes;
            connection.GetFieldNames(table.table, fields);
            connection.GetIndexNames(table.table, indexes);
            print(stdout, QString());
            print(stdout, table.label);
            print(stdout, QStringLiteral("  fields (%1): %2")
                              .arg(fields.size())
                              .arg(fields.join(QStringLiteral(", "))));
            print(stdout, QStringLiteral("  indexes (%1): %2")
                              .arg(indexes.size())
                              .arg(indexes.join(QStringLiteral(", "))));
        }
        connection.Close();
    } catch (const data::DatabaseError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    return 0;
}
