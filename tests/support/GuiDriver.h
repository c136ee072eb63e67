// Drives widgets the way a person does. The window is shown and active; keys enter
// through the focused window, so Qt routes them (shortcut override, focus widget,
// propagation to parents) exactly as it routes the keyboard's; clicks land on the
// viewport or header at a cell's position. Calling a widget's handler directly skips
// that routing and hides faults of it.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QWidget>
#include <QtTest>

namespace drive {

// Shows the window and waits until it is the active window and keys go to it. Use in
// QVERIFY. A dialog over an active parent counts as active before the window system has
// moved the focus to it, so the focus window is waited for as well.
inline bool showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window) &&
           QTest::qWaitFor([window] { return QGuiApplication::focusWindow() == window->window()->windowHandle(); });
}

// The widget a key typed now would reach.
inline QWidget *focused() { return QApplication::focusWidget(); }

// One key press and release through the focused window.
inline void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), key, mods);
}

// Types text character by character through the focused window; any character,
// Chinese included, arrives as the text of a key event.
inline void type(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        Qt::Key key = Qt::Key_unknown;
        if (u >= 'a' && u <= 'z')
            key = Qt::Key(Qt::Key_A + (u - 'a'));
        else if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ')
            key = Qt::Key(u);
        const Qt::KeyboardModifiers mods = (u >= 'A' && u <= 'Z') ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::sendKeyEvent(QTest::Click, static_cast<QWidget *>(nullptr), key, QString(c), mods);
    }
}

// Centre of a cell in view coordinates (viewport-relative).
inline QPoint cellCentre(QAbstractItemView *view, int row, int column)
{
    return view->visualRect(view->model()->index(row, column)).center();
}

inline void clickCell(QAbstractItemView *view, int row, int column,
                      Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::mouseClick(view->viewport(), button, mods, cellCentre(view, row, column));
}

inline void doubleClickCell(QAbstractItemView *view, int row, int column)
{
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(view, row, column));
}

// Centre of a header section in the header's viewport.
inline QPoint sectionCentre(QHeaderView *header, int section)
{
    const int mid = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    return header->orientation() == Qt::Horizontal ? QPoint(mid, header->height() / 2)
                                                   : QPoint(header->width() / 2, mid);
}

// Clicks a header section (horizontal: a column title; vertical: a row's indicator),
// with the modifier keys held.
inline void clickHeader(QHeaderView *header, int section, Qt::MouseButton button = Qt::LeftButton,
                        Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::mouseClick(header->viewport(), button, mods, sectionCentre(header, section));
}

} // namespace drive
