#pragma once
// SQL the program builds from names it did not get from the user's own typing: the
// table list's click, the batch export, the maintenance commands, schema helpers and row
// counts. A table may be called `t;DELETE FROM victim`, `a]b` or `客戶 资料`; such a
// name must reach the database as one identifier, never as SQL.
//
// The rules every builder follows:
//  - a name goes through the session's quoteIdentifier() ([...] on SQL Server, "..."
//    elsewhere), never pasted as it stands;
//  - a value inside a string literal goes through quoteString(), or better is bound as
//    a parameter (Params);
//  - a command built from one name runs as one statement: give it to the dataset,
//    command or session with StatementScope::OneStatement. Batches of several statements
//    (maintenance "Use" batches) rely on the quoting alone.
//
// Examples:
//     // every row of a listed table (table list click, batch export)
//     dataset.setCommandText(data::selectAllFrom(connection.session(), table),
//                            data::StatementScope::OneStatement);
//     dataset.Open();
//
//     // a name inside a string literal inside brackets (SQL Server index rebuild)
//     const data::ProviderSession &s = connection.session();
//     query.SQL() << "DBCC DBReindex (" + s.quoteString("[dbo]." + s.quoteIdentifier(table)) +
//                        ",'', 0) WITH NO_INFOMSGS";
//
//     // a name as a procedure's argument: quoted as a value
//     query.SQL() << "EXEC sp_columns @table_name = " + s.quoteString(table);
#include <QString>

namespace data {

class ProviderSession;
struct TableName;

// The identifier quoting of a database whose quote character is `quote`: "[" quotes as
// [...] with ] doubled; any other character encloses the name and is doubled inside it.
// Empty or blank (a driver that reports no quote character) takes the standard double
// quote, which every SQL database reads.
QString quoteIdentifierWith(const QString &quote, const QString &name);

// '...' with every ' doubled; `national` puts N in front (SQL Server's Unicode literal).
QString quoteStringLiteral(const QString &value, bool national = false);

// "Select * From " + the quoted table: all rows of one table or view.
QString selectAllFrom(const ProviderSession &session, const QString &table);
// The same for a listed table: its schema and name quoted apart ([schema].[name]).
QString selectAllFrom(const ProviderSession &session, const TableName &table);

} // namespace data
