#pragma once
// What the program does between QApplication and the message loop, shared by main(),
// the startup benchmark and the screenshot tool so that they measure and show the real
// thing.
#include <QString>
#include <memory>

namespace gui {

class Tfm_ADO_Schema;

// Loads Qt's own Traditional Chinese translation ("qtbase_zh_TW.qm" from Qt's translations
// folder, Debian package qt6-translations-l10n), so that standard buttons, file dialogs
// and the editors' context menus speak the program's language. False when the file is
// missing; the program then runs with Qt's English texts.
bool installQtTranslation();

// The connection the window starts with until stored connection profiles exist: the
// demo database the build scripts make (build/demo/demo.db, found from the executable's
// folder build/src/app as ../../demo/demo.db, or from build/bench as ../demo/demo.db),
// with the embedded SQLite provider. Empty when there is no such file: the window then keeps its
// design-time connection string.
QString demoConnectionString();

// Creates the main window sized to the screen's available area; with demoConnection it
// gets the demo connection when there is one (the benchmark and the screenshot tool; the
// program itself takes its connection from the profile file). Not shown yet.
std::unique_ptr<Tfm_ADO_Schema> createMainWindow(bool demoConnection = true);

} // namespace gui
