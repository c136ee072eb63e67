#include "ProgramStart.h"
#include "MainWindow.h"
#include "platform/QtTranslation.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace gui {

bool installQtTranslation()
{
    return platform::installQtTranslation();
}

QString demoConnectionString()
{
    const QDir exeDir(QCoreApplication::applicationDirPath());
    // build/src/app (the program, the screenshot tool) and build/bench (benchmarks).
    for (const QString &relative : {QStringLiteral("../../demo/demo.db"),
                                    QStringLiteral("../demo/demo.db")}) {
        const QFileInfo file(exeDir.filePath(relative));
        if (file.isFile())
            return QStringLiteral("Provider=SQLite.1;Data Source=") + file.canonicalFilePath();
    }
    return {};
}

std::unique_ptr<Tfm_ADO_Schema> createMainWindow(bool demoConnection)
{
    auto window = std::make_unique<Tfm_ADO_Schema>();
    const QString demo = demoConnection ? demoConnectionString() : QString();
    if (!demo.isEmpty())
        window->ADOConnection1.setConnectionString(demo);
    // A maximised window may get its size only after it is shown (or never, without a
    // window manager); start at the available size so page 0 is laid out for it.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->availableGeometry());
    return window;
}

} // namespace gui
