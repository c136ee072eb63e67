#pragma once
// Table model over a dataset: one row per visible record (plus a row being inserted),
// one column per field. It reads cells on demand and never copies rows, so showing the
// millionth record costs what showing the first does.
#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

#include "data/core/Dataset.h"

namespace components {

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(QObject *parent = nullptr);

    void setDataset(data::Dataset *dataset);
    data::Dataset *dataset() const { return dataset_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Title captions changed (display labels are plain field settings, not signalled).
    void refreshTitles();
    // The record marker of the indicator column moved or changed its glyph.
    void refreshIndicator();
    // Title of a column when the view has its own captions; the field's label otherwise.
    std::function<QString(int)> titleOf;

signals:
    void aboutToReset();
    void wasReset();

private:
    void reset();
    void rowChanged(int row);
    void rowsArrived(int first, int last);

    QPointer<data::Dataset> dataset_;
    int markerRow_ = -1;
    int rows_ = 0;
    int columns_ = 0;
};

} // namespace components
