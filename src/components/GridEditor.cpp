#include "GridEditor.h"
#include <QKeyEvent>

namespace components {

GridEditor::GridEditor(QWidget *parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("InplaceEditor"));
    setFrame(false);
}

void GridEditor::takeKey(QKeyEvent *event)
{
    if (!offerToGrid || offerToGrid(event))
        QLineEdit::keyPressEvent(event);
    event->accept();
}

// Tab and Shift+Tab are the grid's column moves, not focus changes between widgets.
bool GridEditor::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        takeKey(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void GridEditor::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A context menu of the editor's own takes the focus only for a moment.
    if (focusLost && event->reason() != Qt::PopupFocusReason)
        focusLost();
}

void GridEditor::keyPressEvent(QKeyEvent *event)
{
    takeKey(event);
}

} // namespace components
