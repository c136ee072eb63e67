#pragma once
// Small helpers shared by the window and the console programs alike: the message box
// every user message passes through, a date stamp for file names, rounding, the computer's
// name, the program's version parts and the classification of a SQL text by its statement word.
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>

class QObject;

// Title of every message the main window shows.
inline const QString kProgramMessageTitle = QStringLiteral("程式訊息");

// Modal box owned by `owner`, one OK button, no icon, kept above other windows. The text
// is shown as given ("\n\r" pairs included).
void ShowProgramMessage(QObject *owner, const QString &text);

// yyyymmdd of the date part (year zero-padded to at least 4 digits); the time is ignored.
QString DateStamp(const QDateTime &value);

// Nearest whole number, halves away from zero (318.5 -> 319, -2.5 -> -3).
qint32 RoundToInt(double x);

// The computer's name (see platform/ComputerName.h); empty when it cannot be read.
QString GetComputerNameText();
// The same rule on a given host name: the part before the first ".", upper case, at
// most 15 characters.
QString GetComputerNameText(const QByteArray &hostName);

// The program's product version as four decimal texts (major, minor, release, build),
// each cut to its first four characters.
std::array<QString, 4> GetVersionParts();
// The same from the two 32-bit product-version numbers, most significant first.
std::array<QString, 4> GetVersionParts(quint32 productVersionMS, quint32 productVersionLS);

enum TSQLKind { skOther, skInsert, skUpdate, skSelect };

// Kind of a SQL text: ends trimmed of characters up to the blank, ASCII letters lowered,
// then "insert ", "update ", "select " searched anywhere, in that order.
TSQLKind GetSQLKind(const QString &text);
