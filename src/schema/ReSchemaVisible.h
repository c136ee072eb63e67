#pragma once
// Dialog that shows or hides the columns of a dataset: one ticked entry per visible
// field; a tick change acts on the field (and the grid showing it) at once.
#include <QDialog>
#include <QPointer>
#include "data/core/Dataset.h"

class QListWidget;
class QListWidgetItem;

namespace components { class TwDBGrid; }

namespace schema {

class Tfm_ReSchemaVisible : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_ReSchemaVisible(QWidget *parent = nullptr);
    // Links the dialog to the dataset being edited and the grid showing it (not owned).
    void setDataSource(data::Dataset *dataset, components::TwDBGrid *grid = nullptr);

    QListWidget *CheckListBox1 = nullptr;

    void FormShow();
    void CheckListBox1ClickCheck(QListWidgetItem *item);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPointer<data::Dataset> DS;
    QPointer<components::TwDBGrid> grid_;
    bool filling_ = false;
};

} // namespace schema
