#include "wDBGrid.h"
#include "DatasetModel.h"
#include "GridCellPainter.h"
#include "GridEditor.h"
#include "GridGuarded.h"
#include "ImeSwitch.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "platform/UiServices.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace components {

TwDBGrid::TwDBGrid(QWidget *parent) : QTableView(parent), model_(new DatasetModel(this))
{
    setModel(model_);
    setItemDelegate(new GridCellPainter(this));
    model_->titleOf = [this](int i) {
        return i >= 0 && i < ColumnCount() ? columns_[size_t(i)]->TitleCaption() : QString();
    };
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(true);
    setSelectionMode(SingleSelection);
    setWordWrap(false);
    setAcceptDrops(true);
    setDragDropMode(NoDragDrop);
    setFocusPolicy(Qt::StrongFocus);
    // The view follows the dataset's cursor; headers do not select anything themselves.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setFixedWidth(16);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    editor_ = new GridEditor(viewport());
    editor_->hide();
    editor_->offerToGrid = [this](QKeyEvent *event) { return routeKey(event); };
    editor_->focusLost = [this] { cancelUntouchedInsertOnLeaving(); };
    connect(editor_, &QLineEdit::textEdited, this, [this] { guarded([this] { editorEdited(); }); });
    // Presses on the title row and the indicator column are the grid's presses too.
    for (QWidget *header : {horizontalHeader()->viewport(), verticalHeader()->viewport()})
        header->installEventFilter(this);
    if (auto *corner = findChild<QAbstractButton *>())
        corner->installEventFilter(this);

    connect(model_, &DatasetModel::wasReset, this, [this] {
        if (rebuildPending_ || !LinkActive() || int(columns_.size()) != (dataset_ ? dataset_->FieldCount() : 0))
            rebuildColumns();
        else
            applyColumnVisibility();
        syncCurrent();
    });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TwDBGrid::limitScroll);
    watchArrivals();
    connect(verticalHeader(), &QHeaderView::sectionResized, this, &TwDBGrid::adoptResizedRowHeight);
    applyOptions();
}

TwDBGrid::~TwDBGrid()
{
    if (dataset_)
        dataset_->setTypedTextHolder(this, {});
}

// ---- data source ------------------------------------------------------------------------

void TwDBGrid::setDataSet(data::Dataset *dataset)
{
    if (dataset_ == dataset)
        return;
    if (dataset_) {
        disconnect(dataset_, nullptr, this, nullptr);
        dataset_->setTypedTextHolder(this, {});
    }
    hideEditor();
    dataset_ = dataset;
    rebuildPending_ = true;
    if (dataset_) {
        connect(dataset_, &data::Dataset::afterOpen, this, [this] { rebuildPending_ = true; });
        connect(dataset_, &data::Dataset::afterScroll, this, &TwDBGrid::syncCurrent);
        connect(dataset_, &data::Dataset::stateChanged, this, [this] {
            if (dataset_ && dataset_->State() == data::dsInsert)
                insertModified_ = false;
            syncCurrent();
        });
        connect(dataset_, &data::Dataset::fieldChanged, this, [this](int) {
            if (dataset_ && dataset_->State() == data::dsInsert)
                insertModified_ = true;
        });
        // A post started elsewhere, a move that posts or cancels the edit, or a close
        // still takes the text typed into the editor; text the field refuses stops it.
        dataset_->setTypedTextHolder(this, [this] { return storeEditorText(); });
        connect(dataset_, &QObject::destroyed, this, [this] {
            hideEditor();
            columns_.clear();
            selected_ = -1;
        });
    }
    model_->setDataset(dataset);
    rebuildColumns();
    syncCurrent();
}

data::Dataset *TwDBGrid::DataSet() const
{
    return dataset_;
}

bool TwDBGrid::LinkActive() const
{
    return dataset_ && dataset_->Active();
}

bool TwDBGrid::editing() const
{
    return dataset_ && (dataset_->State() == data::dsEdit || dataset_->State() == data::dsInsert);
}

// ---- columns --------------------------------------------------------------------------------

void TwDBGrid::rebuildColumns()
{
    rebuildPending_ = false;
    if (optionsSaved_) {
        // The check column being left goes away with its dataset.
        optionsSaved_ = false;
        options_ = FSavedOptions;
        applyOptions();
    }
    hideEditor();
    columns_.clear();
    selected_ = -1;
    if (LinkActive())
        for (int i = 0; i < dataset_->FieldCount(); ++i)
            columns_.push_back(std::make_unique<TCheckColumn>(this, i, dataset_->Fields(i)->FieldName()));
    applyColumnVisibility();
    applyDefaultColumnWidths();
    for (int i = 0; i < ColumnCount(); ++i)
        if (!columnHidden(i)) {
            setSelectedIndex(i);
            break;
        }
    if (selected_ < 0 && ColumnCount() > 0)
        setSelectedIndex(0);
    rowLayoutChanged();
}

namespace {

// Column widths in characters of the grid's font: a one-character code still shows its
// title's first letters, and one long text field does not push the rest off screen.
constexpr int kMinColumnChars = 3;
constexpr int kMaxColumnChars = 40;
constexpr int kCellMargin = 8; // both sides of the text together

} // namespace

// A new dataset's columns are as wide as their fields' display widths (and at least as
// wide as their titles), within the bounds above.
void TwDBGrid::applyDefaultColumnWidths()
{
    for (int i = 0; i < ColumnCount() && i < model_->columnCount(); ++i)
        horizontalHeader()->resizeSection(i, defaultColumnWidth(i));
}

int TwDBGrid::defaultColumnWidth(int column) const
{
    const data::Field *f = columns_[size_t(column)]->Field();
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int chars = std::clamp(f ? f->DisplayWidth() : kMinColumnChars, kMinColumnChars, kMaxColumnChars);
    const int title = horizontalHeader()->fontMetrics().horizontalAdvance(columns_[size_t(column)]->TitleCaption());
    return std::min(std::max(chars * charWidth, title), kMaxColumnChars * charWidth) + kCellMargin;
}

void TwDBGrid::applyColumnVisibility()
{
    for (int i = 0; i < ColumnCount() && i < model_->columnCount(); ++i)
        setColumnHidden(i, columnHidden(i));
}

void TwDBGrid::LayoutChanged()
{
    applyColumnVisibility();
    model_->refreshTitles();
    rowLayoutChanged();
    viewport()->update();
}

bool TwDBGrid::columnReadOnly(int i) const
{
    return i < 0 || i >= ColumnCount() || columns_[size_t(i)]->ReadOnly();
}

bool TwDBGrid::columnHidden(int i) const
{
    return i < 0 || i >= ColumnCount() || !columns_[size_t(i)]->Visible();
}

data::Field *TwDBGrid::SelectedField() const
{
    if (selected_ < 0 || selected_ >= ColumnCount())
        return nullptr;
    return columns_[size_t(selected_)]->Field();
}

void TwDBGrid::setSelectedIndex(int index)
{
    if (index == selected_ || index < 0 || index >= ColumnCount())
        return;
    if (editorOpen_) {
        UpdateData();
        hideEditor();
    }
    if (selected_ >= 0)
        colExit();
    selected_ = index;
    syncCurrent();
    colEnter();
}

// Check fields cannot be typed into: editing is switched off while their column is
// selected and the previous options come back when it is left.
void TwDBGrid::colEnter()
{
    data::Field *f = SelectedField();
    if (isCheckField(f)) {
        if (f->Tag() == 10)
            columns_[size_t(selected_)]->setCheck(f->AsString());
        FSavedOptions = options_;
        optionsSaved_ = true;
        options_ &= ~TDBGridOptions(dgEditing);
        applyOptions();
    }
    if (OnColEnter)
        OnColEnter(this);
}

void TwDBGrid::colExit()
{
    if (isCheckField(SelectedField())) {
        options_ = FSavedOptions;
        optionsSaved_ = false;
        applyOptions();
    }
    if (OnColExit)
        OnColExit(this);
}

// ---- settings -----------------------------------------------------------------------------

void TwDBGrid::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    LayoutChanged();
}

void TwDBGrid::setOptions(TDBGridOptions options)
{
    options_ = options;
    applyOptions();
    rowLayoutChanged();
}

void TwDBGrid::applyOptions()
{
    horizontalHeader()->setVisible(options_ & dgTitles);
    verticalHeader()->setVisible(options_ & dgIndicator);
    setShowGrid(options_ & (dgColLines | dgRowLines));
    setSelectionBehavior((options_ & dgRowSelect) ? SelectRows : SelectItems);
    horizontalHeader()->setSectionResizeMode((options_ & dgColumnResize) ? QHeaderView::Interactive
                                                                          : QHeaderView::Fixed);
    if (editorOpen_ && !canEditShow())
        hideEditor();
    syncCurrent();
}

// ---- current record and cell ----------------------------------------------------------------

void TwDBGrid::syncCurrent()
{
    if (syncing_)
        return;
    QItemSelectionModel *sel = selectionModel();
    const int row = LinkActive() ? dataset_->currentRow() : -1;
    if (row < 0 || row >= model_->rowCount() || selected_ < 0 || selected_ >= model_->columnCount()) {
        if (editorOpen_ && !LinkActive())
            hideEditor();
        return;
    }
    if (editorOpen_ && row != editorRow_)
        hideEditor(); // the record was moved by someone else
    syncing_ = true;
    const QModelIndex idx = model_->index(row, selected_);
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (options_ & dgRowSelect)
        flags |= QItemSelectionModel::Rows;
    sel->setCurrentIndex(idx, flags);
    syncing_ = false;
    scrollTo(idx);
    placeEditor();
    // Jumps by the scroll bar are limited only while the thumb is released.
    const bool limited = maxRowCanMoveLast_ >= 0 && dataset_->RecordCount() > maxRowCanMoveLast_ &&
                         !dataset_->IsSequenced();
    verticalScrollBar()->setTracking(!limited);
}

// ---- in-place editor -------------------------------------------------------------------------

bool TwDBGrid::EditorMode() const
{
    return editorOpen_;
}

bool TwDBGrid::canEditShow() const
{
    const data::Field *f = SelectedField();
    return LinkActive() && (options_ & dgEditing) && !(options_ & dgRowSelect) && f && !f->IsBlob();
}

// Whether the selected cell may be changed; puts the dataset into edit state when so.
bool TwDBGrid::canEditModify()
{
    if (!canEditShow() || readOnly_ || columnReadOnly(selected_) || !dataset_->CanModify())
        return false;
    if (!editing())
        dataset_->Edit();
    return editing();
}

void TwDBGrid::showEditor(const QString *initialText)
{
    if (!canEditShow())
        return;
    data::Field *f = SelectedField();
    editor_->setReadOnly(readOnly_ || columnReadOnly(selected_) || !dataset_->CanModify());
    editor_->setMaxLength(isTextField(f) && f->Size() > 0 ? f->Size() : 32767);
    if (initialText) {
        editor_->setText(*initialText);
        editor_->end(false);
    } else {
        editor_->setText(f->AsString());
        editor_->selectAll();
    }
    editorModified_ = initialText != nullptr;
    editorOpen_ = true;
    editorRow_ = dataset_->currentRow();
    placeEditor();
    editor_->show();
    editor_->setFocus();
}

void TwDBGrid::hideEditor()
{
    if (!editor_)
        return;
    editorOpen_ = false;
    editorModified_ = false;
    editorRow_ = -1;
    // The focus comes back to the grid before the editor goes: hiding the focused editor
    // would hand the focus on as a Tab does.
    if (editor_->hasFocus() || window()->focusWidget() == editor_)
        setFocus();
    editor_->hide();
}

QLineEdit *TwDBGrid::InplaceEditor() const
{
    return editor_;
}

void TwDBGrid::placeEditor()
{
    if (!editorOpen_)
        return;
    const QRect r = visualRect(currentIndex());
    if (r.isEmpty())
        editor_->setGeometry(QRect(-1000, -1000, 10, 10));
    else
        editor_->setGeometry(r);
}

void TwDBGrid::editorEdited()
{
    if (!editorOpen_)
        return;
    if (!editing() && !canEditModify()) {
        editor_->setText(SelectedField() ? SelectedField()->AsString() : QString());
        return;
    }
    editorModified_ = true;
}

void TwDBGrid::UpdateData()
{
    if (!editorOpen_ || !editorModified_)
        return;
    data::Field *f = SelectedField();
    if (!f)
        return;
    f->setAsString(editor_->text()); // bad text throws; the editor stays open
    editorModified_ = false;
}

std::optional<data::DatabaseError> TwDBGrid::storeEditorText()
{
    try {
        UpdateData();
    } catch (const data::DatabaseError &refused) {
        return refused;
    }
    return std::nullopt;
}

// ---- base grid moves ----------------------------------------------------------------------------

void TwDBGrid::moveBy(int distance)
{
    UpdateData();
    hideEditor();
    dataset_->MoveBy(distance);
}

void TwDBGrid::appendAtEnd()
{
    if (dataset_->Eof() && dataset_->CanModify() && !readOnly_ && (options_ & dgEditing))
        dataset_->Append();
}

void TwDBGrid::tabStep(bool forward)
{
    if (!(options_ & dgTabs) || !LinkActive()) {
        QWidget::focusNextPrevChild(forward);
        return;
    }
    for (int i = selected_ + 1; i < ColumnCount(); ++i)
        if (!columnHidden(i)) {
            setSelectedIndex(i);
            return;
        }
    moveBy(1);
    appendAtEnd();
    for (int i = 0; i < ColumnCount(); ++i)
        if (!columnHidden(i)) {
            setSelectedIndex(i);
            return;
        }
}

void TwDBGrid::deleteRecord()
{
    if (!LinkActive() || readOnly_ || !dataset_->CanModify() || dataset_->IsEmpty())
        return;
    if ((options_ & dgConfirmDelete) &&
        !platform::ui().askYesNo(this, QStringLiteral("程式執行確認"), QStringLiteral("是否刪除此筆資料?")))
        return;
    hideEditor();
    dataset_->Delete();
}

// The platform grid's own key handling: record moves, Tab, Esc, F2, Insert, Ctrl+Delete.
void TwDBGrid::baseKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
    if (key == 0)
        return;
    if (!LinkActive()) {
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            QWidget::focusNextPrevChild(key == Qt::Key_Tab && !(shift & Qt::ShiftModifier));
        return;
    }
    const bool ctrl = shift & Qt::ControlModifier;
    const int page = std::max(1, viewport()->height() / std::max(1, DefaultRowHeight()) - 1);
    switch (key) {
    case Qt::Key_Up:
        if (dataset_->State() == data::dsInsert && !insertModified_ && !editorModified_) {
            hideEditor();
            dataset_->Cancel();
        } else {
            moveBy(-1);
        }
        break;
    case Qt::Key_Down:
        if (dataset_->State() == data::dsInsert && !insertModified_ && !editorModified_) {
            if (dataset_->Eof())
                break; // an untouched new record at the end stays
            hideEditor();
            dataset_->Cancel();
        } else {
            moveBy(1);
            appendAtEnd();
        }
        break;
    case Qt::Key_PageUp:
        moveBy(-page);
        break;
    case Qt::Key_PageDown:
        moveBy(page);
        break;
    case Qt::Key_Home:
        if (ctrl) {
            UpdateData();
            hideEditor();
            dataset_->First();
        }
        break;
    case Qt::Key_End:
        if (ctrl) {
            UpdateData();
            hideEditor();
            dataset_->Last();
        }
        break;
    case Qt::Key_Tab:
        tabStep(true);
        break;
    case Qt::Key_Escape:
        if (ctrl)
            break; // Ctrl+Esc is no cancel
        hideEditor();
        if (editing())
            dataset_->Cancel();
        break;
    case Qt::Key_F2:
        if (editorOpen_) {
            UpdateData();
            hideEditor();
        } else {
            showEditor(nullptr);
        }
        break;
    case Qt::Key_Insert:
        if (!ctrl && !(shift & Qt::ShiftModifier) && !readOnly_ && (options_ & dgEditing) &&
            dataset_->CanModify()) {
            UpdateData();
            hideEditor();
            dataset_->Insert();
        }
        break;
    case Qt::Key_Delete:
        if (ctrl)
            deleteRecord();
        break;
    default:
        break;
    }
}

// Typed characters open the editor on the selected cell.
void TwDBGrid::baseKeyPress(QChar &key)
{
    if (OnKeyPress)
        OnKeyPress(this, key);
    if (key.isNull())
        return;
    if (key == QLatin1Char('\r')) {
        if (editorOpen_) {
            UpdateData();
            hideEditor();
        }
        return;
    }
    if (editorOpen_ || key < QLatin1Char(' '))
        return;
    if (canEditModify()) {
        const QString text(key);
        showEditor(&text);
    }
}

// ---- events ------------------------------------------------------------------------------------

void TwDBGrid::reportError(const QString &text)
{
    platform::ui().showMessage(this, platform::kErrorTitle, text, platform::MessageIcon::Stop, false);
}

void TwDBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    cancelUntouchedInsertOnLeaving();
}

// Leaving the grid, from the grid itself or from its open editor, drops a new record
// nobody has typed into.
void TwDBGrid::cancelUntouchedInsertOnLeaving()
{
    if (!(options_ & dgCancelOnExit) || !dataset_ || dataset_->State() != data::dsInsert || insertModified_ ||
        editorModified_)
        return;
    QWidget *now = QApplication::focusWidget();
    if (now && (now == editor_ || isAncestorOf(now)))
        return;
    guarded([this] {
        hideEditor();
        dataset_->Cancel();
    });
}

// Jumps to the bottom of a large dataset become a page down.
void TwDBGrid::limitScroll(int action)
{
    if (maxRowCanMoveLast_ < 0 || !LinkActive() || dataset_->RecordCount() <= maxRowCanMoveLast_)
        return;
    QScrollBar *sb = verticalScrollBar();
    const bool toBottom = action == QAbstractSlider::SliderToMaximum;
    const bool thumbAtEnd = action == QAbstractSlider::SliderMove && !sb->isSliderDown() &&
                            sb->sliderPosition() == sb->maximum() && !dataset_->IsSequenced();
    if (toBottom || thumbAtEnd)
        sb->setSliderPosition(std::min(sb->value() + sb->pageStep(), sb->maximum()));
}

void TwDBGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TwDBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    placeEditor();
}

} // namespace components
