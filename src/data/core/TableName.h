#pragma once
// A table as the catalog names it: its schema (owner) and its own name, kept apart. A
// name may hold a dot ("Q1.Orders"), so the pair is never written as one text to be
// split again; SQL gets it quoted part by part.
#include <QString>
#include <optional>

namespace data {

class ProviderSession;

struct TableName {
    QString schema; // empty: the source names no schema (SQLite)
    QString name;
    bool operator==(const TableName &) const = default;
};

// A table as the table list holds it: the pair and the text shown for it.
struct ListedTable {
    TableName table;
    QString label;
};

// How the table list shows a table: the plain name for a table of the user's default
// schema (or of a source without schemas), "schema.name" for any other. With the
// default schema unknown every table is shown by its plain name.
QString listedTableName(const TableName &table, const std::optional<QString> &defaultSchema);

// The table as SQL names it: [schema].[name] on SQL Server ("schema"."name" elsewhere),
// the quoted name alone when there is no schema.
QString qualifiedTableName(const ProviderSession &session, const TableName &table);

} // namespace data
