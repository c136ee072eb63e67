#pragma once
// The commands of the schema menu ("資料庫相關資訊") as one table: each row says which
// lists must have a current entry, which OLE DB schema rowset it opens with which
// restriction list, and how the result is named and shown. The window runs a row with
// Tfm_ADO_Schema::runSchemaCommand; its nsi…Click handlers only name their row.
#include <QString>
#include <QVariant>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace gui {

// A list that must have a current entry before the command touches the connection.
enum class ListCheck { None, Table, Field, Index };

// Where a restriction value comes from.
enum class RestrictionSource {
    None,     // unused slot of the table row
    Database, // the connection's current database when it opened (FDatabaseName)
    Table,    // current entry of the table list: the table's own name
    TableSchema, // the current table's schema; no value when the source names none
    Field,    // current entry of the field list
    Index,    // current entry of the index list
    Literal,  // the row's text, passed as it stands
};

struct RestrictionFill {
    int position = 0; // 1-based, in the order the rowset defines its restriction columns
    RestrictionSource source = RestrictionSource::None;
    const char *literal = nullptr;
};

// Restriction length of a command that passes no list at all.
constexpr int kNoRestrictions = -1;

struct SchemaCommand {
    const char *item;      // menu item; its handler is item + "Click"
    const char *caption;   // menu caption
    std::array<ListCheck, 2> checks;
    const char *rowset;    // OLE DB schema rowset name, as OpenSchema takes it
    int rowsetNumber;      // the rowset's number in the ADO schema enumeration
    int restrictionLength; // full length of the list; kNoRestrictions = none passed
    std::array<RestrictionFill, 5> fills;
    const char *key;       // put into FSchemaKey; nullptr = FSchemaKey unchanged
    const char *name;      // grid caption and XML file name
    const char *status;    // status bar panel 4
    int page;              // page in front afterwards (2 Schema, 1 index list)
    bool apply;            // re-apply the stored column visibility afterwards
    bool enablesCheckConstraints; // the table-constraints commands enable "檢核"

    // Section of the settings file that holds this rowset's column visibility.
    QString settingsSection() const;
};

// Every schema command, visible and hidden, in menu order.
std::span<const SchemaCommand> schemaCommands();
// The row of a menu item ("nsiColumns"); nullptr when there is none.
const SchemaCommand *findSchemaCommand(const QString &item);

// The restriction list of a command: nullopt when it passes none at all, otherwise a list
// of the full length whose unnamed positions hold no value (invalid QVariant, not an
// empty text). valueOf gives the database, table, field and index texts; it is asked only
// for the sources the row names, and may throw (a list without a current entry).
std::optional<std::vector<QVariant>>
buildRestrictions(const SchemaCommand &command,
                  const std::function<QString(RestrictionSource)> &valueOf);

} // namespace gui
