// Where keys enter TwDBGrid. Every key-down that reaches the grid, from the grid itself
// or from its open in-place editor, runs through the key-down handling (GridKeyMap.cpp)
// and then its character through the key-press handling (GridEnterSequence.cpp). Only
// what the grid leaves goes on to the editor; a key is never handed back and forth.
#include "GridEditor.h"
#include "GridGuarded.h"
#include <QKeyEvent>
#include <iterator>

namespace components {

namespace {

enum class Held { Any, Nothing, Ctrl };

struct GridKey {
    int key;
    Held held;
};

// Keys that act on the grid even while the editor is open; they never reach the editor's
// text. Left, Right, Home and End move the editor's caret instead; characters, deletions
// and the clipboard keys edit its text.
constexpr GridKey kGridKeysWhileEditing[] = {
    {Qt::Key_Up, Held::Any},        {Qt::Key_Down, Held::Any},     {Qt::Key_PageUp, Held::Any},
    {Qt::Key_PageDown, Held::Any},  {Qt::Key_Tab, Held::Any},      {Qt::Key_Backtab, Held::Any},
    {Qt::Key_Return, Held::Any},    {Qt::Key_Enter, Held::Any},    {Qt::Key_Escape, Held::Any},
    {Qt::Key_F2, Held::Any},        {Qt::Key_Insert, Held::Nothing}, {Qt::Key_Delete, Held::Ctrl},
    {Qt::Key_Home, Held::Ctrl},     {Qt::Key_End, Held::Ctrl},
    // The export hot keys: Ctrl+X does not cut the cell's text besides.
    {Qt::Key_E, Held::Ctrl},        {Qt::Key_L, Held::Ctrl},       {Qt::Key_P, Held::Ctrl},
    {Qt::Key_X, Held::Ctrl},
};

bool gridKeepsWhileEditing(int key, Qt::KeyboardModifiers shift)
{
    const Qt::KeyboardModifiers held = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    for (const GridKey &k : kGridKeysWhileEditing) {
        if (k.key != key)
            continue;
        switch (k.held) {
        case Held::Any: return true;
        case Held::Nothing: return held == Qt::NoModifier;
        case Held::Ctrl: return held & Qt::ControlModifier;
        }
    }
    return false;
}

// The character a key types, as the platform sends it after the key-down: Enter as a
// carriage return, printable text without Ctrl or Alt; none for other keys.
QChar characterOf(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return QLatin1Char('\r');
    if (text.size() != 1 || (shift & (Qt::ControlModifier | Qt::AltModifier)))
        return QChar();
    const QChar c = text[0];
    return c >= QLatin1Char(' ') && c != QChar(0x7f) ? c : QChar();
}

} // namespace

bool TwDBGrid::event(QEvent *event)
{
    // Tab and Shift+Tab belong to the grid's key handling, not to focus changes.
    if (event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QTableView::event(event);
}

// Focus moves between widgets stay focus moves: the item view would turn them into a
// Tab key for the current cell.
bool TwDBGrid::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

void TwDBGrid::keyPressEvent(QKeyEvent *event)
{
    if (editorOpen_) {
        editor_->takeKey(event); // the same route as a key typed into the editor
        return;
    }
    routeKey(event);
    event->accept();
}

bool TwDBGrid::routeKey(QKeyEvent *event)
{
    bool forEditor = false;
    guarded([&] { forEditor = dispatchKey(event->key(), event->modifiers(), event->text()); });
    return forEditor;
}

bool TwDBGrid::dispatchKey(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    const int pressed = key;
    const bool editorWasOpen = editorOpen_;
    keyDown(key, shift);
    if (key == 0)
        return false; // swallowed: no character follows
    QChar ch = characterOf(pressed, shift, text);
    const bool editorStaysOpen = editorWasOpen && editorOpen_;
    if (ch == QLatin1Char('\r') || !editorStaysOpen) {
        if (!ch.isNull())
            keyPress(ch);
        return false;
    }
    if (key != pressed || gridKeepsWhileEditing(pressed, shift))
        return false;
    if (ch.isNull())
        return true; // caret moves, deletions, clipboard keys
    // A character for the open editor, after the owner's key-press and the character case.
    const QChar typed = ch;
    keyPress(ch);
    if (ch.isNull() || !editorOpen_)
        return false;
    if (ch == typed)
        return true;
    editor_->insert(QString(ch));
    editorEdited();
    return false;
}

} // namespace components
