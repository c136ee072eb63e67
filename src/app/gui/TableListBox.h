#pragma once
// The table-name list: a multiple-selection list whose current entry (the focus mark)
// is separate from the selection. Every mouse click in it and every keyboard move of
// the current entry is reported as one user click.
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <utility>

namespace gui {

class TableListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TableListBox(QWidget *parent = nullptr) : QListWidget(parent)
    {
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        setSortingEnabled(false);
    }

signals:
    void userClicked();
    void userDoubleClicked();

protected:
    // Every press starts a click of its own: the release that should have ended a double
    // click may have gone to a box the double click opened.
    void mousePressEvent(QMouseEvent *event) override
    {
        endingDoubleClick_ = false;
        QListWidget::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QListWidget::mouseReleaseEvent(event);
        // The release that ends a double click is not a click of its own.
        const bool endsDoubleClick = std::exchange(endingDoubleClick_, false);
        if (event->button() == Qt::LeftButton && !endsDoubleClick)
            emit userClicked();
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        QListWidget::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton) {
            endingDoubleClick_ = true;
            emit userDoubleClicked();
        }
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        const int before = currentRow();
        QListWidget::keyPressEvent(event);
        if (currentRow() != before)
            emit userClicked();
    }

private:
    bool endingDoubleClick_ = false;
};

} // namespace gui
