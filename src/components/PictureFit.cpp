#include "PictureFit.h"
#include <cmath>
#include <limits>

namespace components {

namespace {

double ratio(int cellSide, int bitmapSide)
{
    return bitmapSide == 0 ? 0.0 : double(cellSide) / double(bitmapSide);
}

// Nearest integer, halves to even, kept within int.
int roundHalfEven(double value)
{
    constexpr double kMax = std::numeric_limits<int>::max();
    constexpr double kMin = std::numeric_limits<int>::min();
    const double below = std::floor(value);
    const double fraction = value - below;
    double r = fraction > 0.5 ? below + 1 : below;
    if (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)
        r = below + 1;
    return r >= kMax ? int(kMax) : r <= kMin ? int(kMin) : int(r);
}

} // namespace

QRect adjustedPictureRect(const QRect &cell, int bitmapWidth, int bitmapHeight)
{
    const int cellWidth = cell.width();
    const int cellHeight = cell.height();
    double rx = ratio(cellWidth, bitmapWidth);
    double ry = ratio(cellHeight, bitmapHeight);
    if (!std::isfinite(rx) || !std::isfinite(ry))
        rx = ry = 1.0;
    int w = cellWidth;
    int h = cellHeight;
    if (ry >= rx)
        h = roundHalfEven(bitmapHeight * rx);
    else
        w = roundHalfEven(bitmapWidth * ry);
    // C++ integer division truncates toward zero, as the placement wants.
    return QRect(cell.left() + (cellWidth - w) / 2, cell.top() + (cellHeight - h) / 2, w, h);
}

QRect stretchedPictureRect(const QRect &cell)
{
    return QRect(cell.left(), cell.top(), 2 * cell.height(), cell.height());
}

} // namespace components
