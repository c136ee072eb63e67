// Program start: the application, its message boxes and dialogs, the main window shown
// maximised, then the message loop until that window closes. Nothing is read from the
// command line or the environment; the connection used until stored profiles exist is
// the demo database found next to the build (see gui/ProgramStart.h).
#include "gui/MainWindow.h"
#include "gui/ProgramStart.h"
#include "gui/QtUiServices.h"
#include "platform/UiServices.h"
#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    gui::QtUiServices services;
    platform::setUiServices(&services);
    int status = 0;
    {
        std::unique_ptr<Tfm_ADO_Schema> window = gui::createMainWindow();
        window->showMaximized();
        status = app.exec();
    }
    platform::setUiServices(nullptr);
    return status;
}
