#pragma once
// The seek dialog's look: a Ming-style Traditional Chinese font 20 pixels high in
// yellow on maroon, and the pictures of its buttons (drawn here, no image files).
#include <QFont>
#include <QPalette>
#include <QPixmap>

namespace components {

QFont seekDialogFont();
QPalette seekDialogPalette(const QPalette &base);
// Edits keep black text on white inside the maroon dialog.
QPalette seekEditPalette(const QPalette &base);

QPixmap seekTickPicture();     // green tick, 18 x 16: start the search
QPixmap seekCrossPicture();    // red cross, 14 x 16: give up
QPixmap seekQuestionPicture(); // small blue mark, 16 x 16: the question buttons

} // namespace components
