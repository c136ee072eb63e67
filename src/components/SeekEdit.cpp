#include "SeekEdit.h"
#include "data/core/Field.h"
#include <QKeyEvent>

namespace components {

SeekEdit::SeekEdit(data::Field *field, int tag, QWidget *parent)
    : QLineEdit(parent), field_(field), tag_(tag)
{
}

QString SeekEdit::fieldName() const
{
    return field_ ? field_->FieldName() : QString();
}

void SeekEdit::setEditMask(const QString &editMask)
{
    editMask_ = editMask;
    mask_ = toQtInputMask(editMask);
    setInputMask(mask_.inputMask);
}

QString SeekEdit::value() const
{
    if (mask_.inputMask.isEmpty())
        return text();
    const QString typed = typedCharacters(mask_.inputMask, displayText());
    if (typed.isEmpty())
        return QString();
    return mask_.keepLiterals ? text() : typed;
}

void SeekEdit::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const QString cased = charCase_ == ecUpperCase   ? text.toUpper()
                          : charCase_ == ecLowerCase ? text.toLower()
                                                     : text;
    if (cased == text) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent casedEvent(event->type(), event->key(), event->modifiers(), cased,
                         event->isAutoRepeat(), ushort(event->count()));
    QLineEdit::keyPressEvent(&casedEvent);
    event->setAccepted(casedEvent.isAccepted());
}

} // namespace components
