#pragma once
// Read-only table model over a data::Dataset: reads the dataset's rows where they are
// (valueAt / displayTextAt) and follows its notifications; no row is copied.
#include <QAbstractTableModel>
#include <QPointer>

namespace data {
class Dataset;
}

namespace gui {

class DatasetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetTableModel(data::Dataset *dataset, QObject *parent = nullptr);

    data::Dataset *dataset() const { return dataset_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void reset();
    void rowChanged(int row);

    QPointer<data::Dataset> dataset_;
};

} // namespace gui
