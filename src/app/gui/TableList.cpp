#include "TableList.h"
#include "TableListBox.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SqlNames.h"
#include <QItemSelectionModel>
#include <QStringList>

namespace gui {

namespace {

// Where an entry keeps the table it stands for, beside the text it shows.
constexpr int kSchemaRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

data::TableName tableOf(const QListWidgetItem *item)
{
    return {item->data(kSchemaRole).toString(), item->data(kNameRole).toString()};
}

// Replaces a list's entries; the first one becomes current without being selected, the
// way an untouched list shows its focus mark.
void fill(QListWidget *list, const QStringList &names, bool selectCurrent)
{
    list->clear();
    list->addItems(names);
    if (names.isEmpty())
        return;
    if (selectCurrent)
        list->setCurrentRow(0);
    else
        list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

} // namespace

TableList::TableList(data::Connection &connection, TableListBox *tables, QListWidget *fields,
                     QListWidget *indexes)
    : connection_(connection), tables_(tables), fields_(fields), indexes_(indexes)
{
}

void TableList::fetchTables()
{
    std::vector<data::ListedTable> tables;
    connection_.GetTables(tables);
    QStringList labels;
    for (const data::ListedTable &t : tables)
        labels << t.label;
    fill(tables_, labels, false);
    for (int row = 0; row < tables_->count(); ++row) {
        tables_->item(row)->setData(kSchemaRole, tables.at(size_t(row)).table.schema);
        tables_->item(row)->setData(kNameRole, tables.at(size_t(row)).table.name);
    }
}

bool TableList::hasCurrentTable() const
{
    return tables_->count() > 0 && tables_->currentRow() >= 0;
}

QString TableList::currentTable() const
{
    return hasCurrentTable() ? tables_->currentItem()->text() : QString();
}

data::TableName TableList::currentTableName() const
{
    return hasCurrentTable() ? tableOf(tables_->currentItem()) : data::TableName();
}

QList<data::ListedTable> TableList::listedTables() const
{
    QList<data::ListedTable> listed;
    for (int row = 0; row < tables_->count(); ++row)
        listed.append({tableOf(tables_->item(row)), tables_->item(row)->text()});
    return listed;
}

void TableList::showCurrentTableDetails()
{
    if (!hasCurrentTable())
        return;
    const data::TableName table = currentTableName();
    QStringList fields;
    connection_.GetFieldNames(table, fields);
    fields_->clear();
    fields_->addItems(fields);

    indexTableName_ = currentTable();
    QStringList indexes;
    connection_.GetIndexNames(table, indexes);
    fill(indexes_, indexes, true);
    if (fields_->count() > 0)
        fields_->setCurrentRow(0);
}

QString TableList::openCurrentTable(data::Dataset &dataset) const
{
    const QString listed = currentTable();
    const data::TableName table = currentTableName();
    dataset.Close();
    dataset.setCommandText(data::selectAllFrom(connection_.session(), table),
                           data::StatementScope::OneStatement);
    dataset.Open();
    return listed;
}

void TableList::clear()
{
    for (QListWidget *list : {static_cast<QListWidget *>(tables_), fields_, indexes_}) {
        list->clear();
        list->setCurrentRow(-1);
    }
}

QList<TableList::SelectedTable> TableList::selectedTables() const
{
    QList<SelectedTable> selected;
    for (int row = 0; row < tables_->count(); ++row)
        if (tables_->item(row)->isSelected())
            selected.append({row, tables_->item(row)->text(), tableOf(tables_->item(row))});
    return selected;
}

void TableList::deselect(const SelectedTable &table)
{
    // The list may have been refilled meanwhile: only the same entry is touched.
    QListWidgetItem *item = tables_->item(table.row);
    if (item && item->text() == table.name && tableOf(item) == table.table)
        item->setSelected(false);
}

void TableList::selectAll()
{
    if (tables_->count() == 0)
        return;
    tables_->selectAll();
    tables_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void TableList::clearSelection()
{
    if (tables_->count() == 0)
        return;
    tables_->clearSelection();
    tables_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

} // namespace gui
