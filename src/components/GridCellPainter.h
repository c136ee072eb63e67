#pragma once
// How TwDBGrid paints a data cell: the highlight is decided (the view's own decision,
// then the owner's OnChangeDrawing), the view paints background and display text, and
// then memo, picture and check-box cells are drawn over it; OnDrawColumnCell comes last.
#include "PictureCache.h"
#include <QStyledItemDelegate>

namespace data { class Field; }

namespace components {

class TwDBGrid;

class GridCellPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridCellPainter(TwDBGrid *grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The rectangle the style's check box takes in a cell: its indicator size, centred.
    static QRect checkBoxRect(const QRect &cell, const QWidget *widget);

    const PictureCache &pictureCache() const { return pictures_; }

private:
    bool decideHighlight(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void drawSpecialCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                         bool highlighted) const;
    void drawMemo(QPainter *painter, const QStyleOptionViewItem &option, const QVariant &value,
                  bool highlighted) const;
    void drawPicture(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                     bool highlighted) const;
    void drawCheckBox(QPainter *painter, const QStyleOptionViewItem &option, bool checked,
                      bool highlighted) const;

    TwDBGrid *grid_;
    mutable PictureCache pictures_; // cleared whenever the grid's rows change
};

} // namespace components
