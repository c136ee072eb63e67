#include "BatchStop.h"
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <QWindow>

namespace gui {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::InputMethod: // text committed by an input method
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Marks the buttons every stop lets through.
const char *const kPanelStopProperty = "panelStopButton";

bool isOnPanelStopButton(QObject *watched)
{
    for (auto *widget = qobject_cast<QWidget *>(watched); widget; widget = widget->parentWidget())
        if (widget->property(kPanelStopProperty).toBool())
            return true;
    return false;
}

} // namespace

QToolButton *addPanelStopButton(QLabel *panel, const QString &objectName, const QString &hint)
{
    auto *button = new QToolButton(panel);
    button->setObjectName(objectName);
    button->setText(QStringLiteral("停止"));
    button->setToolTip(hint);
    button->setProperty(kPanelStopProperty, true);
    const int height = panel->height() - 2;
    button->setGeometry(panel->width() - 50, 1, 48, height > 0 ? height : panel->height());
    button->show();
    return button;
}

BatchStop::BatchStop(QLabel *panel, const QString &buttonName, const QString &hint) : panel_(panel)
{
    button_ = addPanelStopButton(panel, buttonName, hint);
    connect(button_, &QToolButton::clicked, this, &BatchStop::request);
    qApp->installEventFilter(this);
}

BatchStop::~BatchStop()
{
    qApp->removeEventFilter(this);
    delete button_;
}

void BatchStop::request()
{
    requested_ = true;
    emit stopRequested();
}

bool BatchStop::showProgress(const QString &text)
{
    if (panel_) {
        panel_->setText(text);
        panel_->repaint();
    }
    QCoreApplication::processEvents();
    return requested_;
}

bool BatchStop::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        request();
        return true;
    }
    // Input reaches a window's handle before the widget it is for: judged at the widget.
    if (isUserInput(event->type()) && !qobject_cast<QWindow *>(watched))
        return !isOnPanelStopButton(watched);
    if (event->type() == QEvent::Close) {
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->isWindow()) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace gui
