#pragma once
// The main window as the window tests meet it: shown at a known size and active, and
// the stop button a running command puts on its status bar.
#include "app/gui/MainWindow.h"
#include "support/GuiDriver.h"
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

namespace testsupport {

// A main window on `connectionString`, `size` large, shown and active; null when it did
// not become active. `schemaIni`, when given, is where it keeps its schema settings.
inline std::unique_ptr<Tfm_ADO_Schema> showMainWindow(const QString &connectionString,
                                                      const QString &schemaIni = QString(),
                                                      QSize size = QSize(1000, 700))
{
    auto w = std::make_unique<Tfm_ADO_Schema>();
    w->ADOConnection1.setConnectionString(connectionString);
    if (!schemaIni.isEmpty())
        w->FSchemaIniFile = schemaIni;
    w->resize(size);
    if (!drive::showActive(w.get()))
        return nullptr;
    return w;
}

// The button that stops the running command; null while none runs.
inline QToolButton *stopButton(const Tfm_ADO_Schema &w)
{
    return w.statusBar()->findChild<QToolButton *>(QStringLiteral("btnStopCommand"));
}

// Runs `during` once a command shows its stop button. The caller starts the command;
// `watcher` polls the window from inside the command's wait until then.
inline void whileRunning(QTimer &watcher, const Tfm_ADO_Schema &w, const std::function<void()> &during)
{
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&watcher, &w, during] {
        QToolButton *button = stopButton(w);
        if (!button || !button->isVisible())
            return;
        watcher.stop();
        during();
    });
    watcher.start();
}

// The SQL page as a person uses it: its tab clicked, the editor clicked, its text
// selected and typed over, then [執行] clicked. False (nothing run) when the editor did
// not take the focus or the text.
inline bool typeAndRunOnSqlPage(Tfm_ADO_Schema &w, const QString &text)
{
    constexpr int kSqlPage = 3;
    QTabBar *bar = w.PageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(kSqlPage).center());
    QTest::mouseClick(w.redSQLText->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    if (drive::focused() != static_cast<QWidget *>(w.redSQLText))
        return false;
    drive::press(Qt::Key_A, Qt::ControlModifier);
    drive::type(text);
    if (w.redSQLText->toPlainText() != text)
        return false;
    QTest::mouseClick(w.btnRun, Qt::LeftButton);
    return true;
}

} // namespace testsupport
