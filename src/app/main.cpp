// Program start: the application with Qt's own Traditional Chinese texts, its message
// boxes and dialogs, the main window shown maximised, then the message loop until that
// window closes. Nothing is read from the command line: the connection comes from the
// profile file ADOConneciton.ini in the executable's folder, or in the user's
// configuration folder when the program is installed (platform/ProgramFolders.h); a
// first run builds it in the dialogs.
#include "gui/MainWindow.h"
#include "gui/ProgramStart.h"
#include "gui/ProfileStartOptions.h"
#include "profiles/gui/AdoConEd.h"
#include "gui/QtUiServices.h"
#include "platform/UiServices.h"
#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    gui::installQtTranslation();
    gui::QtUiServices services;
    platform::setUiServices(&services);
    int status = 0;
    {
        gui::ProfileStartOptions startOptions;
        startOptions.loadAtStart = true;
        startOptions.installDialogs = [](profiles::TADOConnectionINI &store) { profiles::InstallProfileDialogs(store); };
        gui::setProfileStartOptions(startOptions);
        std::unique_ptr<Tfm_ADO_Schema> window = gui::createMainWindow(false);
        window->showMaximized();
        status = app.exec();
    }
    platform::setUiServices(nullptr);
    return status;
}
