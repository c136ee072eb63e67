// Title clicks of TwDBGrid: a press on a title whose modifier keys differ from
// NativeClick is kept from the platform grid and tracked; released over the same column
// it raises OnColumnClick and then the event of the pressed button, with the data
// column's index (-1 for the indicator's title cell).
#include "GridGuarded.h"
#include "wDBGrid.h"
#include <QMouseEvent>

namespace components {

namespace {

TdbeNativeClick modifierSetOf(Qt::KeyboardModifiers keys)
{
    TdbeNativeClick set = 0;
    if (keys & Qt::ShiftModifier)
        set |= ncssShift;
    if (keys & Qt::ControlModifier)
        set |= ncssCtrl;
    if (keys & Qt::AltModifier)
        set |= ncssAlt;
    return set;
}

TShiftState shiftStateOf(const QMouseEvent *event)
{
    struct Flag { bool on; TShiftState item; };
    const Qt::KeyboardModifiers keys = event->modifiers();
    const Qt::MouseButtons buttons = event->buttons() | event->button();
    const Flag flags[] = {
        {bool(keys & Qt::ShiftModifier), ssShift},        {bool(keys & Qt::AltModifier), ssAlt},
        {bool(keys & Qt::ControlModifier), ssCtrl},       {bool(buttons & Qt::LeftButton), ssLeft},
        {bool(buttons & Qt::RightButton), ssRight},       {bool(buttons & Qt::MiddleButton), ssMiddle},
        {event->type() == QEvent::MouseButtonDblClick, ssDouble},
    };
    TShiftState state = 0;
    for (const Flag &f : flags)
        if (f.on)
            state |= f.item;
    return state;
}

bool buttonOf(Qt::MouseButton qtButton, TMouseButton &button)
{
    switch (qtButton) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
    }
}

} // namespace

bool TwDBGrid::trackTitlePress(int gridCol, int gridRow, const QMouseEvent *event)
{
    TMouseButton button = mbLeft;
    const bool onTitle = gridRow == 0 && (options_ & dgTitles) && buttonOf(event->button(), button);
    if (!onTitle || modifierSetOf(event->modifiers()) == nativeClick_) {
        FClickPending = false;
        return false;
    }
    FClickColumn = gridCol;
    FClickButton = button;
    FClickShift = shiftStateOf(event);
    FClickPending = true;
    return true;
}

// Leaving the pressed title cell ends the tracking.
void TwDBGrid::titleMove(const QPoint &gridPos)
{
    if (!FClickPending || FClickColumn < 0)
        return;
    int col = -1, row = -1;
    CellAtPoint(gridPos, col, row);
    if (col != FClickColumn || row != 0)
        FClickPending = false;
}

void TwDBGrid::titleRelease(const QPoint &gridPos, Qt::MouseButton qtButton)
{
    if (!FClickPending)
        return;
    int col = -1, row = -1;
    CellAtPoint(gridPos, col, row);
    if (col != FClickColumn)
        return;
    if (options_ & dgIndicator)
        --FClickColumn;
    if (FClickColumn >= -1) {
        TMouseButton released = FClickButton;
        buttonOf(qtButton, released);
        guarded([&] {
            ColumnClick(this, FClickColumn, released, FClickShift, gridPos.x(), gridPos.y());
            switch (FClickButton) {
            case mbLeft: ColumnLeftClick(this, FClickColumn, FClickShift, gridPos.x(), gridPos.y()); break;
            case mbRight: ColumnRightClick(this, FClickColumn, FClickShift, gridPos.x(), gridPos.y()); break;
            case mbMiddle: ColumnMiddleClick(this, FClickColumn, FClickShift, gridPos.x(), gridPos.y()); break;
            }
        });
    }
    FClickPending = false;
}

void TwDBGrid::ColumnClick(QObject *, int, TMouseButton button, TShiftState, int x, int y)
{
    if (OnColumnClick)
        OnColumnClick(this, FClickColumn, button, FClickShift, x, y);
}

void TwDBGrid::ColumnLeftClick(QObject *, int, TShiftState, int x, int y)
{
    if (OnColumnLeftClick)
        OnColumnLeftClick(this, FClickColumn, FClickShift, x, y);
}

void TwDBGrid::ColumnRightClick(QObject *, int, TShiftState, int x, int y)
{
    if (OnColumnRightClick)
        OnColumnRightClick(this, FClickColumn, FClickShift, x, y);
}

void TwDBGrid::ColumnMiddleClick(QObject *, int, TShiftState, int x, int y)
{
    if (OnColumnMiddleClick)
        OnColumnMiddleClick(this, FClickColumn, FClickShift, x, y);
}

} // namespace components
