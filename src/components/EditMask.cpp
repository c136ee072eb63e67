#include "EditMask.h"
#include <QStringList>
#include <algorithm>
#include <iterator>

namespace components {

namespace {

// Mask-syntax symbol -> Qt input-mask symbol, for the symbols both know.
struct SymbolRow {
    char editMask;
    char qt;
};
constexpr SymbolRow kSymbols[] = {
    {'0', '9'}, // digit required
    {'9', '0'}, // digit optional
    {'#', '#'}, // digit or sign, optional
    {'L', 'A'}, // letter required
    {'l', 'a'}, // letter optional
    {'A', 'N'}, // letter or digit required
    {'a', 'n'}, // letter or digit optional
    {'C', 'X'}, // any character required
    {'c', 'x'}, // any character optional
};

// Characters Qt reads as symbols; in the mask syntax they are plain literals.
const QString kQtSymbols = QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\");

// Splits at unescaped ";" into mask, keep-literals flag and blank character.
QStringList splitFields(const QString &editMask)
{
    QStringList fields{QString()};
    for (qsizetype i = 0; i < editMask.size(); ++i) {
        const QChar c = editMask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < editMask.size()) {
            fields.last() += c;
            fields.last() += editMask.at(++i);
        } else if (c == QLatin1Char(';') && fields.size() < 3) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

QString literal(QChar c)
{
    // Qt cannot keep a ";" inside a mask (it always starts the blank field).
    if (c == QLatin1Char(';'))
        return QStringLiteral(" ");
    return kQtSymbols.contains(c) ? QStringLiteral("\\") + c : QString(c);
}

QString translateSymbols(const QString &mask)
{
    QString out;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        const QChar next = i + 1 < mask.size() ? mask.at(i + 1) : QChar();
        if (c == QLatin1Char('\\')) {
            if (!next.isNull())
                out += literal(mask.at(++i));
        } else if (c == QLatin1Char('!')) {
            // Optional characters shown as leading blanks: Qt has no such mode.
        } else if ((c == QLatin1Char('>') && next == QLatin1Char('<')) ||
                   (c == QLatin1Char('<') && next == QLatin1Char('>'))) {
            out += QLatin1Char('!'); // case conversion off
            ++i;
        } else if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            out += c;
        } else if (c == QLatin1Char('_')) {
            out += QLatin1Char(' '); // the mask syntax inserts a blank here
        } else {
            const auto row = std::find_if(std::begin(kSymbols), std::end(kSymbols),
                                          [&](const SymbolRow &r) { return c == QLatin1Char(r.editMask); });
            out += row != std::end(kSymbols) ? QString(QLatin1Char(row->qt)) : literal(c);
        }
    }
    return out;
}

bool isInputSymbol(QChar c)
{
    static const QString symbols = QStringLiteral("AaNnXx90Dd#HhBb");
    return symbols.contains(c);
}

} // namespace

QtInputMask toQtInputMask(const QString &editMask)
{
    const QStringList fields = splitFields(editMask);
    QtInputMask result;
    if (fields.size() > 1)
        result.keepLiterals = fields.at(1) != QLatin1String("0");
    if (fields.size() > 2 && !fields.at(2).isEmpty())
        result.blank = fields.at(2).at(0);
    const QString symbols = translateSymbols(fields.at(0));
    if (!symbols.isEmpty())
        result.inputMask = symbols + QLatin1Char(';') + result.blank;
    return result;
}

QString typedCharacters(const QString &inputMask, const QString &displayText)
{
    const qsizetype blankAt = inputMask.lastIndexOf(QLatin1Char(';'));
    const QString mask = blankAt >= 0 ? inputMask.left(blankAt) : inputMask;
    const QChar blank = blankAt >= 0 && blankAt + 1 < inputMask.size() ? inputMask.at(blankAt + 1)
                                                                       : QLatin1Char(' ');
    QString typed;
    qsizetype position = 0;
    for (qsizetype i = 0; i < mask.size() && position < displayText.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('!'))
            continue; // case switches take no position
        const bool escaped = c == QLatin1Char('\\');
        if (escaped)
            ++i;
        const QChar shown = displayText.at(position++);
        if (!escaped && isInputSymbol(c) && shown != blank)
            typed += shown;
    }
    return typed;
}

} // namespace components
