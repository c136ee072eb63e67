#pragma once
// The window's user-interface services: Qt message boxes, questions, file dialogs and
// the help window.
#include "platform/UiServices.h"

namespace gui {

class QtUiServices final : public platform::IUiServices {
public:
    void showMessage(QObject *owner, const QString &title, const QString &text,
                     platform::MessageIcon icon, bool topmost) override;
    bool askYesNo(QObject *owner, const QString &title, const QString &text) override;
    QString chooseOpenFile(QObject *owner, const platform::FileDialogRequest &request) override;
    QString chooseSaveFile(QObject *owner, const platform::FileDialogRequest &request) override;
    void beep() override;
    bool launchProgram(const QString &program, const QStringList &arguments) override;
    // Opens the help window (src/app/help) on the topic; returns at once.
    void showHelp(QObject *owner, int topic, const QString &helpFile) override;
};

} // namespace gui
