#pragma once
// Where a picture cell's bitmap goes. Pure arithmetic, so the placement can be checked
// without painting.
#include <QRect>

namespace components {

// The picture kept in proportion inside the cell and centred: the ratios of cell to
// bitmap are computed in floating point (0 for an empty side), the side with the smaller
// ratio fills the cell and the other is scaled by it, rounded half to even; the offsets
// are halved with the division truncating toward zero. A 0 x 0 bitmap gives a rectangle
// as wide as the cell and 0 high.
QRect adjustedPictureRect(const QRect &cell, int bitmapWidth, int bitmapHeight);

// The rectangle a stretched picture fills: the cell's left, top and bottom edges and a
// width of twice the cell's height.
QRect stretchedPictureRect(const QRect &cell);

} // namespace components
