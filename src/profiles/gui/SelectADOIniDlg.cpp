#include "SelectADOIniDlg.h"
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace profiles {

namespace {
QPointer<Tfm_SelectADOIniDlg> shownDialog;

void paintText(QWidget *w, QPalette::ColorRole role, const QColor &color)
{
    QPalette p = w->palette();
    p.setColor(role, color);
    w->setPalette(p);
}
} // namespace

Tfm_SelectADOIniDlg::Tfm_SelectADOIniDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("fm_SelectADOIniDlg"));
    setFixedSize(413, 169);

    plMain = new QFrame(this);
    plMain->setObjectName(QStringLiteral("plMain"));
    plMain->setFrameShape(QFrame::Panel);
    plMain->setFrameShadow(QFrame::Sunken);
    plMain->setGeometry(0, 0, 413, 169);

    Label1 = new QLabel(QStringLiteral("參數設定選擇"), plMain);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 20, 360, 24);
    paintText(Label1, QPalette::WindowText, Qt::blue);

    cbxSelectADOIni = new QComboBox(plMain);
    cbxSelectADOIni->setObjectName(QStringLiteral("cbxSelectADOIni"));
    cbxSelectADOIni->setEditable(false);
    cbxSelectADOIni->setGeometry(24, 52, 365, 26);

    btnOK = new QPushButton(QStringLiteral("OK"), plMain);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(110, 112, 90, 30);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), plMain);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(214, 112, 90, 30);
    for (QPushButton *b : {btnOK, btnCancel}) {
        // Neither is the default button: Enter in the list does nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
        paintText(b, QPalette::ButtonText, Qt::red);
    }
    connect(btnOK, &QPushButton::clicked, this, &Tfm_SelectADOIniDlg::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &Tfm_SelectADOIniDlg::btnCancelClick);
}

void Tfm_SelectADOIniDlg::AddName(const QString &name)
{
    int at = 0;
    while (at < cbxSelectADOIni->count() &&
           cbxSelectADOIni->itemText(at).compare(name, Qt::CaseInsensitive) <= 0)
        ++at;
    cbxSelectADOIni->insertItem(at, name);
}

void Tfm_SelectADOIniDlg::SelectName(const QString &name)
{
    int found = -1;
    for (int i = 0; i < cbxSelectADOIni->count() && found < 0; ++i)
        if (cbxSelectADOIni->itemText(i).compare(name, Qt::CaseInsensitive) == 0)
            found = i;
    cbxSelectADOIni->setCurrentIndex(found);
}

void Tfm_SelectADOIniDlg::btnOKClick()
{
    SelectResult = cbxSelectADOIni->currentText().isEmpty() ? srCancel : srOK;
    close();
}

void Tfm_SelectADOIniDlg::btnCancelClick()
{
    SelectResult = srCancel;
    close();
}

void Tfm_SelectADOIniDlg::reject()
{
    // Esc: only the buttons end the dialog.
    if (SelectResult != srNone)
        done(SelectResult);
}

void Tfm_SelectADOIniDlg::closeEvent(QCloseEvent *event)
{
    if (SelectResult == srNone) {
        event->ignore();
        return;
    }
    done(SelectResult);
    event->accept();
}

void Tfm_SelectADOIniDlg::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // A button without the default role ignores Enter, which then reaches the dialog.
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        for (QPushButton *button : {btnOK, btnCancel})
            if (button->hasFocus()) {
                button->click();
                return;
            }
        event->accept(); // no default button: Enter anywhere else does nothing
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tfm_SelectADOIniDlg::showEvent(QShowEvent *event)
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

std::optional<QString> QtProfileChooser::ChooseProfile(const QStringList &names, const QString &current)
{
    Tfm_SelectADOIniDlg dialog;
    for (const QString &name : names)
        dialog.AddName(name);
    dialog.SelectName(current);
    shownDialog = &dialog;
    const int result = dialog.exec();
    shownDialog = nullptr;
    if (result == Tfm_SelectADOIniDlg::srOK)
        return dialog.cbxSelectADOIni->currentText();
    return std::nullopt;
}

Tfm_SelectADOIniDlg *QtProfileChooser::activeDialog()
{
    return shownDialog;
}

} // namespace profiles
