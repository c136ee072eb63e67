#pragma once
// TwDBGrid: the data-entry grid of the Schema and XML pages. A table view over a dataset
// (read lazily through DatasetModel) whose current record is the dataset's cursor, with
// an indicator column, an in-place editor that writes through the fields, and the
// keyboard and mouse rules of a data-entry form: Enter walks to the next editable column
// and appends at the end, arrows skip read-only and hidden columns, Y/N check fields
// toggle with Space or a click, and jumps to the last record can be limited.
#include "CheckColumn.h"
#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLineEdit;
class QPainter;

#include "data/core/Dataset.h"

namespace components {

class DatasetModel;
class GridEditor;

// Ends a key or click silently after a validation message (nothing more happens and
// nothing more is reported).
struct EAbort {};

// Grid options (a set: combine with |).
enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,
    dgAlwaysShowEditor = 1u << 1,
    dgTitles = 1u << 2,
    dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4,
    dgColLines = 1u << 5,
    dgRowLines = 1u << 6,
    dgTabs = 1u << 7,
    dgRowSelect = 1u << 8,
    dgAlwaysShowSelection = 1u << 9,
    dgConfirmDelete = 1u << 10,
    dgCancelOnExit = 1u << 11,
    dgMultiSelect = 1u << 12,
};
using TDBGridOptions = unsigned;
constexpr TDBGridOptions kDefaultGridOptions = dgEditing | dgTitles | dgIndicator | dgColumnResize |
                                               dgColLines | dgRowLines | dgTabs | dgConfirmDelete |
                                               dgCancelOnExit;

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

enum TdbeNativeClickItem : unsigned { ncssShift = 1u << 0, ncssCtrl = 1u << 1, ncssAlt = 1u << 2 };
using TdbeNativeClick = unsigned;
enum TgedmMemo { gedmNo, gedmYes };
enum TgedmGraphic { gedgNo, gedgStretch, gedgAdjust };

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem : unsigned {
    ssShift = 1u << 0, ssAlt = 1u << 1, ssCtrl = 1u << 2, ssLeft = 1u << 3,
    ssRight = 1u << 4, ssMiddle = 1u << 5, ssDouble = 1u << 6,
};
using TShiftState = unsigned;
enum TGridDrawStateItem : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
using TGridDrawState = unsigned;

// Notifications pass the sender first.
using TNotifyEvent = std::function<void(QObject *sender)>;
using TKeyEvent = std::function<void(QObject *sender, int &key, Qt::KeyboardModifiers shift)>;
using TKeyPressEvent = std::function<void(QObject *sender, QChar &key)>;
using TDBGridClickEvent = std::function<void(TCheckColumn *column)>;
using TChangeDrawingEvent = std::function<void(QObject *sender, int dataCol, int dataRow,
                                               TGridDrawState state, bool &highlighted)>;
using TColumnClickEvent = std::function<void(QObject *sender, int index, TMouseButton button,
                                             TShiftState shiftState, int x, int y)>;
using TColumnClickSimpleEvent = std::function<void(QObject *sender, int index, TShiftState shiftState,
                                                   int x, int y)>;
using TDrawColumnCellEvent = std::function<void(QObject *sender, QPainter *painter, const QRect &rect,
                                                int dataCol, TCheckColumn *column, TGridDrawState state)>;

class TwDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TwDBGrid(QWidget *parent = nullptr);
    ~TwDBGrid() override;

    // --- data source --------------------------------------------------------------------
    // Not owned; the grid forgets a dataset that is destroyed.
    void setDataSet(data::Dataset *dataset);
    data::Dataset *DataSet() const;
    // The data link is active while the dataset is open.
    bool LinkActive() const;

    // --- columns ------------------------------------------------------------------------
    int ColumnCount() const { return int(columns_.size()); }
    TCheckColumn *Columns(int index) const { return columns_.at(size_t(index)).get(); }
    int SelectedIndex() const { return selected_; }
    void setSelectedIndex(int index); // column exit and enter notifications fire
    data::Field *SelectedField() const;
    int CurrentColumn() const { return selected_; }
    // Re-reads titles and visibility from the columns and fields (field settings are
    // plain values: whoever changes them calls this to show the change at once).
    void LayoutChanged();

    // --- settings -----------------------------------------------------------------------
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    TDBGridOptions Options() const { return options_; }
    void setOptions(TDBGridOptions options);
    QString Caption() const { return caption_; }
    void setCaption(const QString &caption) { caption_ = caption; }
    int MaxRowCanMoveLast() const { return maxRowCanMoveLast_; }
    void setMaxRowCanMoveLast(int value) { maxRowCanMoveLast_ = value < -1 ? -1 : value; }
    TEditCharCase CharCase() const { return charCase_; }
    void setCharCase(TEditCharCase value) { charCase_ = value; }
    int GridLineWidth() const { return gridLineWidth_; }
    void setGridLineWidth(int width) { gridLineWidth_ = width; }
    TdbeNativeClick NativeClick() const { return nativeClick_; }
    void setNativeClick(TdbeNativeClick value) { nativeClick_ = value; }
    TgedmMemo DrawMemo() const { return drawMemo_; }
    void setDrawMemo(TgedmMemo value) { drawMemo_ = value; viewport()->update(); }
    TgedmGraphic DrawGraphic() const { return drawGraphic_; }
    void setDrawGraphic(TgedmGraphic value) { drawGraphic_ = value; viewport()->update(); }
    // Row heights (GridRowHeights.cpp). Writing 0 keeps the present height; the value
    // written is kept (FSavedRowHeight) and applied again after every layout change, and
    // the title row is as high as "Wg" in the title font plus 4 pixels.
    int DefaultRowHeight() const;
    void setDefaultRowHeight(int height);
    int SavedRowHeight() const { return FSavedRowHeight; }
    // Lets the user drag row borders in the indicator column; a dragged height becomes
    // every record row's height.
    bool RowSizingAllowed() const { return rowSizingAllowed_; }
    void setRowSizingAllowed(bool allowed);

    // --- notifications --------------------------------------------------------------------
    TNotifyEvent OnEnterDown;
    TNotifyEvent OnBeforePost;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TDBGridClickEvent OnCellClick;
    // Painting (GridCellPainter.cpp): dataCol and dataRow are the cell's data column and
    // the dataset's visible row, both from 0; the handler may change highlighted.
    TChangeDrawingEvent OnChangeDrawing;
    TDrawColumnCellEvent OnDrawColumnCell;
    // Title clicks (GridTitleClicks.cpp): a press on a title with a modifier set other than
    // NativeClick is tracked and, released over the same column, raises these with the
    // data column's index (-1 for the indicator's title cell) and the release position.
    TColumnClickEvent OnColumnClick;
    TColumnClickSimpleEvent OnColumnLeftClick;
    TColumnClickSimpleEvent OnColumnRightClick;
    TColumnClickSimpleEvent OnColumnMiddleClick;
    // Export hot keys (Ctrl+E spreadsheet, Ctrl+L XML load, Ctrl+P text, Ctrl+X XML): the
    // grid's own exports with its Caption, unless the owner attaches others.
    std::function<void(TwDBGrid *grid, const QString &caption)> ExportSpreadsheet =
        [](TwDBGrid *grid, const QString &caption) { grid->ExportToSpreadsheet(caption); };
    std::function<void(TwDBGrid *grid)> LoadXml = [](TwDBGrid *grid) { grid->LoadFromXML(); };
    std::function<void(TwDBGrid *grid, const QString &caption)> ExportText =
        [](TwDBGrid *grid, const QString &caption) { grid->ExportToText(caption); };
    std::function<void(TwDBGrid *grid, const QString &caption)> ExportXml =
        [](TwDBGrid *grid, const QString &caption) { grid->ExportToXML(caption); };

    // --- exports (GridExport.cpp) -----------------------------------------------------------
    // Each writes FExportDir/FExportName plus ".Txt", ".xls" or ".xml" (SetExportTarget),
    // through a temporary file renamed over the target, and then beeps and shows where
    // the file went. Text and spreadsheet exports need a dataset in browse state with
    // records (false, nothing shown, otherwise); they read the rows without moving the
    // current record. File errors of the text and XML exports are thrown to the caller.
    bool ExportToText(const QString &fileName);
    // Refuses, before writing, a dataset that does not fit one sheet; asks whether to open
    // the workbook only where a spreadsheet application is installed.
    bool ExportToSpreadsheet(const QString &fileName);
    bool ExportToXML(const QString &fileName);
    // Closes the dataset and loads the chosen XML file into it; false when cancelled.
    bool LoadFromXML();
    void SetExportTarget(const QString &fileName);
    QString ExportDir() const { return FExportDir; }
    QString ExportName() const { return FExportName; }

    // --- state ------------------------------------------------------------------------------
    bool EditorMode() const;
    QLineEdit *InplaceEditor() const;
    // Stores an open editor's text in its field (no-op when closed or unchanged); throws
    // the field's error for text it refuses.
    void UpdateData();
    // Grid column and row under a point of the grid (row 0 the title row and column 0
    // the indicator column when shown; -1 for both outside the cells).
    virtual void CellAtPoint(const QPoint &gridPos, int &aCol, int &aRow) const;
    // Handles a wheel turn; false when the grid has no open dataset (not handled).
    bool DoMouseWheel(int delta);
    // The platform view's layout after a change of the rows (GridArrivals.cpp).
    void doItemsLayout() override;

protected:
    // Raise the column-click events with FClickColumn and FClickShift (GridTitleClicks.cpp).
    virtual void ColumnClick(QObject *sender, int index, TMouseButton button, TShiftState shiftState, int x, int y);
    virtual void ColumnLeftClick(QObject *sender, int index, TShiftState shiftState, int x, int y);
    virtual void ColumnRightClick(QObject *sender, int index, TShiftState shiftState, int x, int y);
    virtual void ColumnMiddleClick(QObject *sender, int index, TShiftState shiftState, int x, int y);

    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    // Key-down steps 0 to 3 (GridKeyMap.cpp).
    void keyDown(int &key, Qt::KeyboardModifiers shift);
    void limitJumpToLast(int &key, Qt::KeyboardModifiers &shift);
    void mapDataEntryKey(int &key, Qt::KeyboardModifiers shift);
    void selectFirstWritableColumn();
    void baseKeyDown(int &key, Qt::KeyboardModifiers shift);
    void leftWalk();
    void rightWalk();
    void shiftTabWalk();
    void walkColumns(int step, bool askField);
    void firstLastColumn(bool last);
    // Key-press: Enter sequence and character case (GridEnterSequence.cpp).
    void keyPress(QChar &key);
    void baseKeyPress(QChar &key);
    void enterSequence(QChar &key);
    void CommitEditor();
    void ToggleCheckField();
    void ToggleIme();
    void selectColumnWithIme(int index);
    void imeStep();
    // Events fired only when assigned.
    void fireEnterDown();
    void fireBeforePost();
    // UpdateData for the dataset: the field's refusal as a result.
    std::optional<data::DatabaseError> storeEditorText();
    void cancelUntouchedInsertOnLeaving();

    // Where keys enter (GridKeyRouting.cpp): from the grid or its editor, through the
    // key-down and key-press handling; true when the open editor may still take the key.
    bool routeKey(QKeyEvent *event);
    bool dispatchKey(int key, Qt::KeyboardModifiers shift, const QString &text);
    // Presses on cells, titles and the indicator column (GridMouse.cpp). Grid columns
    // and rows count the indicator column and the title row when they are shown. A
    // press taken by the title-click tracking returns true: nothing else handles it.
    void gridCellAt(const QWidget *source, const QPoint &pos, int &gridCol, int &gridRow) const;
    bool pressAt(const QWidget *source, const QMouseEvent *event);
    // Title-click tracking (GridTitleClicks.cpp); positions are the grid's.
    bool trackTitlePress(int gridCol, int gridRow, const QMouseEvent *event);
    void titleMove(const QPoint &gridPos);
    void titleRelease(const QPoint &gridPos, Qt::MouseButton button);
    // Row heights (GridRowHeights.cpp): the platform grid's recomputation after a layout
    // change, then the kept height; a row the user resized gives its height to all.
    void rowLayoutChanged();
    void adoptResizedRowHeight();
    void finishEditOnPress(int gridCol, int gridRow);
    void basePress(int gridCol, int gridRow, Qt::MouseButton button);
    int titleRows() const { return (options_ & dgTitles) ? 1 : 0; }
    int indicatorColumns() const { return (options_ & dgIndicator) ? 1 : 0; }
    // Column widths from the fields' display widths in the grid's font.
    void applyDefaultColumnWidths();
    int defaultColumnWidth(int column) const;

    // Base grid behaviour.
    void colEnter();
    void colExit();
    void cellClick(int column);
    bool editing() const;
    bool columnReadOnly(int i) const;
    bool columnHidden(int i) const;
    bool canEditModify();
    bool canEditShow() const;
    void showEditor(const QString *initialText);
    void hideEditor();
    void placeEditor();
    void editorEdited();
    void moveBy(int distance);
    void appendAtEnd();
    void tabStep(bool forward);
    void deleteRecord();
    void syncCurrent();
    void rebuildColumns();
    void applyColumnVisibility();
    void applyOptions();
    void limitScroll(int action);
    // Rows appended out of sight repaint nothing (GridArrivals.cpp).
    void watchArrivals();
    bool rowOutOfSight(int row) const;
    template <typename F> void guarded(F &&body);
    void reportError(const QString &text);

    QPointer<data::Dataset> dataset_;
    DatasetModel *model_;
    std::vector<std::unique_ptr<TCheckColumn>> columns_;
    GridEditor *editor_ = nullptr;
    bool editorOpen_ = false;
    bool editorModified_ = false;
    int editorRow_ = -1;
    bool rebuildPending_ = true;
    bool syncing_ = false;
    int selected_ = -1;
    bool readOnly_ = false;
    TDBGridOptions options_ = kDefaultGridOptions;
    QString caption_;
    int maxRowCanMoveLast_ = -1;
    TEditCharCase charCase_ = ecNormal;
    int gridLineWidth_ = 1;
    TdbeNativeClick nativeClick_ = 0;
    TgedmMemo drawMemo_ = gedmYes;
    TgedmGraphic drawGraphic_ = gedgAdjust;
    bool rowSizingAllowed_ = false;
    int FSavedRowHeight = 0;
    bool adoptingRowHeight_ = false;
    // What the next layout follows: nothing yet, only rows inserted below the viewport,
    // or a change that must be painted.
    enum class PendingLayout { None, OutOfSight, Repaint };
    PendingLayout pendingLayout_ = PendingLayout::None;
    // Title press being tracked.
    bool FClickPending = false;
    int FClickColumn = -1;
    TMouseButton FClickButton = mbLeft;
    TShiftState FClickShift = 0;
    bool insertModified_ = false; // a field of the record being inserted was changed
    // Private state of the data-entry rules.
    bool FEnterSimulated = false;
    TDBGridOptions FSavedOptions = 0;
    bool optionsSaved_ = false;
    // Folder and base name of the last export file.
    QString FExportDir;
    QString FExportName;
    // Press tracked for the cell-click notification.
    int pressCol_ = -1;
    int pressRow_ = -1;
};

} // namespace components
