#include "ScriptedUi.h"
#include <QTest>
#include <QtDebug>

namespace testsupport {

void ScriptedUi::queueAnswers(std::initializer_list<bool> answers)
{
    for (bool a : answers)
        answers_.push_back(a);
}

QStringList ScriptedUi::messageTexts() const
{
    QStringList texts;
    for (const auto &m : messages_)
        texts << m.text;
    return texts;
}

void ScriptedUi::clearRecords()
{
    messages_.clear();
    questions_.clear();
    dialogs_.clear();
    launches_.clear();
    helps_.clear();
    failures_.clear();
    beeps_ = 0;
}

void ScriptedUi::unscripted(const QString &what)
{
    const QString line = QStringLiteral("ScriptedUi: no scripted answer for ") + what;
    failures_ << line;
    qWarning().noquote() << line;
    if (failTest_ && QTest::currentTestFunction())
        QTest::qFail(qPrintable(line), __FILE__, __LINE__);
}

void ScriptedUi::showMessage(QObject *owner, const QString &title, const QString &text,
                             platform::MessageIcon icon, bool topmost)
{
    messages_ << RecordedMessage{owner, title, text, icon, topmost};
}

bool ScriptedUi::askYesNo(QObject *owner, const QString &title, const QString &text)
{
    RecordedQuestion q{owner, title, text, false};
    if (answers_.empty()) {
        unscripted(QStringLiteral("question \"%1\" / \"%2\"").arg(title, text));
    } else {
        q.answer = answers_.front();
        answers_.pop_front();
    }
    questions_ << q;
    return q.answer;
}

QString ScriptedUi::fileDialog(bool save, QObject *owner,
                               const platform::FileDialogRequest &request)
{
    std::deque<QString> &queue = save ? saveFiles_ : openFiles_;
    RecordedFileDialog d{save, owner, request, QString()};
    if (queue.empty()) {
        unscripted(QStringLiteral("%1 dialog \"%2\" (filter \"%3\")")
                       .arg(save ? QStringLiteral("save") : QStringLiteral("open"),
                            request.title, request.filter));
    } else {
        d.answer = queue.front();
        queue.pop_front();
    }
    dialogs_ << d;
    return d.answer;
}

QString ScriptedUi::chooseOpenFile(QObject *owner, const platform::FileDialogRequest &request)
{
    return fileDialog(false, owner, request);
}

QString ScriptedUi::chooseSaveFile(QObject *owner, const platform::FileDialogRequest &request)
{
    return fileDialog(true, owner, request);
}

bool ScriptedUi::launchProgram(const QString &program, const QStringList &arguments)
{
    launches_ << RecordedLaunch{program, arguments};
    return launchResult_;
}

ScopedUiServices::ScopedUiServices(platform::IUiServices &services)
    : previous_(&platform::ui())
{
    platform::setUiServices(&services);
}

ScopedUiServices::~ScopedUiServices()
{
    platform::setUiServices(previous_);
}

} // namespace testsupport
