#pragma once
// Qt's own Traditional Chinese texts (qtbase_zh_TW from Qt's translations folder, Debian
// package qt6-translations-l10n): the window's standard buttons and dialogs, and the
// console program's command-line parser messages. False when the file is missing; the
// program then runs with Qt's English texts.
namespace platform {

bool installQtTranslation();

} // namespace platform
