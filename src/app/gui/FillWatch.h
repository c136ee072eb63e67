#pragma once
// Shows a dataset's background fill in a status panel and lets the user end it: while
// rows still arrive the panel counts them, a stop button sits at its right end, and Esc
// stops the fill whenever the dataset is browsing (an edit keeps Esc for cancelling).
// Stopping keeps the rows that arrived and says so in the panel; a fill that completes
// gives the panel its earlier text back.
//
// installFillWait makes every wait for all rows (Dataset::FetchAll) show its progress in
// the same panel with the batch stop (Esc or its button); the rest of the input waits.
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QToolButton;
class QWidget;

namespace data { class Dataset; }

namespace gui {

class FillWatch : public QObject {
    Q_OBJECT
public:
    FillWatch(data::Dataset &dataset, QLabel *panel, QWidget *window);
    ~FillWatch() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    void begin();
    void showCount();
    void end();

    data::Dataset &dataset_;
    QPointer<QLabel> panel_;
    QPointer<QWidget> window_;
    QPointer<QToolButton> button_;
    QString before_;
    bool watching_ = false;
};

// The panel's texts, shared with the tests.
QString fillProgressText(long long rows);
QString fillWaitText(long long rows);
QString fillStoppedText(long long rows);

void installFillWait(QLabel *panel);
void removeFillWait();

} // namespace gui
