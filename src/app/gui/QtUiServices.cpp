#include "QtUiServices.h"
#include "app/help/HelpWindow.h"
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QWidget>

namespace gui {

namespace {

QWidget *parentWidget(QObject *owner)
{
    if (auto *w = qobject_cast<QWidget *>(owner))
        return w->window();
    return QApplication::activeWindow();
}

// "XML|*.xml|All|*.*" -> "XML (*.xml);;All (*.*)"
QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return out.join(QStringLiteral(";;"));
}

QString startPath(const platform::FileDialogRequest &request)
{
    if (request.defaultName.isEmpty())
        return request.initialDir;
    return QDir(request.initialDir).filePath(request.defaultName);
}

} // namespace

void QtUiServices::showMessage(QObject *owner, const QString &title, const QString &text,
                               platform::MessageIcon icon, bool topmost)
{
    QMessageBox box(parentWidget(owner));
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case platform::MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case platform::MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case platform::MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case platform::MessageIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case platform::MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    if (topmost)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

bool QtUiServices::askYesNo(QObject *owner, const QString &title, const QString &text)
{
    return QMessageBox::question(parentWidget(owner), title, text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtUiServices::chooseOpenFile(QObject *owner, const platform::FileDialogRequest &request)
{
    return QFileDialog::getOpenFileName(parentWidget(owner), request.title, startPath(request),
                                        qtFilter(request.filter));
}

QString QtUiServices::chooseSaveFile(QObject *owner, const platform::FileDialogRequest &request)
{
    QFileDialog::Options options;
    if (!request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(parentWidget(owner), request.title, startPath(request),
                                        qtFilter(request.filter), nullptr, options);
}

void QtUiServices::beep()
{
    QApplication::beep();
}

bool QtUiServices::launchProgram(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

void QtUiServices::showHelp(QObject *owner, int topic, const QString &helpFile)
{
    help::showHelp(parentWidget(owner), topic, helpFile);
}

} // namespace gui
