#pragma once
// Where the seek dialog puts its controls and itself. Each field takes a row of 60
// pixels: its caption at the row's top, its edit 20 pixels below; a frame surrounds
// the rows, the tool bar sits under the frame at the right, and the dialog opens
// right-aligned under an anchor given by its owner, or centred on the screen when it
// is at least as wide as the anchor's left edge; either way it is kept on the screen.
// The dialog's size is its outer size, frame and title bar included.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace components {

struct SeekLayoutInput {
    std::vector<int> labelWidths; // one per seek field
    std::vector<int> editWidths;
    QSize toolBar;
    int anchorLeft = 0;
    int anchorTop = 0;
    int anchorWidth = 0;
    QRect screen;    // the whole screen: centring
    QRect available; // what windows may cover: the dialog is kept inside it
};

struct SeekLayout {
    std::vector<QPoint> labels;
    std::vector<QPoint> edits;
    QRect bevel;
    QPoint toolBar;
    QSize dialog;     // outer size
    QPoint dialogAt;  // outer top-left
};

// Width of the edit of a field shown `displayWidth` characters wide.
inline int seekEditWidth(int displayWidth) { return displayWidth * 10 + 5; }
// The widest a caption or edit may be for the dialog to fit a screen this wide.
inline int seekControlWidthLimit(int screenWidth) { return screenWidth - 70; }

SeekLayout layOutSeekDialog(const SeekLayoutInput &input);

} // namespace components
