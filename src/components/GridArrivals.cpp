// Rows a background fill appends below the visible ones: the platform view answers
// every row insert by laying out and repainting its whole viewport, once per slice of
// the fill. Rows that land out of sight change only the scroll bar, so a layout that
// follows nothing but such inserts updates the geometry and leaves the painted cells
// alone.
#include "wDBGrid.h"
#include "DatasetModel.h"
#include <QHeaderView>
#include <utility>

namespace components {

void TwDBGrid::watchArrivals()
{
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int) {
        const bool outOfSight = pendingLayout_ != PendingLayout::Repaint && rowOutOfSight(first);
        pendingLayout_ = outOfSight ? PendingLayout::OutOfSight : PendingLayout::Repaint;
    });
    // Any other change of the rows' shape may move what is shown: the next layout paints.
    const auto repaintNext = [this] { pendingLayout_ = PendingLayout::Repaint; };
    connect(model_, &QAbstractItemModel::modelReset, this, repaintNext);
    connect(model_, &QAbstractItemModel::layoutChanged, this, repaintNext);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, repaintNext);
    connect(model_, &QAbstractItemModel::columnsInserted, this, repaintNext);
    connect(model_, &QAbstractItemModel::columnsRemoved, this, repaintNext);
}

// The row starts at or below the viewport's bottom edge. Its position is the length of
// the rows before it, taken as the whole length less the rows from it to the end: for
// rows appended at the end that adds up only the new rows, where asking the header for
// the position would add up every row again (a million, once per slice of a fill).
bool TwDBGrid::rowOutOfSight(int row) const
{
    if (row <= 0)
        return false;
    const QHeaderView *rows = verticalHeader();
    int fromRow = 0;
    for (int r = row; r < rows->count(); ++r)
        fromRow += rows->sectionSize(r);
    return rows->length() - fromRow - rows->offset() >= viewport()->height();
}

void TwDBGrid::doItemsLayout()
{
    if (std::exchange(pendingLayout_, PendingLayout::None) != PendingLayout::OutOfSight) {
        QTableView::doItemsLayout();
        return;
    }
    updateGeometries();
}

} // namespace components
