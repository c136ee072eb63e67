#include "wDBGrid.h"
#include "DatasetModel.h"
#include "ImeSwitch.h"
#include "data/DatabaseError.h"
#include "data/Dataset.h"
#include "data/Field.h"
#include "platform/UiServices.h"
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace components {

// Errors of the dataset end the key or click that caused them and are reported as the
// application reports any error; a silent abort just ends it.
template <typename F> void TwDBGrid::guarded(F &&body)
{
    try {
        body();
        return;
    } catch (const EAbort &) {
    } catch (const data::DatabaseError &e) {
        reportError(e.message());
    } catch (const std::exception &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    syncing_ = false;
    syncCurrent();
}

TwDBGrid::TwDBGrid(QWidget *parent) : QTableView(parent), model_(new DatasetModel(this))
{
    setModel(model_);
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

    editor_ = new QLineEdit(viewport());
    editor_->setObjectName(QStringLiteral("InplaceEditor"));
    editor_->setFrame(false);
    editor_->hide();
    editor_->installEventFilter(this);
    connect(editor_, &QLineEdit::textEdited, this, [this] { guarded([this] { editorEdited(); }); });

    connect(model_, &DatasetModel::wasReset, this, [this] {
        if (rebuildPending_ || !LinkActive() || int(columns_.size()) != (dataset_ ? dataset_->FieldCount() : 0))
            rebuildColumns();
        else
            applyColumnVisibility();
        syncCurrent();
    });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TwDBGrid::limitScroll);
    applyOptions();
}

TwDBGrid::~TwDBGrid() = default;

// ---- data source ------------------------------------------------------------------------

void TwDBGrid::setDataSet(data::Dataset *dataset)
{
    if (dataset_ == dataset)
        return;
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
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
        // A post started elsewhere still takes the text typed into the editor.
        connect(dataset_, &data::Dataset::beforePost, this, &TwDBGrid::UpdateData);
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
    for (int i = 0; i < ColumnCount(); ++i)
        if (!columnHidden(i)) {
            setSelectedIndex(i);
            break;
        }
    if (selected_ < 0 && ColumnCount() > 0)
        setSelectedIndex(0);
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

int TwDBGrid::DefaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void TwDBGrid::setDefaultRowHeight(int height)
{
    if (height == 0)
        height = DefaultRowHeight();
    verticalHeader()->setDefaultSectionSize(height);
    savedRowHeight_ = height;
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
    const bool hadFocus = editor_->hasFocus();
    editorOpen_ = false;
    editorModified_ = false;
    editorRow_ = -1;
    editor_->hide();
    if (hadFocus)
        setFocus();
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
        !platform::ui().askYesNo(this, QStringLiteral("Confirm"), QStringLiteral("Delete record?")))
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
    platform::ui().showMessage(this, QCoreApplication::applicationName(), text,
                               platform::MessageIcon::Stop, false);
}

void TwDBGrid::handleKey(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    const int pressed = key;
    keyDown(key, shift);
    // The character of the key follows its key-down, as the platform sends it.
    QChar ch;
    if (pressed == Qt::Key_Return || pressed == Qt::Key_Enter)
        ch = QLatin1Char('\r');
    else if (text.size() == 1 && text[0] >= QLatin1Char(' ') && text[0] != QChar(0x7f) &&
             !(shift & Qt::ControlModifier)) // Ctrl+P and the other hot keys type nothing
        ch = text[0];
    if (!ch.isNull())
        keyPress(ch);
}

bool TwDBGrid::event(QEvent *event)
{
    // Tab and Shift+Tab belong to the grid's key handling, not to focus changes.
    if (event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QTableView::event(event);
}

void TwDBGrid::keyPressEvent(QKeyEvent *event)
{
    if (editorOpen_ && editor_->isVisible()) {
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                       event->isAutoRepeat(), ushort(event->count()));
        QCoreApplication::sendEvent(editor_, &copy);
        event->accept();
        return;
    }
    guarded([&] { handleKey(event->key(), event->modifiers(), event->text()); });
    event->accept();
}

bool TwDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != editor_ || event->type() != QEvent::KeyPress)
        return QTableView::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    switch (k->key()) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
    case Qt::Key_Escape: case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return:
    case Qt::Key_Enter: case Qt::Key_F2:
        guarded([&] { handleKey(k->key(), k->modifiers(), k->text()); });
        return true;
    default:
        break;
    }
    const QString text = k->text();
    if (text.size() == 1 && text[0] >= QLatin1Char(' ') && text[0] != QChar(0x7f) &&
        !(k->modifiers() & Qt::ControlModifier)) {
        QChar ch = text[0];
        bool consumed = false;
        guarded([&] {
            keyPress(ch);
            if (ch.isNull()) {
                consumed = true;
            } else if (ch != text[0]) {
                editor_->insert(QString(ch));
                editorEdited();
                consumed = true;
            }
        });
        return consumed;
    }
    return false;
}

void TwDBGrid::CellAtPoint(const QPoint &viewportPos, int &aCol, int &aRow) const
{
    const int row = rowAt(viewportPos.y());
    const int col = columnAt(viewportPos.x());
    if (row < 0 || col < 0) {
        aCol = aRow = -1;
        return;
    }
    aRow = row + ((options_ & dgTitles) ? 1 : 0);
    aCol = col + ((options_ & dgIndicator) ? 1 : 0);
}

void TwDBGrid::mousePressEvent(QMouseEvent *event)
{
    setFocus();
    pressCol_ = pressRow_ = -1;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    guarded([&] {
        const QPoint pos = event->position().toPoint();
        if (LinkActive() && editing()) {
            const int row = rowAt(pos.y());
            if (row >= 0 && row == dataset_->currentRow()) {
                if (columnAt(pos.x()) != selected_)
                    fireEnterDown();
            } else if (dataset_->State() == data::dsInsert) {
                hideEditor();
                dataset_->Cancel();
            } else {
                fireEnterDown();
                fireBeforePost();
                UpdateData();
                dataset_->Post();
            }
        }
        // The base press: select the cell under the pointer (rows may have moved above).
        if (LinkActive()) {
            const int row = rowAt(pos.y());
            const int col = columnAt(pos.x());
            if (row >= 0 && col >= 0) {
                const bool sameCell = row == dataset_->currentRow() && col == selected_;
                if (row != dataset_->currentRow()) {
                    UpdateData();
                    hideEditor();
                    dataset_->MoveBy(row - dataset_->currentRow());
                }
                setSelectedIndex(col);
                syncCurrent();
                pressRow_ = row;
                pressCol_ = col;
                if (sameCell && event->button() == Qt::LeftButton && !editorOpen_)
                    showEditor(nullptr);
            }
        }
        if (event->button() == Qt::LeftButton)
            imeStep();
    });
    event->accept();
}

void TwDBGrid::mouseMoveEvent(QMouseEvent *event)
{
    event->accept(); // no drag selection: the current record is the dataset's
}

void TwDBGrid::mouseReleaseEvent(QMouseEvent *event)
{
    guarded([&] {
        const QPoint pos = event->position().toPoint();
        const int row = rowAt(pos.y());
        const int col = columnAt(pos.x());
        if (LinkActive() && pressCol_ >= 0 && row == pressRow_ && col == pressCol_)
            cellClick(col);
        if (OnClick)
            OnClick(this);
    });
    pressCol_ = pressRow_ = -1;
    event->accept();
}

void TwDBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    guarded([&] {
        if (OnDblClick)
            OnDblClick(this);
    });
    event->accept();
}

// A click on a check field toggles it when the column can be written and whole rows are
// not being selected.
void TwDBGrid::cellClick(int column)
{
    if (!(options_ & dgRowSelect) && !columnReadOnly(column) && isCheckField(SelectedField()))
        ToggleCheckField();
    if (OnCellClick && column >= 0 && column < ColumnCount())
        OnCellClick(columns_[size_t(column)].get());
}

bool TwDBGrid::DoMouseWheel(int delta)
{
    if (!dataset_ || dataset_->State() == data::dsInactive)
        return false;
    if (delta < 0) {
        UpdateData();
        hideEditor();
        dataset_->Next();
    } else if (delta > 0) {
        UpdateData();
        hideEditor();
        dataset_->Prior();
    }
    return true;
}

void TwDBGrid::wheelEvent(QWheelEvent *event)
{
    bool handled = true;
    guarded([&] { handled = DoMouseWheel(event->angleDelta().y()); });
    event->setAccepted(handled);
}

// Leaving the grid drops a new record nobody has typed into.
void TwDBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
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
