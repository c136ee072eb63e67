#include "UiServices.h"
#include <QProcess>
#include <cstdio>

namespace platform {

namespace {

// Used before a window installs its own services (console tools, start-up failures):
// it never waits for input, so a program without a screen cannot hang on a question.
class ConsoleUiServices final : public IUiServices {
public:
    void showMessage(QObject *, const QString &title, const QString &text, MessageIcon,
                     bool) override
    {
        const QByteArray line = (title.isEmpty() ? text : title + QStringLiteral(": ") + text)
                                    .toUtf8();
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }

    bool askYesNo(QObject *owner, const QString &title, const QString &text) override
    {
        showMessage(owner, title, text + QStringLiteral(" [No]"), MessageIcon::Question, false);
        return false;
    }

    QString chooseOpenFile(QObject *, const FileDialogRequest &) override { return {}; }
    QString chooseSaveFile(QObject *, const FileDialogRequest &) override { return {}; }

    void beep() override
    {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }

    bool launchProgram(const QString &program, const QStringList &arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
};

ConsoleUiServices &consoleServices()
{
    static ConsoleUiServices services;
    return services;
}

IUiServices *installed = nullptr;

} // namespace

IUiServices &ui()
{
    return installed ? *installed : consoleServices();
}

void setUiServices(IUiServices *services)
{
    installed = services;
}

} // namespace platform
