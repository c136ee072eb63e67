#include "DatasetTableModel.h"
#include "data/Dataset.h"

namespace gui {

DatasetTableModel::DatasetTableModel(data::Dataset *dataset, QObject *parent)
    : QAbstractTableModel(parent), dataset_(dataset)
{
    // Rows and fields come and go as a whole when the dataset opens, closes, reloads or
    // enters and leaves insert state; a reset is the honest answer to each of those.
    connect(dataset, &data::Dataset::afterOpen, this, &DatasetTableModel::reset);
    connect(dataset, &data::Dataset::afterClose, this, &DatasetTableModel::reset);
    connect(dataset, &data::Dataset::dataReset, this, &DatasetTableModel::reset);
    connect(dataset, &data::Dataset::stateChanged, this, &DatasetTableModel::reset);
    connect(dataset, &data::Dataset::recordChanged, this, &DatasetTableModel::rowChanged);
}

int DatasetTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !dataset_ || !dataset_->Active())
        return 0;
    return dataset_->visibleRowCount();
}

int DatasetTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !dataset_ || !dataset_->Active())
        return 0;
    return dataset_->FieldCount();
}

QVariant DatasetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !dataset_ || !dataset_->Active())
        return {};
    if (index.row() >= dataset_->visibleRowCount() || index.column() >= dataset_->FieldCount())
        return {};
    if (role == Qt::DisplayRole)
        return dataset_->displayTextAt(index.row(), index.column());
    if (role == Qt::EditRole)
        return dataset_->valueAt(index.row(), index.column());
    return {};
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (!dataset_ || !dataset_->Active() || section >= dataset_->FieldCount())
        return {};
    return dataset_->Fields(section)->DisplayLabel();
}

void DatasetTableModel::reset()
{
    beginResetModel();
    endResetModel();
}

void DatasetTableModel::rowChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

} // namespace gui
