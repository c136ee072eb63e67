// Pointer handling of TwDBGrid: presses on data cells, on the title row and on the
// indicator column finish or drop the record being edited and then select what was hit;
// clicks toggle check fields; the wheel moves one record at a time.
#include "DatasetModel.h"
#include "GridEditor.h"
#include "GridGuarded.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include <QAbstractButton>
#include <QHeaderView>
#include <QMouseEvent>
#include <QWheelEvent>

namespace components {

namespace {

// The part of a band (a header's extent along one axis) a coordinate falls in.
bool within(int value, int from, int length)
{
    return value >= from && value < from + length;
}

} // namespace

void TwDBGrid::CellAtPoint(const QPoint &gridPos, int &aCol, int &aRow) const
{
    aCol = aRow = -1;
    const QWidget *titles = horizontalHeader();
    const QWidget *indicator = verticalHeader();
    const QPoint inView = viewport()->mapFrom(this, gridPos);
    int col = -1, row = -1;
    if ((options_ & dgIndicator) && within(gridPos.x(), indicator->x(), indicator->width()))
        col = 0;
    else if (within(inView.x(), 0, viewport()->width()) && columnAt(inView.x()) >= 0)
        col = columnAt(inView.x()) + indicatorColumns();
    if ((options_ & dgTitles) && within(gridPos.y(), titles->y(), titles->height()))
        row = 0;
    else if (within(inView.y(), 0, viewport()->height()) && rowAt(inView.y()) >= 0)
        row = rowAt(inView.y()) + titleRows();
    if (col >= 0 && row >= 0) {
        aCol = col;
        aRow = row;
    }
}

// The cell under a point of the viewport, of a header or of the corner button (the
// indicator's title cell).
void TwDBGrid::gridCellAt(const QWidget *source, const QPoint &pos, int &gridCol, int &gridRow) const
{
    CellAtPoint(source->mapTo(this, pos), gridCol, gridRow);
}

void TwDBGrid::mousePressEvent(QMouseEvent *event)
{
    pressAt(viewport(), event);
    event->accept();
}

bool TwDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    const bool header = watched == horizontalHeader()->viewport() || watched == verticalHeader()->viewport();
    const bool corner = !header && qobject_cast<QAbstractButton *>(watched) && watched->parent() == this;
    if (!(header || corner))
        return QTableView::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return QTableView::eventFilter(watched, event);
    auto *source = static_cast<QWidget *>(watched);
    auto *mouse = static_cast<QMouseEvent *>(event); // only mouse events get this far
    switch (type) {
    case QEvent::MouseButtonPress:
        // Headers go on sizing their sections; the corner's select-all is not the grid's.
        return pressAt(source, mouse) || corner;
    case QEvent::MouseButtonDblClick: {
        // The second press of a double click is tracked on a title like the first.
        int col = -1, row = -1;
        gridCellAt(source, mouse->position().toPoint(), col, row);
        return trackTitlePress(col, row, mouse) || QTableView::eventFilter(watched, event);
    }
    case QEvent::MouseMove:
        titleMove(source->mapTo(this, mouse->position().toPoint()));
        return QTableView::eventFilter(watched, event);
    case QEvent::MouseButtonRelease:
        titleRelease(source->mapTo(this, mouse->position().toPoint()), mouse->button());
        return QTableView::eventFilter(watched, event);
    default:
        return QTableView::eventFilter(watched, event);
    }
}

bool TwDBGrid::pressAt(const QWidget *source, const QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    if (!(editorOpen_ && editor_->hasFocus()))
        setFocus();
    pressCol_ = pressRow_ = -1;
    const bool leftOrRight = button == Qt::LeftButton || button == Qt::RightButton;
    bool tracked = false;
    guarded([&] {
        int col = -1, row = -1;
        gridCellAt(source, pos, col, row);
        if (leftOrRight)
            finishEditOnPress(col, row);
        // Rows may have moved: a dropped new record above the press is gone.
        gridCellAt(source, pos, col, row);
        tracked = trackTitlePress(col, row, event);
        if (leftOrRight && !tracked)
            basePress(col, row, button);
        if (button == Qt::LeftButton)
            imeStep();
    });
    if (editorOpen_)
        editor_->setFocus();
    return tracked;
}

// A press on the record being edited finishes its cell when it lands on another column;
// a press anywhere else (another record, a title, outside the cells) posts the edit or
// drops the new record.
void TwDBGrid::finishEditOnPress(int gridCol, int gridRow)
{
    if (!LinkActive() || !editing())
        return;
    const bool onCurrentRecord = gridRow >= titleRows() && gridRow - titleRows() == dataset_->currentRow();
    if (onCurrentRecord) {
        if (gridCol - indicatorColumns() != selected_)
            fireEnterDown();
    } else if (dataset_->State() == data::dsInsert) {
        hideEditor();
        dataset_->Cancel();
    } else {
        fireEnterDown();
        fireBeforePost();
        UpdateData();
        hideEditor();
        dataset_->Post();
    }
}

// The platform grid's press: a record row makes that record current, a data cell also
// selects its column, and a press on the selected cell opens the editor. A title press
// selects nothing.
void TwDBGrid::basePress(int gridCol, int gridRow, Qt::MouseButton button)
{
    const int row = gridRow - titleRows();
    const int col = gridCol - indicatorColumns();
    if (!LinkActive() || gridRow < 0 || row < 0 || row >= model_->rowCount())
        return;
    const bool sameCell = row == dataset_->currentRow() && col == selected_;
    if (row != dataset_->currentRow()) {
        UpdateData();
        hideEditor();
        dataset_->MoveBy(row - dataset_->currentRow());
    }
    if (col >= 0)
        setSelectedIndex(col);
    syncCurrent();
    if (col < 0)
        return;
    pressRow_ = row;
    pressCol_ = col;
    if (sameCell && button == Qt::LeftButton && !editorOpen_)
        showEditor(nullptr);
}

void TwDBGrid::mouseMoveEvent(QMouseEvent *event)
{
    event->accept(); // no drag selection: the current record is the dataset's
    titleMove(viewport()->mapTo(this, event->position().toPoint()));
}

void TwDBGrid::mouseReleaseEvent(QMouseEvent *event)
{
    guarded([&] {
        const QPoint pos = event->position().toPoint();
        const int row = rowAt(pos.y());
        const int col = columnAt(pos.x());
        if (LinkActive() && pressCol_ >= 0 && row == pressRow_ && col == pressCol_)
            cellClick(col);
        if (OnClick)
            OnClick(this);
    });
    pressCol_ = pressRow_ = -1;
    titleRelease(viewport()->mapTo(this, event->position().toPoint()), event->button());
    event->accept();
}

void TwDBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    guarded([&] {
        if (OnDblClick)
            OnDblClick(this);
    });
    event->accept();
}

// A click on a check field toggles it when the column can be written and whole rows are
// not being selected.
void TwDBGrid::cellClick(int column)
{
    if (!(options_ & dgRowSelect) && !columnReadOnly(column) && isCheckField(SelectedField()))
        ToggleCheckField();
    if (OnCellClick && column >= 0 && column < ColumnCount())
        OnCellClick(columns_[size_t(column)].get());
}

bool TwDBGrid::DoMouseWheel(int delta)
{
    if (!dataset_ || dataset_->State() == data::dsInactive)
        return false;
    if (delta < 0) {
        UpdateData();
        hideEditor();
        dataset_->Next();
    } else if (delta > 0) {
        UpdateData();
        hideEditor();
        dataset_->Prior();
    }
    return true;
}

void TwDBGrid::wheelEvent(QWheelEvent *event)
{
    bool handled = true;
    guarded([&] { handled = DoMouseWheel(event->angleDelta().y()); });
    event->setAccepted(handled);
}

} // namespace components
