#include "SeekDialog.h"
#include "SeekAppearance.h"
#include "SeekEdit.h"
#include "data/core/DatabaseError.h"
#include "platform/UiServices.h"
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <iterator>

namespace components {

namespace {

enum class SeekKeyAction { NextOrSearch, PriorOrSearch, Exit, Search, Question, Help };

struct SeekKey {
    int key;
    SeekKeyAction action;
};

constexpr SeekKey kSeekKeys[] = {
    {Qt::Key_Return, SeekKeyAction::NextOrSearch}, {Qt::Key_Enter, SeekKeyAction::NextOrSearch},
    {Qt::Key_Down, SeekKeyAction::NextOrSearch},   {Qt::Key_Up, SeekKeyAction::PriorOrSearch},
    {Qt::Key_Escape, SeekKeyAction::Exit},         {Qt::Key_F9, SeekKeyAction::Search},
    {Qt::Key_F10, SeekKeyAction::Question},        {Qt::Key_F1, SeekKeyAction::Help},
};

QToolButton *toolButton(const QString &name, const QString &hint, const QPixmap &picture, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setCursor(Qt::PointingHandCursor);
    button->setIcon(QIcon(picture));
    button->setIconSize(picture.size());
    button->setFixedSize(30, 30);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus); // like speed buttons: never takes the focus
    return button;
}

} // namespace

void TfmSeek::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const SeekAbort &) {
    } catch (const data::DatabaseError &e) {
        platform::ui().showMessage(this, platform::kErrorTitle, e.message(), platform::MessageIcon::Stop, false);
    } catch (const std::exception &e) {
        platform::ui().showMessage(this, platform::kErrorTitle, QString::fromUtf8(e.what()),
                                   platform::MessageIcon::Stop, false);
    }
}

TfmSeek::TfmSeek(QWidget *parent) : QDialog(parent)
{
    FormCreate();
}

TfmSeek::~TfmSeek() = default;

void TfmSeek::FormCreate()
{
    setObjectName(QStringLiteral("fmSeek"));
    setWindowTitle(QStringLiteral("查詢"));
    // Title without buttons, fixed size: a single-line border.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAutoFillBackground(true);
    setPalette(seekDialogPalette(palette()));
    setFont(seekDialogFont());

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->move(13, 20);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; }"));
    spdSeek = toolButton(QStringLiteral("spdSeek"), QStringLiteral("開始查詢"), seekTickPicture(), ToolBar1);
    spdExit = toolButton(QStringLiteral("spdExit"), QStringLiteral("放棄查詢"), seekCrossPicture(), ToolBar1);
    ToolBar1->addWidget(spdSeek);
    ToolBar1->addWidget(spdExit);
    ToolBar1->adjustSize();
    connect(spdSeek, &QToolButton::clicked, this, [this] { guarded([this] { spdSeekClick(); }); });
    connect(spdExit, &QToolButton::clicked, this, [this] { spdExitClick(); });
}

void TfmSeek::showEvent(QShowEvent *event)
{
    if (!built_) {
        built_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfmSeek::keyPressEvent(QKeyEvent *event)
{
    if (!FormKeyDown(event->key()))
        QDialog::keyPressEvent(event);
}

// The dialog sees every key before the control that has the focus.
bool TfmSeek::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this)
        return FormKeyDown(static_cast<QKeyEvent *>(event)->key());
    return QDialog::eventFilter(watched, event);
}

bool TfmSeek::FormKeyDown(int key)
{
    const auto row = std::find_if(std::begin(kSeekKeys), std::end(kSeekKeys),
                                  [key](const SeekKey &k) { return k.key == key; });
    if (row == std::end(kSeekKeys))
        return false;
    guarded([this, action = row->action] {
        switch (action) {
        case SeekKeyAction::NextOrSearch:
            walkOrSearch(true);
            break;
        case SeekKeyAction::PriorOrSearch:
            walkOrSearch(false);
            break;
        case SeekKeyAction::Exit:
            spdExitClick();
            break;
        case SeekKeyAction::Search:
            search();
            break;
        case SeekKeyAction::Question:
            askFocusedQuestion();
            break;
        case SeekKeyAction::Help:
            showHelp();
            break;
        }
    });
    return true;
}

// Enter, Down and Up: check the focused edit, then search from the last (first) edit or
// move to the next (previous) one.
void TfmSeek::walkOrSearch(bool down)
{
    if (SeekEdit *edit = focusedSeekEdit(); edit && !checkEdit(edit, SeekCheckMode::Typing))
        throw SeekAbort{};
    if (focusedTag() == (down ? FCount : FFirstIndex))
        search();
    else
        walkFocus(down);
}

void TfmSeek::askFocusedQuestion()
{
    if (SeekEdit *edit = focusedSeekEdit(); edit && FOnQuestionClick)
        DoQuestionClick(FButtons.at(size_t(edit->Tag() - 1)));
}

void TfmSeek::DoQuestionClick(QToolButton *button)
{
    if (!FOnQuestionClick || !button)
        return;
    const int index = button->property("Tag").toInt();
    if (index >= 1 && index <= FCount)
        FOnQuestionClick(this, button, FEdits.at(size_t(index - 1)));
}

void TfmSeek::spdSeekClick()
{
    search();
}

void TfmSeek::spdExitClick()
{
    closeDialog();
}

void TfmSeek::closeDialog()
{
    done(FFound ? QDialog::Accepted : QDialog::Rejected);
}

// F1: the program's help on the topic the component was given (none: nothing).
void TfmSeek::showHelp()
{
    if (helpContext_ != 0)
        platform::ui().showHelp(this, helpContext_, helpFile_);
}

} // namespace components
