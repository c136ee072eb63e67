#pragma once
// Dialog that edits the display labels of a dataset's fields: pick a field in the list,
// type its caption, press Enter; the grid's title changes at once.
#include <QDialog>
#include <QPointer>
#include "data/core/Dataset.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QWidget;

namespace components { class TwDBGrid; }

namespace schema {

class Tfm_ReFieldDisplayLabel : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_ReFieldDisplayLabel(QWidget *parent = nullptr);
    void setDataSource(data::Dataset *dataset, components::TwDBGrid *grid = nullptr);

    QGroupBox *GroupBox1 = nullptr;
    QWidget *Panel1 = nullptr;
    QLineEdit *edDisplayLabel = nullptr;
    QListWidget *lbFields = nullptr;

    void FormShow();
    void lbFieldsClick();
    // Only Enter (key code 13) acts; other keys edit the text.
    void edDisplayLabelKeyDown(int key);

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<data::Dataset> DS;
    QPointer<components::TwDBGrid> grid_;
};

} // namespace schema
