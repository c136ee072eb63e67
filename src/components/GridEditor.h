#pragma once
// The grid's in-place cell editor. Every key typed into it is offered to the grid's key
// handling first; the editor edits only with what the grid leaves it (characters, caret
// moves, deletions). A key neither wants ends here: it never travels back up to the
// grid, which has already seen it.
#include <QLineEdit>
#include <functional>

class QKeyEvent;

namespace components {

class GridEditor : public QLineEdit {
    Q_OBJECT
public:
    explicit GridEditor(QWidget *parent = nullptr);

    // Runs a key through the grid; true when the editor may still act on it.
    std::function<bool(QKeyEvent *event)> offerToGrid;

    // A key meant for the open editor, whichever widget received it.
    void takeKey(QKeyEvent *event);

    // Told after the editor has lost the focus (QApplication::focusWidget() says where).
    std::function<void()> focusLost;

protected:
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace components
