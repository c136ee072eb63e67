#pragma once
// Lets the user stop a long command that runs on the window's thread: while it lives,
// Esc or its stop button (shown at the right end of a status panel) asks the command to
// stop at its next check, and every other key, click and close request of the program
// is dropped, so no second command can start in the middle of the first. Stops may nest
// (a statement of a batch): the newest one takes Esc, and every panel stop button keeps
// its clicks.
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QToolButton;

namespace gui {

// A stop button at the right end of a status panel (shown), for a long command's progress.
QToolButton *addPanelStopButton(QLabel *panel, const QString &objectName, const QString &hint);

class BatchStop : public QObject {
    Q_OBJECT
public:
    explicit BatchStop(QLabel *panel, const QString &buttonName = QStringLiteral("btnStopBatch"),
                       const QString &hint = QStringLiteral("做完目前的表格後停止 (Esc)"));
    ~BatchStop() override;

    // Shows the text in the panel and paints it, then handles the input that waits;
    // true once a stop was asked for.
    bool showProgress(const QString &text);
    bool requested() const { return requested_; }

signals:
    void stopRequested(); // each time Esc or the button asks

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void request();

    QPointer<QLabel> panel_;
    QToolButton *button_ = nullptr;
    bool requested_ = false;
};

} // namespace gui
