#pragma once
// Messages the console shares with the window, worded for a shell: a hint that names a
// window button or shortcut becomes what a shell user does instead, and the window's
// "\n\r" line breaks become plain ones.
#include <QString>

namespace cli {

QString consoleWording(QString message);

} // namespace cli
