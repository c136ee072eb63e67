#pragma once
// User-interface services for tests: records every message, answers questions and file
// dialogs from queues the test fills, counts beeps and records launched programs. A
// question or dialog with no scripted answer is recorded as a failure, fails the running
// test and is answered No / cancel, so a test never waits for a person.
#include "platform/UiServices.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

namespace testsupport {

struct RecordedMessage {
    QObject *owner = nullptr;
    QString title;
    QString text;
    platform::MessageIcon icon = platform::MessageIcon::None;
    bool topmost = false;
};

struct RecordedQuestion {
    QObject *owner = nullptr;
    QString title;
    QString text;
    bool answer = false;
};

struct RecordedFileDialog {
    bool save = false;
    QObject *owner = nullptr;
    platform::FileDialogRequest request;
    QString answer; // empty: cancelled
};

struct RecordedHelp {
    QObject *owner = nullptr;
    int topic = 0;
    QString helpFile;
};

struct RecordedLaunch {
    QString program;
    QStringList arguments;
};

class ScriptedUi : public platform::IUiServices {
public:
    // --- script ------------------------------------------------------------------------
    void answerYes() { answers_.push_back(true); }
    void answerNo() { answers_.push_back(false); }
    void queueAnswers(std::initializer_list<bool> answers);
    // An empty path answers "cancel".
    void queueOpenFile(const QString &path) { openFiles_.push_back(path); }
    void queueSaveFile(const QString &path) { saveFiles_.push_back(path); }
    void setLaunchResult(bool started) { launchResult_ = started; }
    // By default an unanswered question or dialog also fails the running Qt test; a test
    // that checks that path itself turns this off and looks at failures().
    void setFailTestOnUnscripted(bool fail) { failTest_ = fail; }

    // --- records -------------------------------------------------------------------------
    const QList<RecordedMessage> &messages() const { return messages_; }
    QStringList messageTexts() const;
    RecordedMessage lastMessage() const { return messages_.isEmpty() ? RecordedMessage{} : messages_.last(); }
    const QList<RecordedQuestion> &questions() const { return questions_; }
    const QList<RecordedFileDialog> &fileDialogs() const { return dialogs_; }
    const QList<RecordedLaunch> &launches() const { return launches_; }
    const QList<RecordedHelp> &helpRequests() const { return helps_; }
    int beeps() const { return beeps_; }
    // One line per question or dialog that found no scripted answer.
    const QStringList &failures() const { return failures_; }
    // Scripted answers nobody asked for (a test may check they were all used).
    int pendingAnswers() const { return int(answers_.size() + openFiles_.size() + saveFiles_.size()); }
    // Forgets the records (not the queued answers).
    void clearRecords();

    // --- IUiServices -----------------------------------------------------------------------
    void showMessage(QObject *owner, const QString &title, const QString &text,
                     platform::MessageIcon icon, bool topmost) override;
    bool askYesNo(QObject *owner, const QString &title, const QString &text) override;
    QString chooseOpenFile(QObject *owner, const platform::FileDialogRequest &request) override;
    QString chooseSaveFile(QObject *owner, const platform::FileDialogRequest &request) override;
    void beep() override { ++beeps_; }
    bool launchProgram(const QString &program, const QStringList &arguments) override;
    void showHelp(QObject *owner, int topic, const QString &helpFile) override
    {
        helps_ << RecordedHelp{owner, topic, helpFile};
    }

private:
    void unscripted(const QString &what);
    QString fileDialog(bool save, QObject *owner, const platform::FileDialogRequest &request);

    std::deque<bool> answers_;
    std::deque<QString> openFiles_;
    std::deque<QString> saveFiles_;
    bool launchResult_ = true;
    bool failTest_ = true;

    QList<RecordedMessage> messages_;
    QList<RecordedQuestion> questions_;
    QList<RecordedFileDialog> dialogs_;
    QList<RecordedLaunch> launches_;
    QList<RecordedHelp> helps_;
    QStringList failures_;
    int beeps_ = 0;
};

// Installs the services for the lifetime of the guard and puts the previous ones back.
class ScopedUiServices {
public:
    explicit ScopedUiServices(platform::IUiServices &services);
    ~ScopedUiServices();
    ScopedUiServices(const ScopedUiServices &) = delete;
    ScopedUiServices &operator=(const ScopedUiServices &) = delete;

private:
    platform::IUiServices *previous_;
};

// A ScriptedUi that installs itself: `testsupport::ScriptedUiScope ui;` in a test.
class ScriptedUiScope : public ScriptedUi {
public:
    ScriptedUiScope() : guard_(*this) {}

private:
    ScopedUiServices guard_;
};

} // namespace testsupport
