#pragma once
// Field edit masks are written in the data layer's mask syntax ("!9999/99/99;1;_"):
// a mask, then ";" and whether literals are kept in the value ("0": no), then ";" and
// the blank character. Qt's input masks look alike but differ: "0" and "9" swap
// meaning, letters, alphanumerics and "any character" use other symbols, "!" means
// something else, and several letters that are literals in the mask syntax are
// Qt mask symbols. This translates one into the other.
#include <QChar>
#include <QString>

namespace components {

struct QtInputMask {
    QString inputMask;        // for QLineEdit::setInputMask; empty: no mask
    bool keepLiterals = true; // the value includes the mask's literal characters
    QChar blank = QLatin1Char('_');
};

QtInputMask toQtInputMask(const QString &editMask);

// The characters a person typed into positions of `inputMask` (literals and blanks
// left out), read from the edit's display text.
QString typedCharacters(const QString &inputMask, const QString &displayText);

} // namespace components
