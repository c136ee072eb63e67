// Row heights of TwDBGrid: one height for every record row, kept across the platform
// grid's own recomputation after layout changes, and adopted from a row the user drags.
#include "wDBGrid.h"
#include <QEvent>
#include <QHeaderView>

namespace components {

int TwDBGrid::DefaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

// Resizing the default resizes every row; the rows' resize notifications that causes
// are not user drags.
void TwDBGrid::setDefaultRowHeight(int height)
{
    if (height == 0)
        height = DefaultRowHeight();
    const bool wasAdopting = adoptingRowHeight_;
    adoptingRowHeight_ = true;
    verticalHeader()->setDefaultSectionSize(height);
    adoptingRowHeight_ = wasAdopting;
    FSavedRowHeight = height;
    if (options_ & dgTitles) {
        QHeaderView *titles = horizontalHeader();
        // The height of a line of text ("Wg": ascent and descent) in the title font.
        titles->setFixedHeight(titles->fontMetrics().height() + 4);
    }
}

// The platform grid sizes its rows from the font on every layout change; the height
// kept by the last write goes back on top of that (while none is kept, the font's height
// is written and so kept). Every row is resized once, not twice: a large dataset has as
// many rows as records.
void TwDBGrid::rowLayoutChanged()
{
    const int platformHeight = fontMetrics().height() + 6;
    setDefaultRowHeight(FSavedRowHeight != 0 ? FSavedRowHeight : platformHeight);
}

void TwDBGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        rowLayoutChanged();
}

// The first record row whose height differs from the default gives every row its height.
void TwDBGrid::adoptResizedRowHeight()
{
    if (adoptingRowHeight_)
        return;
    QHeaderView *rows = verticalHeader();
    const int count = rows->count();
    for (int row = 0; row < count; ++row) {
        const int height = rows->sectionSize(row);
        if (height != rows->defaultSectionSize() && !rows->isSectionHidden(row)) {
            setDefaultRowHeight(height);
            viewport()->update();
            break;
        }
    }
}

void TwDBGrid::setRowSizingAllowed(bool allowed)
{
    if (allowed == rowSizingAllowed_)
        return;
    rowSizingAllowed_ = allowed;
    verticalHeader()->setSectionResizeMode(allowed ? QHeaderView::Interactive : QHeaderView::Fixed);
}

} // namespace components
