// Every caption a window shows a person: its title, the texts of labels, buttons, check
// boxes, group boxes, page tabs, menus (with their submenus), status bar panels, list,
// combo and table entries and headers, and edits' placeholders. Widgets hidden on
// purpose (and their children) are left out; pages of a page control that are merely
// not in front are kept, since a click shows them. Used by the language and the glyph
// checks, which need the same walk and differ only in what they test.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

namespace shown {

struct ShownText {
    QString where; // object path, for failure messages
    QString text;
    QFont font;    // the font the text is drawn with
};

inline QString pathOf(const QObject *object)
{
    QStringList names;
    for (const QObject *o = object; o; o = o->parent())
        names.prepend(o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                                : o->objectName());
    return names.join(QLatin1Char('/'));
}

// Hidden on purpose: the widget or an ancestor below the window was hidden, other than
// a page that a stacked widget (a page control) keeps behind the current one.
inline bool hiddenOnPurpose(const QWidget *widget, const QWidget *window)
{
    for (const QWidget *w = widget; w && w != window; w = w->parentWidget()) {
        const bool stackPage = qobject_cast<const QStackedWidget *>(w->parentWidget()) != nullptr;
        if (w->isHidden() && !stackPage)
            return true;
    }
    return false;
}

inline void addText(QList<ShownText> &out, const QObject *where, const QString &text, const QFont &font)
{
    if (!text.trimmed().isEmpty())
        out.append(ShownText{pathOf(where), text, font});
}

inline void addMenu(QList<ShownText> &out, const QMenu *menu)
{
    for (const QAction *action : menu->actions()) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        addText(out, action, action->text(), menu->font());
        if (action->menu())
            addMenu(out, action->menu());
    }
}

inline void addModel(QList<ShownText> &out, const QAbstractItemView *view)
{
    const QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int row = 0; row < model->rowCount(); ++row)
        for (int column = 0; column < model->columnCount(); ++column)
            addText(out, view, model->index(row, column).data().toString(), view->font());
    for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
        const int count = o == Qt::Horizontal ? model->columnCount() : model->rowCount();
        for (int section = 0; section < count; ++section) {
            const QVariant label = model->headerData(section, o, Qt::DisplayRole);
            // Numbered rows are the header's own numbers, not a caption.
            if (label.typeId() == QMetaType::QString)
                addText(out, view, label.toString(), view->font());
        }
    }
}

inline void addWidget(QList<ShownText> &out, const QWidget *w)
{
    if (auto *label = qobject_cast<const QLabel *>(w))
        addText(out, w, label->text(), w->font());
    else if (auto *button = qobject_cast<const QAbstractButton *>(w))
        addText(out, w, button->text(), w->font());
    else if (auto *box = qobject_cast<const QGroupBox *>(w))
        addText(out, w, box->title(), w->font());
    else if (auto *tabs = qobject_cast<const QTabBar *>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            addText(out, w, tabs->tabText(i), w->font());
    } else if (auto *edit = qobject_cast<const QLineEdit *>(w))
        addText(out, w, edit->placeholderText(), w->font());
    else if (auto *combo = qobject_cast<const QComboBox *>(w)) {
        for (int i = 0; i < combo->count(); ++i)
            addText(out, w, combo->itemText(i), w->font());
    } else if (auto *menu = qobject_cast<const QMenu *>(w)) {
        addMenu(out, menu);
    } else if (auto *menuBar = qobject_cast<const QMenuBar *>(w)) {
        for (const QAction *action : menuBar->actions())
            if (action->isVisible()) {
                addText(out, action, action->text(), w->font());
                if (action->menu())
                    addMenu(out, action->menu());
            }
    } else if (auto *view = qobject_cast<const QAbstractItemView *>(w)) {
        if (!qobject_cast<const QHeaderView *>(w))
            addModel(out, view);
    }
    addText(out, w, w->toolTip(), w->font());
}

// The captions of a window (a main window, a dialog) and of everything on it.
inline QList<ShownText> shownTexts(const QWidget *window)
{
    QList<ShownText> out;
    addText(out, window, window->windowTitle(), window->font());
    addWidget(out, window);
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow() || hiddenOnPurpose(w, window))
            continue;
        addWidget(out, w);
    }
    return out;
}

} // namespace shown
