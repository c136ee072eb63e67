#pragma once
// The edit of one seek field: a masked line edit that knows its field and its place
// (Tag, counting from 1) among the seek fields, forces letter case as asked, and gives
// the value typed into it.
#include "EditMask.h"
#include "wDBGrid.h"
#include <QLineEdit>

namespace data {
class Field;
}

namespace components {

class SeekEdit : public QLineEdit {
    Q_OBJECT
public:
    SeekEdit(data::Field *field, int tag, QWidget *parent);

    data::Field *field() const { return field_; }
    QString fieldName() const;
    int Tag() const { return tag_; }

    // A mask in the data layer's syntax; empty removes the mask.
    void setEditMask(const QString &editMask);
    QString EditMask() const { return editMask_; }
    void setCharCase(TEditCharCase charCase) { charCase_ = charCase; }
    TEditCharCase CharCase() const { return charCase_; }

    // What was typed: empty when nothing was typed, even into a mask; with a mask that
    // drops literals, only the typed characters.
    QString value() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    data::Field *field_;
    int tag_;
    QString editMask_;
    QtInputMask mask_;
    TEditCharCase charCase_ = ecNormal;
};

} // namespace components
