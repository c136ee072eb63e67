// Key-press handling of TwDBGrid: Enter moves to the next writable column and, past the
// last one, to the next record (appending at the end); other characters get the grid's
// character case. Also the check-field toggle and the input-method step.
#include "wDBGrid.h"
#include "ImeSwitch.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "platform/UiServices.h"
#include <QCoreApplication>

namespace components {

void TwDBGrid::keyPress(QChar &key)
{
    if (LinkActive() && key == QLatin1Char('\r')) {
        enterSequence(key);
        return;
    }
    if (key.isNull())
        return;
    const data::Field *f = SelectedField();
    if (charCase_ != ecNormal && isTextField(f)) {
        const char16_t c = key.unicode();
        if (charCase_ == ecUpperCase && c >= u'a' && c <= u'z')
            key = QChar(char16_t(c - u'a' + u'A'));
        else if (charCase_ == ecLowerCase && c >= u'A' && c <= u'Z')
            key = QChar(char16_t(c - u'A' + u'a'));
    }
    baseKeyPress(key);
}

void TwDBGrid::enterSequence(QChar &key)
{
    const int count = ColumnCount();
    if (count == 0)
        return;
    // 1. Finish the cell being edited.
    if (editing()) {
        if (editorOpen_) {
            QChar enter = QLatin1Char('\r');
            baseKeyPress(enter);
        }
        const data::Field *f = SelectedField();
        if (f && f->Required() && f->AsString().isEmpty()) {
            platform::ui().showMessage(this, QCoreApplication::applicationName(),
                                       f->DisplayLabel() + QStringLiteral("不得空白"),
                                       platform::MessageIcon::None, false);
            throw EAbort();
        }
        fireEnterDown();
    }
    // 2-3. Next column; past the last one, the next record.
    int t = selected_ + 1;
    if (t == count) {
        t = 0;
        if (editing())
            fireBeforePost();
        if (!FEnterSimulated) {
            dataset_->Next();
            if (dataset_->Eof())
                dataset_->Append();
        }
    }
    // 4. An Enter fed by CommitEditor only stores the cell.
    if (FEnterSimulated) {
        FEnterSimulated = false;
        return;
    }
    // 5. Skip read-only and hidden columns. When a full pass over the columns finds none
    // that can be written, the search ends on the current column instead of walking on
    // through the records and appending forever.
    if (!readOnly_) {
        bool any = false;
        for (int i = 0; i < count && !any; ++i)
            any = !columnReadOnly(i) && !columnHidden(i);
        if (!any) {
            t = selected_;
        } else {
            while (columnReadOnly(t) || columnHidden(t)) {
                if (t < count - 1) {
                    ++t;
                } else {
                    t = 0;
                    if (editing())
                        fireBeforePost();
                    dataset_->Next();
                    if (dataset_->Eof())
                        dataset_->Append();
                }
            }
        }
    }
    selectColumnWithIme(t);
    if (dataset_->State() == data::dsBrowse)
        key = QChar();
}

void TwDBGrid::CommitEditor()
{
    if (!editorOpen_)
        return;
    FEnterSimulated = true;
    QChar enter = QLatin1Char('\r');
    keyPress(enter);
}

void TwDBGrid::ToggleCheckField()
{
    data::Field *f = SelectedField();
    if (!f)
        return;
    data::Dataset *ds = f->DataSet();
    ds->Edit();
    f->setAsString(f->AsString() == QLatin1String("Y") ? QStringLiteral("N") : QStringLiteral("Y"));
    ds->Post();
}

void TwDBGrid::ToggleIme()
{
    ImeSwitch &ime = imeSwitch();
    if (ime.keyboardLayoutIsIme())
        ime.sendToggle(this);
}

void TwDBGrid::imeStep()
{
    if (selected_ >= 0 && selected_ < ColumnCount() && columns_[size_t(selected_)]->ImeName().isEmpty())
        ToggleIme();
}

void TwDBGrid::selectColumnWithIme(int index)
{
    setSelectedIndex(index);
    imeStep();
}

void TwDBGrid::fireEnterDown()
{
    if (OnEnterDown)
        OnEnterDown(this);
}

void TwDBGrid::fireBeforePost()
{
    if (OnBeforePost)
        OnBeforePost(this);
}

} // namespace components
