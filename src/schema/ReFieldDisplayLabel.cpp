#include "ReFieldDisplayLabel.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShowEvent>
#include <QListWidget>
#include <QVBoxLayout>

namespace schema {

Tfm_ReFieldDisplayLabel::Tfm_ReFieldDisplayLabel(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fm_ReFieldDisplayLabel"));
    setWindowTitle(QStringLiteral("fm_ReFieldDisplayLabel"));
    auto *outer = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("<欄位顯示名稱修改>"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    outer->addWidget(GroupBox1);
    auto *inner = new QVBoxLayout(GroupBox1);
    Panel1 = new QWidget(GroupBox1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    edDisplayLabel = new QLineEdit(Panel1);
    edDisplayLabel->setObjectName(QStringLiteral("edDisplayLabel"));
    panelLayout->addWidget(edDisplayLabel);
    inner->addWidget(Panel1);
    lbFields = new QListWidget(GroupBox1);
    lbFields->setObjectName(QStringLiteral("lbFields"));
    inner->addWidget(lbFields);
    resize(280, 380);
    edDisplayLabel->installEventFilter(this);
    connect(lbFields, &QListWidget::currentRowChanged, this, [this] { lbFieldsClick(); });
    connect(lbFields, &QListWidget::itemClicked, this, [this] { lbFieldsClick(); });
}

void Tfm_ReFieldDisplayLabel::setDataSource(data::Dataset *dataset, components::TwDBGrid *grid)
{
    DS = dataset;
    grid_ = grid;
}

void Tfm_ReFieldDisplayLabel::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfm_ReFieldDisplayLabel::FormShow()
{
    lbFields->clear();
    if (!DS)
        return;
    if (!DS->Active())
        DS->Open();
    for (int i = 0; i < DS->FieldCount(); ++i)
        lbFields->addItem(DS->Fields(i)->DisplayLabel());
}

void Tfm_ReFieldDisplayLabel::lbFieldsClick()
{
    const int i = lbFields->currentRow();
    edDisplayLabel->setText(i < 0 ? QString() : lbFields->item(i)->text());
}

void Tfm_ReFieldDisplayLabel::edDisplayLabelKeyDown(int key)
{
    if (key != 13)
        return;
    const int i = lbFields->currentRow();
    if (i < 0 || !DS || i >= DS->FieldCount())
        return;
    lbFields->item(i)->setText(edDisplayLabel->text());
    DS->Fields(i)->setDisplayLabel(edDisplayLabel->text());
    if (grid_)
        grid_->LayoutChanged();
}

bool Tfm_ReFieldDisplayLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edDisplayLabel && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            edDisplayLabelKeyDown(13);
            return true; // not the dialog's default button
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_ReFieldDisplayLabel::done(int result)
{
    DS = nullptr; // the link is cut on closing
    grid_ = nullptr;
    QDialog::done(result);
}

} // namespace schema
