#include "ReSchemaVisible.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include <QListWidget>
#include <QShowEvent>
#include <QVBoxLayout>

namespace schema {

Tfm_ReSchemaVisible::Tfm_ReSchemaVisible(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fm_ReSchemaVisible"));
    setWindowTitle(QStringLiteral("fm_ReSchemaVisible(設定欄位是否顯示)"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    layout->addWidget(CheckListBox1);
    resize(260, 360);
    connect(CheckListBox1, &QListWidget::itemChanged, this, &Tfm_ReSchemaVisible::CheckListBox1ClickCheck);
}

void Tfm_ReSchemaVisible::setDataSource(data::Dataset *dataset, components::TwDBGrid *grid)
{
    DS = dataset;
    grid_ = grid;
}

void Tfm_ReSchemaVisible::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfm_ReSchemaVisible::FormShow()
{
    filling_ = true;
    CheckListBox1->clear();
    if (DS && DS->Active() && DS->State() == data::dsBrowse) {
        for (int i = 0; i < DS->FieldCount(); ++i) {
            auto *item = new QListWidgetItem(DS->Fields(i)->FieldName(), CheckListBox1);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(DS->Fields(i)->Visible() ? Qt::Checked : Qt::Unchecked);
        }
    }
    filling_ = false;
}

void Tfm_ReSchemaVisible::CheckListBox1ClickCheck(QListWidgetItem *item)
{
    if (filling_ || !item || !DS)
        return;
    data::Field *f = DS->FindField(item->text());
    if (!f)
        return;
    f->setVisible(item->checkState() == Qt::Checked);
    if (grid_)
        grid_->LayoutChanged();
}

} // namespace schema
