#include "DatasetModel.h"
#include "data/core/Dataset.h"

namespace components {

DatasetModel::DatasetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatasetModel::setDataset(data::Dataset *dataset)
{
    if (dataset_ == dataset)
        return;
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
    beginResetModel();
    dataset_ = dataset;
    rows_ = dataset_ ? dataset_->visibleRowCount() : 0;
    columns_ = dataset_ && dataset_->Active() ? dataset_->FieldCount() : 0;
    markerRow_ = -1;
    endResetModel();
    if (!dataset_)
        return;
    connect(dataset_, &data::Dataset::dataReset, this, &DatasetModel::reset);
    connect(dataset_, &data::Dataset::afterClose, this, &DatasetModel::reset);
    connect(dataset_, &data::Dataset::recordChanged, this, &DatasetModel::rowChanged);
    connect(dataset_, &data::Dataset::rowsArrived, this, &DatasetModel::rowsArrived);
    connect(dataset_, &data::Dataset::fieldChanged, this, [this](int) {
        if (dataset_)
            rowChanged(dataset_->currentRow());
    });
    connect(dataset_, &data::Dataset::afterScroll, this, &DatasetModel::refreshIndicator);
    connect(dataset_, &data::Dataset::stateChanged, this, &DatasetModel::refreshIndicator);
    connect(dataset_, &data::Dataset::destroyed, this, [this] { setDataset(nullptr); });
}

void DatasetModel::reset()
{
    emit aboutToReset();
    beginResetModel();
    rows_ = dataset_ ? dataset_->visibleRowCount() : 0;
    columns_ = dataset_ && dataset_->Active() ? dataset_->FieldCount() : 0;
    markerRow_ = -1;
    endResetModel();
    emit wasReset();
    refreshIndicator();
}

// Rows of a background fill join at the end: the view keeps its current cell, selection
// and scroll position, and its scroll bar grows.
void DatasetModel::rowsArrived(int first, int last)
{
    if (!dataset_ || first != rows_ || last < first || columns_ == 0) {
        reset();
        return;
    }
    beginInsertRows(QModelIndex(), first, last);
    rows_ = dataset_->visibleRowCount();
    endInsertRows();
}

void DatasetModel::rowChanged(int row)
{
    if (row < 0 || row >= rows_ || columns_ == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columns_ - 1));
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!dataset_ || !index.isValid() || index.row() >= rows_ || index.column() >= columns_)
        return QVariant();
    if (role == Qt::DisplayRole)
        return dataset_->displayTextAt(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const data::Field *f = dataset_->Fields(index.column());
        if (data::isNumericType(f->DataType()))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!dataset_ || role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns_)
            return QVariant();
        return titleOf ? titleOf(section) : dataset_->Fields(section)->DisplayLabel();
    }
    // The indicator shows the state of the current record only.
    if (section != dataset_->currentRow())
        return QString();
    switch (dataset_->State()) {
    case data::dsEdit: return QStringLiteral("I");
    case data::dsInsert: return QStringLiteral("*");
    case data::dsBrowse: return QStringLiteral("\u25B6");
    default: return QString();
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void DatasetModel::refreshTitles()
{
    if (columns_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void DatasetModel::refreshIndicator()
{
    const int row = dataset_ ? dataset_->currentRow() : -1;
    const int old = markerRow_;
    markerRow_ = row;
    if (old >= 0 && old < rows_ && old != row)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rows_)
        emit headerDataChanged(Qt::Vertical, row, row);
}

} // namespace components
