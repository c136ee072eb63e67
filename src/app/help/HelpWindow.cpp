#include "HelpWindow.h"
#include "HelpTopics.h"
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace help {

namespace {

const QString kCaptionPrefix = QStringLiteral("說明 - ");
QPointer<HelpWindow> shown;

bool isHtmlFile(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    return info.isFile() && info.isReadable() && (suffix == QLatin1String("html") || suffix == QLatin1String("htm"));
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(560, 480);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    layout->addWidget(browser_);
    // A followed link changes the page: the caption follows the page's own title.
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        setWindowTitle(kCaptionPrefix + browser_->documentTitle());
    });
}

void HelpWindow::showTopic(int topic)
{
    const HelpTopic &page = topicOf(topic);
    showUrl(pageUrl(page), page.title);
}

void HelpWindow::showFile(const QString &path)
{
    if (!isHtmlFile(path)) {
        showTopic(kContentsTopic);
        return;
    }
    showUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()), QFileInfo(path).completeBaseName());
}

void HelpWindow::showUrl(const QUrl &url, const QString &title)
{
    browser_->setSource(url);
    const QString documentTitle = browser_->documentTitle();
    setWindowTitle(kCaptionPrefix + (documentTitle.isEmpty() ? title : documentTitle));
}

HelpWindow *showHelp(QWidget *owner, int topic, const QString &helpFile)
{
    QWidget *ownerWindow = owner ? owner->window() : nullptr;
    // A modal dialog blocks every window that is not its own: the help window becomes a
    // window of the asking dialog while that one is modal, and a free window otherwise.
    QWidget *parent = ownerWindow && ownerWindow->isModal() ? ownerWindow : nullptr;
    if (shown && shown->parentWidget() != parent) {
        shown->setParent(parent, Qt::Window);
    }
    if (!shown) {
        shown = new HelpWindow(parent);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = shown->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            shown->move(frame.topLeft());
        }
    }
    if (helpFile.isEmpty())
        shown->showTopic(topic);
    else
        shown->showFile(helpFile);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

HelpWindow *openHelpWindow()
{
    return shown;
}

} // namespace help
