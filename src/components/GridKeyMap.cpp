// Key-down handling of TwDBGrid: the limit on jumps to the last record, the key map of
// the data-entry rules, the column walks, and the column search after Down in insert state.
#include "wDBGrid.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"

namespace components {

void TwDBGrid::keyDown(int &key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift & Qt::ControlModifier;
    bool mapped = true;
    // Ctrl+End on a large unsequenced dataset moves one record only.
    if (maxRowCanMoveLast_ >= 0 && ctrl && key == Qt::Key_End) {
        if (dataset_ && dataset_->Active() && dataset_->RecordCount() > maxRowCanMoveLast_ &&
            !dataset_->IsSequenced()) {
            key = Qt::Key_Down;
            shift &= ~Qt::ControlModifier;
        }
        mapped = false;
    }
    // The data-entry key map.
    if (mapped && !LinkActive()) {
        if (ctrl && key == Qt::Key_L && LoadXml)
            LoadXml(this);
    } else if (mapped) {
        const bool shiftTab = key == Qt::Key_Backtab || (key == Qt::Key_Tab && (shift & Qt::ShiftModifier));
        if (shiftTab) {
            shiftTabWalk();
            key = 0;
        } else {
            switch (key) {
            case Qt::Key_Space:
                if (isCheckField(SelectedField()))
                    ToggleCheckField();
                break;
            case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Up: case Qt::Key_Down:
                if (editing()) {
                    CommitEditor();
                    fireEnterDown();
                    fireBeforePost();
                }
                break;
            case Qt::Key_End:
                if (!editorOpen_) {
                    firstLastColumn(true);
                    key = 0;
                }
                break;
            case Qt::Key_Home:
                if (!editorOpen_) {
                    firstLastColumn(false);
                    key = 0;
                }
                break;
            case Qt::Key_Left:
                if (!editorOpen_) {
                    leftWalk();
                    key = 0;
                }
                break;
            case Qt::Key_Right:
                if (!editorOpen_) {
                    rightWalk();
                    key = 0;
                }
                break;
            case Qt::Key_E:
                if (ctrl && ExportSpreadsheet)
                    ExportSpreadsheet(this, caption_);
                break;
            case Qt::Key_L:
                if (ctrl && LoadXml)
                    LoadXml(this);
                break;
            case Qt::Key_P:
                if (ctrl && ExportText)
                    ExportText(this, caption_);
                break;
            case Qt::Key_X:
                if (ctrl && ExportXml)
                    ExportXml(this, caption_);
                break;
            default:
                break;
            }
        }
    }
    // The platform grid's own handling.
    if (key != 0)
        baseKeyDown(key, shift);
    // After Down, a new record starts at its first writable, visible field.
    if (key == Qt::Key_Down && dataset_ && dataset_->State() == data::dsInsert) {
        for (int i = 0; i < ColumnCount(); ++i) {
            setSelectedIndex(i);
            const data::Field *f = columns_[size_t(i)]->Field();
            if (f && f->Visible() && !f->ReadOnly()) {
                imeStep();
                break;
            }
        }
    }
}

namespace {

bool browseOrEdit(const data::Dataset *ds)
{
    return ds->State() == data::dsBrowse || ds->State() == data::dsEdit;
}

} // namespace

void TwDBGrid::leftWalk()
{
    if (editing())
        fireEnterDown();
    const int s = selected_;
    int t = s - 1;
    if (t < 0) {
        t = s;
    } else if (!readOnly_) {
        const bool skipReadOnly = browseOrEdit(dataset_) || dataset_->FieldByName(columns_[size_t(t)]->FieldName())->ReadOnly();
        while (t >= 0 && ((skipReadOnly && columnReadOnly(t)) || columnHidden(t)))
            --t;
        if (t < 0)
            t = s;
    }
    selectColumnWithIme(t);
}

void TwDBGrid::rightWalk()
{
    if (editing())
        fireEnterDown();
    const int s = selected_;
    const int count = ColumnCount();
    int t = s + 1;
    if (t >= count) {
        t = s;
    } else if (!readOnly_) {
        const bool skipReadOnly = browseOrEdit(dataset_) || dataset_->FieldByName(columns_[size_t(t)]->FieldName())->ReadOnly();
        while (t < count && ((skipReadOnly && columnReadOnly(t)) || columnHidden(t)))
            ++t;
        if (t >= count)
            t = s;
    }
    selectColumnWithIme(t);
}

void TwDBGrid::shiftTabWalk()
{
    if (editing())
        fireEnterDown();
    const int s = selected_;
    int t = s - 1;
    if (t < 0) {
        t = s;
    } else if (!readOnly_) {
        const bool skipReadOnly = browseOrEdit(dataset_);
        while (t >= 0 && ((skipReadOnly && columnReadOnly(t)) || columnHidden(t)))
            --t;
        if (t < 0)
            t = s;
    }
    selectColumnWithIme(t);
}

void TwDBGrid::firstLastColumn(bool last)
{
    int t = selected_;
    if (browseOrEdit(dataset_)) {
        if (last) {
            for (int i = ColumnCount() - 1; i >= 0; --i)
                if (!columnReadOnly(i) && !columnHidden(i)) {
                    t = i;
                    break;
                }
        } else {
            for (int i = 0; i < ColumnCount(); ++i)
                if (!columnReadOnly(i) && !columnHidden(i)) {
                    t = i;
                    break;
                }
        }
    }
    setSelectedIndex(t);
}

} // namespace components
