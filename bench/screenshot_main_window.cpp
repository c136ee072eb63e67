// Saves a picture of the main window connected to the demo database with the table list
// filled and one table's fields shown (docs/main-window.png). Run it on a display, e.g.
//   xvfb-run -a -s "-screen 0 1280x800x24" build/src/app/ado-screenshot docs/main-window.png
// It presses the window's own buttons, as a user would.
#include "app/gui/MainWindow.h"
#include "app/gui/ProgramStart.h"
#include "app/gui/QtUiServices.h"
#include "app/gui/TableListBox.h"
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    gui::installQtTranslation();
    const QStringList args = app.arguments();
    const QString out = args.size() > 1 ? args.at(1) : QStringLiteral("main-window.png");
    gui::QtUiServices services;
    platform::setUiServices(&services);

    std::unique_ptr<Tfm_ADO_Schema> window = gui::createMainWindow();
    if (window->ADOConnection1.ConnectionString().contains(QLatin1String("SQLOLEDB"))) {
        std::fprintf(stderr, "ado-screenshot: demo database not found (run scripts/make-demo-db.sh)\n");
        return 1;
    }
    window->showMaximized();
    int status = 0;
    QTimer::singleShot(300, [&] {
        window->btnADOConnection->click();
        window->btnGetTableName->click();
        // The customer table, as a user would pick it and double-click it.
        gui::TableListBox *list = window->lbxTableName;
        const auto found = list->findItems(QStringLiteral("客戶"), Qt::MatchExactly);
        if (!found.isEmpty()) {
            list->setCurrentItem(found.first());
            window->runCommand([&] { window->lbxTableNameDblClick(); });
        }
        QTimer::singleShot(300, [&] {
            if (!window->grab().save(out)) {
                std::fprintf(stderr, "ado-screenshot: cannot write %s\n", qPrintable(out));
                status = 1;
            }
            window->close();
        });
    });
    app.exec();
    window.reset();
    platform::setUiServices(nullptr);
    return status;
}
