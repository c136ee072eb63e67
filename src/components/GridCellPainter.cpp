#include "GridCellPainter.h"
#include "wDBGrid.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace components {

namespace {

QPalette::ColorGroup colorGroupOf(const QStyleOptionViewItem &option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
}

// The brush and text colour the view uses for the cell.
QBrush cellBrush(const QStyleOptionViewItem &option, bool highlighted)
{
    return option.palette.brush(colorGroupOf(option), highlighted ? QPalette::Highlight : QPalette::Base);
}

QColor textColour(const QStyleOptionViewItem &option, bool highlighted)
{
    return option.palette.color(colorGroupOf(option), highlighted ? QPalette::HighlightedText : QPalette::Text);
}

TGridDrawState drawStateOf(const QStyleOptionViewItem &option)
{
    TGridDrawState state = 0;
    if (option.state & QStyle::State_Selected)
        state |= gdSelected;
    if (option.state & QStyle::State_HasFocus)
        state |= gdFocused;
    return state;
}

// Memo text breaks its lines at CR LF, CR or LF.
QString memoLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

GridCellPainter::GridCellPainter(TwDBGrid *grid) : QStyledItemDelegate(grid), grid_(grid)
{
    QAbstractItemModel *rows = grid->model();
    const auto forget = [this] { pictures_.clear(); };
    connect(rows, &QAbstractItemModel::modelReset, this, forget);
    connect(rows, &QAbstractItemModel::dataChanged, this, forget);
    connect(rows, &QAbstractItemModel::rowsInserted, this, forget);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(rows, &QAbstractItemModel::layoutChanged, this, forget);
}

void GridCellPainter::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem cell = option;
    const bool highlighted = decideHighlight(option, index);
    cell.state.setFlag(QStyle::State_Selected, highlighted);
    // The view has already filled a selected row's panel: a highlight the owner turned
    // off takes the plain background back.
    if ((option.state & QStyle::State_Selected) && !highlighted)
        painter->fillRect(cell.rect, cellBrush(cell, false));
    QStyledItemDelegate::paint(painter, cell, index);
    drawSpecialCell(painter, cell, index, highlighted);
    if (grid_->OnDrawColumnCell) {
        TCheckColumn *column = index.column() < grid_->ColumnCount() ? grid_->Columns(index.column()) : nullptr;
        grid_->OnDrawColumnCell(grid_, painter, cell.rect, index.column(), column, drawStateOf(option));
    }
}

// The view's decision (the selected cell or row) goes to the owner, who may change it.
// An owner's error must not escape painting: the view's decision stands then.
bool GridCellPainter::decideHighlight(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool base = option.state & QStyle::State_Selected;
    if (!grid_->OnChangeDrawing)
        return base;
    bool highlighted = base;
    try {
        grid_->OnChangeDrawing(grid_, index.column(), index.row(), drawStateOf(option), highlighted);
    } catch (...) {
        return base;
    }
    return highlighted;
}

void GridCellPainter::drawSpecialCell(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index, bool highlighted) const
{
    data::Dataset *dataset = grid_->DataSet();
    if (!dataset || !dataset->Active() || index.column() >= grid_->ColumnCount())
        return;
    TCheckColumn *column = grid_->Columns(index.column());
    const data::Field *field = column->Field();
    if (!field)
        return;
    // Plain cells cost one type test: only special fields read their value again.
    auto value = [&] { return dataset->valueAt(index.row(), field->Index()); };
    if (field->IsBlob() && field->BlobType() == data::ftMemo) {
        if (grid_->DrawMemo() == gedmYes)
            drawMemo(painter, option, value(), highlighted);
    } else if (field->IsBlob() && field->BlobType() == data::ftGraphic) {
        drawPicture(painter, option, index, highlighted);
    } else if (isCheckField(field) && field->Tag() == 10 &&
               (column->Check() == QLatin1String("Y") || column->Check() == QLatin1String("N"))) {
        drawCheckBox(painter, option, data::Field::textOf(value(), field->DataType()) == QLatin1String("Y"),
                     highlighted);
    }
}

// The whole text, word-wrapped, 2 pixels in from the left and top, "&" drawn as itself.
void GridCellPainter::drawMemo(QPainter *painter, const QStyleOptionViewItem &option, const QVariant &value,
                               bool highlighted) const
{
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->fillRect(option.rect, cellBrush(option, highlighted));
    painter->setFont(option.font);
    painter->setPen(textColour(option, highlighted));
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      memoLines(data::Field::textOf(value, data::ftMemo)));
    painter->restore();
}

// The picture is decoded once per cell and size (PictureCache). Data no image reader can
// show (corrupt, or beyond the readers' size limit) leaves the grid's own "(GRAPHIC)"
// text: an error thrown from painting would take the window down, and an empty cell
// would look like no data at all.
void GridCellPainter::drawPicture(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                                  bool highlighted) const
{
    data::Dataset *dataset = grid_->DataSet();
    const int field = grid_->Columns(index.column())->Field()->Index();
    const CachedPicture &picture =
        pictures_.picture(index.row(), field, option.rect.size(), grid_->DrawGraphic(),
                          [&] { return dataset->valueAt(index.row(), field).toByteArray(); });
    if (!picture.drawable)
        return;
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    if (grid_->DrawGraphic() == gedgAdjust)
        painter->fillRect(option.rect, cellBrush(option, highlighted));
    if (!picture.scaled.isNull())
        painter->drawImage(picture.target.translated(option.rect.topLeft()), picture.scaled);
    painter->restore();
}

QRect GridCellPainter::checkBoxRect(const QRect &cell, const QWidget *widget)
{
    QStyle *style = widget ? widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget);
    return QRect(cell.left() + (cell.width() - w) / 2, cell.top() + (cell.height() - h) / 2, w, h);
}

// The style's own check box, marked when the row's text is "Y".
void GridCellPainter::drawCheckBox(QPainter *painter, const QStyleOptionViewItem &option, bool checked,
                                   bool highlighted) const
{
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->fillRect(option.rect, cellBrush(option, highlighted));
    QStyleOptionButton box;
    box.rect = checkBoxRect(option.rect, grid_);
    box.palette = option.palette;
    box.direction = option.direction;
    box.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    grid_->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, grid_);
    painter->restore();
}

} // namespace components
