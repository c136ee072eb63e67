#pragma once
// Stand-in for the data grid of the Schema and XML pages: a read-only table view with
// the grid's caption (the name of what it shows, also the base name of its exports).
#include <QTableView>

namespace gui {

class DataGridView : public QTableView {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit DataGridView(QWidget *parent = nullptr) : QTableView(parent)
    {
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    QString caption() const { return caption_; }
    void setCaption(const QString &caption) { caption_ = caption; }

private:
    QString caption_;
};

} // namespace gui
