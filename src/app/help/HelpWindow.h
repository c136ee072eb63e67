#pragma once
// The help window: shows one page of the program's own help (HelpTopics.h) and follows
// the links between pages. One window serves every request and stays open beside the
// dialog that asked; it never waits for the reader.
#include <QWidget>

class QTextBrowser;

namespace help {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the page of the topic (the contents page for an unknown number).
    void showTopic(int topic);
    // Shows an HTML file of another help file; the contents page when it cannot be read.
    void showFile(const QString &path);

    QTextBrowser *browser() const { return browser_; }

private:
    void showUrl(const QUrl &url, const QString &title);

    QTextBrowser *browser_ = nullptr;
};

// Opens (or reuses) the help window for a request: `owner` is the dialog that asks; while
// that dialog is modal the window is made its child so that it can be read and scrolled.
// An empty helpFile means the program's own help. Returns the window shown.
HelpWindow *showHelp(QWidget *owner, int topic, const QString &helpFile = QString());

// The help window while it is open, else nullptr.
HelpWindow *openHelpWindow();

} // namespace help
