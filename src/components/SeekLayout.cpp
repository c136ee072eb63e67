#include "SeekLayout.h"
#include <algorithm>

namespace components {

namespace {
constexpr int kLeft = 20;
constexpr int kFirstTop = 30;
constexpr int kRowHeight = 60;
constexpr int kEditBelowLabel = 20;
constexpr QPoint kBevelAt{13, 20};
// Moved as little as needed to lie inside `area`; the top-left corner wins when too big.
QPoint keptInside(QPoint at, QSize size, const QRect &area)
{
    if (area.isEmpty())
        return at;
    const int x = std::max(area.left(), std::min(at.x(), area.left() + area.width() - size.width()));
    const int y = std::max(area.top(), std::min(at.y(), area.top() + area.height() - size.height()));
    return {x, y};
}

} // namespace

SeekLayout layOutSeekDialog(const SeekLayoutInput &input)
{
    SeekLayout out;
    int y = kFirstTop;
    int widest = input.toolBar.width();
    for (size_t i = 0; i < input.editWidths.size(); ++i) {
        out.labels.push_back({kLeft, y});
        out.edits.push_back({kLeft, y + kEditBelowLabel});
        widest = std::max({widest, input.labelWidths.at(i), input.editWidths.at(i)});
        y += kRowHeight;
    }
    out.bevel = QRect(kBevelAt, QSize(widest + 40, y));
    const int width = out.bevel.width() + 30;
    out.toolBar = {width - input.toolBar.width() - 20, out.bevel.top() + out.bevel.height() + 10};
    out.dialog = {width, out.toolBar.y() + input.toolBar.height() + 40};
    if (width < input.anchorLeft)
        out.dialogAt = {input.anchorWidth - width + input.anchorLeft, input.anchorTop};
    else
        out.dialogAt = {input.screen.x() + (input.screen.width() - width) / 2,
                        input.screen.y() + (input.screen.height() - out.dialog.height()) / 2};
    out.dialogAt = keptInside(out.dialogAt, out.dialog, input.available);
    return out;
}

} // namespace components
