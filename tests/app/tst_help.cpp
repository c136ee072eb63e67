// The program's own help: a Traditional Chinese page per topic, compiled in, opened in a
// help window by the UI services on a dialog's request (the connection string editor's
// Help button), without waiting for the reader.
#include "app/gui/QtUiServices.h"
#include "app/help/HelpTopics.h"
#include "app/help/HelpWindow.h"
#include "profiles/gui/AdoConEd.h"
#include "profiles/gui/DataLinkDialog.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

namespace {

QString pageText(const help::HelpTopic &topic)
{
    QFile page(QStringLiteral(":/help/") + topic.page);
    if (!page.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(page.readAll());
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
    gui::QtUiServices services;

private slots:
    void cleanup()
    {
        delete help::openHelpWindow();
    }

    // Every topic has its page, titled as the table says, in Chinese; its links lead to
    // pages that exist.
    void pages_data()
    {
        QTest::addColumn<int>("topic");
        for (const help::HelpTopic &t : help::helpTopics())
            QTest::newRow(qPrintable(t.page)) << t.number;
    }
    void pages()
    {
        QFETCH(int, topic);
        const help::HelpTopic &t = help::topicOf(topic);
        QCOMPARE(t.number, topic);
        const QString html = pageText(t);
        QVERIFY2(!html.isEmpty(), qPrintable(t.page));
        QVERIFY(html.contains(QStringLiteral("<title>") + t.title + QStringLiteral("</title>")));
        QVERIFY(html.contains(QStringLiteral("<h2>") + t.title + QStringLiteral("</h2>")));
        static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(QStringLiteral(":/help/") + target), qPrintable(target));
        }
    }

    // The dialogs' help topics are in the table.
    void dialogTopicsHavePages_data()
    {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("page");
        QTest::newRow("connection string editor") << profiles::TConnEditForm::kHelpTopic << "connection-editor.html";
        QTest::newRow("data-link dialog") << profiles::TDataLinkDialog::kHelpTopic << "data-link.html";
        QTest::newRow("unknown: contents") << 4711 << "index.html";
    }
    void dialogTopicsHavePages()
    {
        QFETCH(int, topic);
        QFETCH(QString, page);
        QCOMPARE(help::topicOf(topic).page, page);
    }

    // The editor's Help button opens the help window on topic 27270 and returns at once;
    // a second request reuses the window.
    void editorHelpOpensTheWindow()
    {
        testsupport::ScopedUiServices installed(services);
        profiles::TConnEditForm form;
        QVERIFY(drive::showActive(&form));
        QTest::mouseClick(form.HelpButton, Qt::LeftButton);
        help::HelpWindow *window = help::openHelpWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("說明 - 連接字串編輯"));
        QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("qrc:/help/connection-editor.html")));
        QVERIFY(window->browser()->toPlainText().contains(QStringLiteral("連接的來源")));
        QVERIFY(form.isVisible());

        QTest::mouseClick(form.HelpButton, Qt::LeftButton);
        QCOMPARE(help::openHelpWindow(), window);
    }

    // From the modal editor the window belongs to the editor, so it can be read while the
    // editor waits; it closes with the editor.
    void helpFromTheModalEditor()
    {
        testsupport::ScopedUiServices installed(services);
        profiles::TConnEditForm form;
        QPointer<help::HelpWindow> seen;
        bool ownedByEditor = false;
        QTimer::singleShot(0, &form, [&] {
            QTest::mouseClick(form.HelpButton, Qt::LeftButton);
            seen = help::openHelpWindow();
            ownedByEditor = seen && seen->parentWidget() == &form;
            QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        });
        form.ShowEditor(QStringLiteral("Provider=SQLite.1"));
        QVERIFY(seen);
        QVERIFY(ownedByEditor);
    }

    // A help file of another program's own (an HTML file) is shown as it is; one that
    // cannot be read gives the contents page.
    void helpFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("seek.html"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html><head><title>尋找</title></head><body>尋找說明</body></html>");
        f.close();
        help::HelpWindow *window = help::showHelp(nullptr, 0, file);
        QCOMPARE(window->windowTitle(), QStringLiteral("說明 - 尋找"));
        window = help::showHelp(nullptr, 0, dir.filePath(QStringLiteral("missing.hlp")));
        QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("qrc:/help/index.html")));
    }

    // Tests and console tools answer help requests without a window.
    void scriptedServicesRecord()
    {
        testsupport::ScriptedUiScope ui;
        platform::ui().showHelp(nullptr, 27270);
        QCOMPARE(ui.helpRequests().size(), 1);
        QVERIFY(!help::openHelpWindow());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
