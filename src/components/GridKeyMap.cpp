// Key-down handling of TwDBGrid: the limit on jumps to the last record, the key map of
// the data-entry rules, the column walks, and the column search after Down in insert state.
#include "wDBGrid.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"

namespace components {

namespace {

// One key of the data-entry map and what it does.
struct KeyCase {
    int key;
    void (*run)(TwDBGrid &grid);
};

template <size_t N> const KeyCase *findKeyCase(const KeyCase (&cases)[N], int key)
{
    for (const KeyCase &c : cases)
        if (c.key == key)
            return &c;
    return nullptr;
}

bool browseOrEdit(const data::Dataset *ds)
{
    return ds->State() == data::dsBrowse || ds->State() == data::dsEdit;
}

} // namespace

void TwDBGrid::keyDown(int &key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift & Qt::ControlModifier;
    if (maxRowCanMoveLast_ >= 0 && ctrl && key == Qt::Key_End)
        limitJumpToLast(key, shift);
    else if (!LinkActive()) {
        // Without a linked dataset only loading a file means something.
        if (ctrl && key == Qt::Key_L && LoadXml)
            LoadXml(this);
    } else {
        mapDataEntryKey(key, shift);
    }
    // The platform grid's own handling.
    if (key != 0)
        baseKeyDown(key, shift);
    // After Down, a new record starts at its first writable, visible field.
    if (key == Qt::Key_Down && dataset_ && dataset_->State() == data::dsInsert)
        selectFirstWritableColumn();
}

// Ctrl+End on a large unsequenced dataset moves one record only; the key map leaves the
// key alone.
void TwDBGrid::limitJumpToLast(int &key, Qt::KeyboardModifiers &shift)
{
    if (dataset_ && dataset_->Active() && dataset_->RecordCount() > maxRowCanMoveLast_ &&
        !dataset_->IsSequenced()) {
        key = Qt::Key_Down;
        shift &= ~Qt::ControlModifier;
    }
}

// The data-entry key map. A key it uses up becomes 0.
void TwDBGrid::mapDataEntryKey(int &key, Qt::KeyboardModifiers shift)
{
    // Walks between columns while no editor is open; a walk uses the key up.
    static const KeyCase kColumnWalks[] = {
        {Qt::Key_End, [](TwDBGrid &g) { g.firstLastColumn(true); }},
        {Qt::Key_Home, [](TwDBGrid &g) { g.firstLastColumn(false); }},
        {Qt::Key_Left, [](TwDBGrid &g) { g.leftWalk(); }},
        {Qt::Key_Right, [](TwDBGrid &g) { g.rightWalk(); }},
    };
    // Ctrl+key: the grid's commands, when the owner gave one.
    static const KeyCase kCtrlCommands[] = {
        {Qt::Key_E, [](TwDBGrid &g) { if (g.ExportSpreadsheet) g.ExportSpreadsheet(&g, g.caption_); }},
        {Qt::Key_L, [](TwDBGrid &g) { if (g.LoadXml) g.LoadXml(&g); }},
        {Qt::Key_P, [](TwDBGrid &g) { if (g.ExportText) g.ExportText(&g, g.caption_); }},
        {Qt::Key_X, [](TwDBGrid &g) { if (g.ExportXml) g.ExportXml(&g, g.caption_); }},
    };
    if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && (shift & Qt::ShiftModifier))) {
        shiftTabWalk();
        key = 0;
    } else if (const KeyCase *walk = findKeyCase(kColumnWalks, key)) {
        if (!editorOpen_) {
            walk->run(*this);
            key = 0;
        }
    } else if (const KeyCase *command = findKeyCase(kCtrlCommands, key)) {
        if (shift & Qt::ControlModifier)
            command->run(*this);
    } else if (key == Qt::Key_Space) {
        if (isCheckField(SelectedField()))
            ToggleCheckField();
    } else if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Up || key == Qt::Key_Down) {
        // Leaving the record: the edited value is taken and checked first.
        if (editing()) {
            CommitEditor();
            fireEnterDown();
            fireBeforePost();
        }
    }
}

void TwDBGrid::selectFirstWritableColumn()
{
    for (int i = 0; i < ColumnCount(); ++i) {
        setSelectedIndex(i);
        const data::Field *f = columns_[size_t(i)]->Field();
        if (f && f->Visible() && !f->ReadOnly()) {
            imeStep();
            break;
        }
    }
}

void TwDBGrid::leftWalk()
{
    walkColumns(-1, true);
}

void TwDBGrid::rightWalk()
{
    walkColumns(+1, true);
}

void TwDBGrid::shiftTabWalk()
{
    walkColumns(-1, false);
}

// Moves one column by step, past hidden columns and (while browsing or editing, or when
// askField and the next column's field is read-only) read-only ones; stays put when no
// column is left that way.
void TwDBGrid::walkColumns(int step, bool askField)
{
    if (editing())
        fireEnterDown();
    const int s = selected_;
    const int count = ColumnCount();
    const auto inside = [count](int i) { return i >= 0 && i < count; };
    int t = s + step;
    if (!inside(t)) {
        t = s;
    } else if (!readOnly_) {
        const bool skipReadOnly = browseOrEdit(dataset_) ||
                                  (askField && dataset_->FieldByName(columns_[size_t(t)]->FieldName())->ReadOnly());
        while (inside(t) && ((skipReadOnly && columnReadOnly(t)) || columnHidden(t)))
            t += step;
        if (!inside(t))
            t = s;
    }
    selectColumnWithIme(t);
}

void TwDBGrid::firstLastColumn(bool last)
{
    int t = selected_;
    if (browseOrEdit(dataset_)) {
        const int count = ColumnCount();
        for (int n = 0; n < count; ++n) {
            const int i = last ? count - 1 - n : n;
            if (!columnReadOnly(i) && !columnHidden(i)) {
                t = i;
                break;
            }
        }
    }
    setSelectedIndex(t);
}

} // namespace components
