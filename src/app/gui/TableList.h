#pragma once
// The user-table list of page 0 and the field and index lists of the table last
// double-clicked. Knows nothing of the window: it lists names from the connection.
#include "data/core/TableName.h"
#include <QList>
#include <QString>

class QListWidget;

namespace data {
class Connection;
class Dataset;
}

namespace gui {

class TableListBox;

class TableList {
public:
    TableList(data::Connection &connection, TableListBox *tables, QListWidget *fields,
              QListWidget *indexes);

    // Replaces the table list with the database's tables and views (opening a closed
    // connection first). On failure the list keeps what it held.
    void fetchTables();
    // Fills the field and index lists for the current table; nothing when the list is
    // empty.
    void showCurrentTableDetails();
    // The entry holding the focus mark; empty when there is none. currentTable() is its
    // text as listed (the grid caption, the display-label section, the proposed file
    // names); currentTableName() the table it stands for, which SQL uses.
    bool hasCurrentTable() const;
    QString currentTable() const;
    data::TableName currentTableName() const;
    // Every entry, in list order (the index rebuild works on all of them).
    QList<data::ListedTable> listedTables() const;
    // Opens every row of the current table into `dataset` ("Select * From " + its schema
    // and name quoted for the database, run as one statement). Returns the listed text.
    QString openCurrentTable(data::Dataset &dataset) const;
    // Empties all three lists, leaving none with a current entry.
    void clear();

    // The selection of the table list (the batch export's to-do list).
    struct SelectedTable {
        int row = -1;
        QString name; // as listed
        data::TableName table;
    };
    // Selected entries in list order.
    QList<SelectedTable> selectedTables() const;
    void deselect(const SelectedTable &table);
    // Select or deselect every entry and make the first one current; nothing on an
    // empty list.
    void selectAll();
    void clearSelection();

    // The table whose indexes the index list shows (the table dataset's table name).
    const QString &indexTableName() const { return indexTableName_; }

private:
    data::Connection &connection_;
    TableListBox *tables_;
    QListWidget *fields_;
    QListWidget *indexes_;
    QString indexTableName_;
};

} // namespace gui
