#pragma once
// Every modal interaction of the program passes through this interface, so that
// tests can answer dialogs by script and nothing ever blocks a test run.
#include <QString>
#include <QStringList>

class QObject;

namespace platform {

enum class MessageIcon { None, Information, Warning, Stop, Question };

// The title of every error box of the program.
inline const QString kErrorTitle = QStringLiteral("錯誤");

struct FileDialogRequest {
    QString title;
    QString initialDir;
    QString filter;          // "XML|*.xml" style as the program declares it
    QString defaultName;
    bool confirmOverwrite = false;
};

class IUiServices {
public:
    virtual ~IUiServices() = default;
    // A modal box with one OK button.
    virtual void showMessage(QObject *owner, const QString &title, const QString &text,
                             MessageIcon icon, bool topmost) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(QObject *owner, const QString &title, const QString &text) = 0;
    // Empty result: the user cancelled.
    virtual QString chooseOpenFile(QObject *owner, const FileDialogRequest &request) = 0;
    virtual QString chooseSaveFile(QObject *owner, const FileDialogRequest &request) = 0;
    virtual void beep() = 0;
    // Starts a program without waiting for it; false when it could not be started.
    virtual bool launchProgram(const QString &program, const QStringList &arguments) = 0;
    // Shows a help topic without waiting for the reader (the help window stays open
    // beside the dialog that asked). An empty helpFile means the program's own help.
    // Services that have no help window ignore the request.
    virtual void showHelp(QObject *owner, int topic, const QString &helpFile = QString())
    {
        Q_UNUSED(owner);
        Q_UNUSED(topic);
        Q_UNUSED(helpFile);
    }
};

// The services in force. Until a window installs its own, a console implementation
// answers (messages to stderr, questions answered No, dialogs cancelled).
IUiServices &ui();
// Installs services (not owned); nullptr restores the console implementation.
void setUiServices(IUiServices *services);

} // namespace platform
