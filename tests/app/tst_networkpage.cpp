// The network page through the real window: the neighbourhood scan from a scripted
// network (node order and levels, the tree repainted after each computer), the SQL
// Server's clients through the scripted TDS peer (the exact batch, one host node per
// distinct row, a refused query, a closed connection), the selection buttons, the
// broadcast through a stand-in messenger, and the report read back with python3-xlrd.
#include "app/gui/MainWindow.h"
#include "app/gui/NetTreeView.h"
#include "exchange/SpreadsheetApp.h"
#include "exchange/XlrdWorkbook.h"
#include "network/NetReport.h"
#include "support/GuiDriver.h"
#include "support/ScriptedDiscovery.h"
#include "support/ScriptedUi.h"
#include "support/StandInMessenger.h"
#include "support/TdsPeer.h"
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

using testsupport::ScriptedDiscovery;
using testsupport::StandInMessenger;

namespace {

// "level text" of every node in the tree's flat order.
QStringList treeLines(const QTreeWidget *tree)
{
    QStringList lines;
    for (const network::NetTreeNode &n : gui::netTreeNodes(tree))
        lines << QString::number(n.level) + QLatin1Char(' ') + n.text;
    return lines;
}

QStringList selectedLines(const QTreeWidget *tree)
{
    QStringList lines;
    for (const QTreeWidgetItem *item : gui::netTreeItems(tree))
        if (item->isSelected())
            lines << QString::number(gui::itemLevel(item)) + QLatin1Char(' ') + item->text(0);
    return lines;
}

QTreeWidgetItem *findItem(const QTreeWidget *tree, int level, const QString &text)
{
    for (QTreeWidgetItem *item : gui::netTreeItems(tree))
        if (gui::itemLevel(item) == level && item->text(0) == text)
            return item;
    return nullptr;
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

const QStringList kOfficeTree = {
    "0 WG1",
    "1 PC1", "2 10.0.0.1", "2 001122334455", "2 網路資源", "3 PC1\\Public", "3 PC1\\印表機",
    "1 PC2", "2 10.0.0.2", "2 ", "2 網路資源",
    "0 EMPTY",
    "0 WG3",
    "1 GHOST", "2 ", "2 ", "2 網路資源",
};

const QString kClientsBatch = QStringLiteral("use master \r\n"
                                             "Select distinct hostname, nt_domain, nt_username, loginame, net_address \r\n"
                                             "From dbo.sysprocesses\r\n"
                                             "Where hostname is not null And hostname <> ''");

tds::Column text(const char *name, int size)
{
    tds::Column c;
    c.name = QString::fromLatin1(name);
    c.type = tds::ColumnType::NVarChar;
    c.size = size;
    return c;
}

tds::Reply clientRows(const QList<QVariantList> &rows)
{
    tds::Reply reply = tds::Reply::rows({text("hostname", 128), text("nt_domain", 128), text("nt_username", 128),
                                         text("loginame", 128), text("net_address", 12)},
                                        rows);
    reply.newDatabase = QStringLiteral("master");
    return reply;
}

} // namespace

class TestNetworkPage : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    ScriptedDiscovery net;
    std::unique_ptr<Tfm_ADO_Schema> w;
    QString reportPath;

    void trigger(const char *item)
    {
        QAction *action = w->menuItem(QString::fromLatin1(item));
        QVERIFY2(action && action->isEnabled(), item);
        action->trigger();
    }

    void click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    void clickItem(QTreeWidgetItem *item, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        w->tvNet->scrollToItem(item);
        QTest::mouseClick(w->tvNet->viewport(), Qt::LeftButton, mods, w->tvNet->visualItemRect(item).center());
    }

    // Types the broadcast text into the edit as a person does, replacing what it held.
    void typeMessage(const QString &message)
    {
        click(w->edBoardCastMSG);
        QCOMPARE(drive::focused(), static_cast<QWidget *>(w->edBoardCastMSG));
        drive::press(Qt::Key_A, Qt::ControlModifier);
        drive::press(Qt::Key_Delete);
        drive::type(message);
        QCOMPARE(w->edBoardCastMSG->text(), message);
    }

    void scanOffice()
    {
        trigger("nGetNetName");
        QCOMPARE(treeLines(w->tvNet), kOfficeTree);
    }

private slots:
    void initTestCase()
    {
        reportPath = QDir(QCoreApplication::applicationDirPath()).filePath(network::kNetReportFileName);
    }

    void init()
    {
        QFile::remove(reportPath);
        ui.clearRecords();
        net = ScriptedDiscovery::office();
        w = std::make_unique<Tfm_ADO_Schema>();
        w->setNetDiscovery(&net);
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
    }

    void cleanup()
    {
        w.reset();
        QFile::remove(reportPath);
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    // --- neighbourhood ---------------------------------------------------------------

    void neighbourhoodScan()
    {
        w->FNetTreeMode = 1;
        scanOffice();
        QCOMPARE(w->PageControl1->currentIndex(), 5);
        QCOMPARE(w->gbxNet->title(), QStringLiteral("網路上的芳鄰"));
        QCOMPARE(w->FNetTreeMode, quint8(0));
        QVERIFY(!net.calls.contains("ipToMAC "));
        QVERIFY(ui.messages().isEmpty());
    }

    void treeRepaintedAfterEachComputer()
    {
        PaintCounter counter;
        w->tvNet->viewport()->installEventFilter(&counter);
        QList<int> paintsBeforeComputer; // at each computer's address lookup
        QList<int> computersShownBefore;
        net.onCall = [&](const QString &call) {
            if (call.startsWith("hostToIP ")) {
                paintsBeforeComputer << counter.paints;
                computersShownBefore << int(w->tvNet->topLevelItemCount());
            }
        };
        trigger("nGetNetName");
        QCOMPARE(paintsBeforeComputer.size(), 3);
        QVERIFY2(paintsBeforeComputer[1] > paintsBeforeComputer[0] && paintsBeforeComputer[2] > paintsBeforeComputer[1],
                 qPrintable(QStringLiteral("paints: %1, %2, %3").arg(paintsBeforeComputer[0]).arg(paintsBeforeComputer[1]).arg(paintsBeforeComputer[2])));
        QCOMPARE(computersShownBefore, (QList<int>{1, 1, 3}));
        QVERIFY(findItem(w->tvNet, 0, "WG1")->isExpanded());
    }

    // Esc during the first computer ends the scan once that computer is complete.
    void escStopsTheScanAfterTheComputer()
    {
        int lookups = 0;
        net.onCall = [&](const QString &call) {
            if (call.startsWith("hostToIP ") && ++lookups == 1)
                drive::press(Qt::Key_Escape);
        };
        trigger("nGetNetName");
        QCOMPARE(lookups, 1);
        QCOMPARE(w->tvNet->topLevelItemCount(), 1);
        QCOMPARE(w->tvNet->topLevelItem(0)->childCount(), 1);
        QVERIFY(w->tvNet->topLevelItem(0)->child(0)->childCount() > 0); // the computer is whole
        QCOMPARE(w->panelText(3), gui::netScanStoppedText(1));
        QVERIFY(ui.messages().isEmpty());
    }

    // Esc while a lookup waits for the network: the window takes it during the wait,
    // the lookups of that computer still to come are not made, its nodes stay (empty),
    // and the scan ends there.
    void escDuringALookupSkipsTheRest_data()
    {
        QTest::addColumn<QString>("waitingCall");
        QTest::addColumn<QStringList>("notAsked");
        QTest::addColumn<QStringList>("computerNodes"); // PC1's children
        QTest::newRow("address") << "hostToIP PC1" << QStringList{"ipToMAC 10.0.0.1", "netShares PC1"}
                                 << QStringList{"10.0.0.1", "", "網路資源"};
        QTest::newRow("adapter address") << "ipToMAC 10.0.0.1" << QStringList{"netShares PC1"}
                                         << QStringList{"10.0.0.1", "001122334455", "網路資源"};
    }
    void escDuringALookupSkipsTheRest()
    {
        QFETCH(QString, waitingCall);
        QFETCH(QStringList, notAsked);
        QFETCH(QStringList, computerNodes);
        QList<bool> answers; // keepWaiting's answers while "waiting"
        net.onCall = [&](const QString &call) {
            if (call != waitingCall)
                return;
            QVERIFY(net.keepWaiting);
            QTimer::singleShot(0, [] { drive::press(Qt::Key_Escape); });
            for (int i = 0; i < 50 && (answers.isEmpty() || answers.last()); ++i) {
                QThread::msleep(10);
                answers << net.keepWaiting();
            }
        };
        trigger("nGetNetName");
        QVERIFY(!answers.isEmpty() && !answers.last());
        for (const QString &call : notAsked)
            QVERIFY2(!net.calls.contains(call), qPrintable(net.calls.join(", ")));
        QVERIFY(!net.calls.contains("hostToIP PC2"));
        QTreeWidgetItem *pc1 = w->tvNet->topLevelItem(0)->child(0);
        QStringList nodes;
        for (int i = 0; i < pc1->childCount(); ++i)
            nodes << pc1->child(i)->text(0);
        QCOMPARE(nodes, computerNodes);
        QCOMPARE(pc1->child(2)->childCount(), 0);
        QCOMPARE(w->panelText(3), gui::netScanStoppedText(1));
        QVERIFY(ui.messages().isEmpty());
    }

    void noWorkgroupsLeavesTreeEmpty()
    {
        scanOffice();
        net = ScriptedDiscovery();
        trigger("nGetNetName");
        QCOMPARE(w->tvNet->topLevelItemCount(), 0);
        QVERIFY(ui.messages().isEmpty());
    }

    // --- selection buttons -----------------------------------------------------------

    void selectAllAndClear()
    {
        click(w->btnSelectAll);
        QCOMPARE(ui.messageTexts(), QStringList{"請取得網路芳鄰!!"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        ui.clearRecords();
        scanOffice();
        clickItem(findItem(w->tvNet, 0, "WG1"));
        click(w->btnSelectAll);
        const QStringList selected = {"0 WG1", "1 PC1", "1 PC2", "1 GHOST"};
        QCOMPARE(selectedLines(w->tvNet), selected);
        click(w->btnSelectAll);
        QCOMPARE(selectedLines(w->tvNet), selected);
        click(w->btnClearAll);
        QVERIFY(selectedLines(w->tvNet).isEmpty());
        click(w->btnClearAll);
        QVERIFY(selectedLines(w->tvNet).isEmpty());
        QVERIFY(ui.messages().isEmpty());
    }

    // --- SQL Server clients ----------------------------------------------------------

    void sqlServerClients()
    {
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.onQuery(kClientsBatch,
                     clientRows({{"CLIENT1   ", "CORP  ", "alice ", "sa", "00E04C6812AB"},
                                 {"CLIENT1   ", "CORP  ", "alice ", "report", "00E04C6812AB"},
                                 {"  GHOST", "", "", "web", ""}}));
        net.ips["CLIENT1"] = "10.0.0.5";
        net.shares["CLIENT1"] = {true, {"CLIENT1\\Data"}};
        w->ADOConnection1.setConnectionString(peer.connectionString("Sales", "sa", "pw"));
        click(w->btnADOConnection);
        QVERIFY(w->ADOConnection1.Connected());
        scanOffice();
        peer.clearReceived();
        net.calls.clear();

        trigger("nGetLogMSSQLUsers");
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QCOMPARE(w->PageControl1->currentIndex(), 5);
        QCOMPARE(w->gbxNet->title(), QStringLiteral("連上MS SQL 主機名稱"));
        QCOMPARE(w->FNetTreeMode, quint8(1));
        const QList<tds::Request> sent = peer.receivedStatements();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].text, kClientsBatch);
        const QStringList expected = {
            "0 CLIENT1", "1 MS SQL 連線資訊", "2 IP: 10.0.0.5", "2 NT_Domain: CORP  ", "2 NT_UserName: alice ",
            "2 LoginName: sa", "2 NetAddress: 00E04C6812AB", "1 網路資源", "2 CLIENT1\\Data",
            "0 CLIENT1", "1 MS SQL 連線資訊", "2 IP: 10.0.0.5", "2 NT_Domain: CORP  ", "2 NT_UserName: alice ",
            "2 LoginName: report", "2 NetAddress: 00E04C6812AB", "1 網路資源", "2 CLIENT1\\Data",
            "0 GHOST", "1 MS SQL 連線資訊", "2 IP: ", "2 NT_Domain: ", "2 NT_UserName: ",
            "2 LoginName: web", "2 NetAddress: ", "1 網路資源",
        };
        QCOMPARE(treeLines(w->tvNet), expected);
        QVERIFY(!w->adotqCommand.Active());

        // "全選" picks the hosts.
        click(w->btnSelectAll);
        QCOMPARE(selectedLines(w->tvNet), (QStringList{"0 CLIENT1", "0 CLIENT1", "0 GHOST"}));
        peer.stop();
    }

    void refusedClientsQuery()
    {
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        const QString refusal = QStringLiteral("The SELECT permission was denied on the object 'sysprocesses', database 'mssqlsystemresource', schema 'sys'.");
        peer.onQuery(kClientsBatch, tds::Reply::error(229, 14, 5, refusal));
        w->ADOConnection1.setConnectionString(peer.connectionString("Sales", "sa", "pw"));
        click(w->btnADOConnection);
        QVERIFY(w->ADOConnection1.Connected());
        scanOffice();

        trigger("nGetLogMSSQLUsers");
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.lastMessage().text.contains(refusal), qPrintable(ui.lastMessage().text));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QCOMPARE(w->tvNet->topLevelItemCount(), 0);
        QCOMPARE(w->FNetTreeMode, quint8(1));
        QCOMPARE(w->gbxNet->title(), QStringLiteral("連上MS SQL 主機名稱"));
        QVERIFY(!w->adotqCommand.Active());
        peer.stop();
    }

    void clientsWhileDisconnected()
    {
        scanOffice();
        trigger("nGetLogMSSQLUsers");
        QCOMPARE(w->tvNet->topLevelItemCount(), 0);
        QCOMPARE(w->gbxNet->title(), QStringLiteral("連上MS SQL 主機名稱"));
        QCOMPARE(w->FNetTreeMode, quint8(1));
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(ui.messageTexts(), QStringList{"資料庫未連接!!"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
    }

    // --- broadcast --------------------------------------------------------------------

    void broadcastRefusals_data()
    {
        QTest::addColumn<bool>("withTree");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("answer");
        QTest::newRow("blanks only, machines selected") << true << "   " << "請輸入廣播訊息!!";
        QTest::newRow("nothing typed") << true << "" << "請輸入廣播訊息!!";
        QTest::newRow("empty tree") << false << "hi" << "請載入廣播對像!!";
        QTest::newRow("blanks only, empty tree") << false << "  " << "請輸入廣播訊息!!";
    }

    void broadcastRefusals()
    {
        QFETCH(bool, withTree);
        QFETCH(QString, message);
        QFETCH(QString, answer);
        StandInMessenger messenger;
        if (withTree) {
            scanOffice();
            click(w->btnSelectAll);
        }
        typeMessage(message);
        trigger("nBoardCast");
        QCOMPARE(ui.messageTexts(), QStringList{answer});
        QVERIFY(messenger.calls().isEmpty());
    }

    void broadcastToSelectedComputers_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("hi there") << "hi there";
        QTest::newRow("quotes and a command") << "x'; rm -rf ~; echo '";
        QTest::newRow("blanks kept") << "  hi  ";
    }

    void broadcastToSelectedComputers()
    {
        QFETCH(QString, message);
        // Were the text ever given to a shell, its command would reach only this folder.
        QTemporaryDir home;
        QFile sentinel(home.filePath("sentinel"));
        QVERIFY(sentinel.open(QIODevice::WriteOnly));
        sentinel.close();
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        StandInMessenger messenger;
        scanOffice();
        // A workgroup, an address node and one computer: only the computer is a target.
        QTreeWidgetItem *pc2 = findItem(w->tvNet, 1, "PC2");
        clickItem(pc2);
        drive::press(Qt::Key_Right); // opens PC2
        QVERIFY(pc2->isExpanded());
        clickItem(findItem(w->tvNet, 0, "WG1"));
        clickItem(findItem(w->tvNet, 1, "PC1"), Qt::ControlModifier);
        clickItem(findItem(w->tvNet, 2, "10.0.0.2"), Qt::ControlModifier);
        QCOMPARE(selectedLines(w->tvNet), (QStringList{"0 WG1", "1 PC1", "2 10.0.0.2"}));
        typeMessage(message);
        trigger("nBoardCast");
        const QList<StandInMessenger::Call> calls = messenger.calls();
        qputenv("HOME", oldHome);
        QVERIFY(ui.messages().isEmpty());
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].arguments, (QStringList{"-M", "PC1"}));
        QCOMPARE(QString::fromUtf8(calls[0].input), message);
        QVERIFY(sentinel.exists());
    }

    void selectionShownWithoutFocus()
    {
        // A desktop theme that greys out the selection of an unfocused view.
        const QPalette oldPalette = QApplication::palette();
        QPalette theme = oldPalette;
        theme.setColor(QPalette::Active, QPalette::Highlight, Qt::darkBlue);
        theme.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
        theme.setColor(QPalette::Inactive, QPalette::Highlight, Qt::lightGray);
        theme.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
        QApplication::setPalette(theme);
        w = std::make_unique<Tfm_ADO_Schema>();
        const QPalette tree = w->tvNet->palette();
        QApplication::setPalette(oldPalette);
        QCOMPARE(tree.color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::darkBlue));
        QCOMPARE(tree.color(QPalette::Inactive, QPalette::HighlightedText), QColor(Qt::white));
    }

    void broadcastToSqlClientHosts()
    {
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.onQuery(kClientsBatch, clientRows({{"HOST-A", "", "", "sa", ""}, {"HOST-B", "", "", "sa", ""}}));
        w->ADOConnection1.setConnectionString(peer.connectionString("Sales", "sa", "pw"));
        click(w->btnADOConnection);
        trigger("nGetLogMSSQLUsers");
        StandInMessenger messenger;
        click(w->btnSelectAll);
        clickItem(findItem(w->tvNet, 1, "MS SQL 連線資訊"), Qt::ControlModifier);
        typeMessage("backup at 5");
        trigger("nBoardCast");
        const QList<StandInMessenger::Call> calls = messenger.calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0].arguments, (QStringList{"-M", "HOST-A"}));
        QCOMPARE(calls[1].arguments, (QStringList{"-M", "HOST-B"}));
        QCOMPARE(calls[1].input, QByteArray("backup at 5"));
        peer.stop();
    }

    void broadcastWithoutMessenger()
    {
        StandInMessenger messenger;
        messenger.setInstalled(false);
        scanOffice();
        click(w->btnSelectAll);
        typeMessage("hi");
        trigger("nBoardCast");
        QVERIFY(ui.messages().isEmpty());
        QVERIFY(messenger.calls().isEmpty());
    }

    // --- report -----------------------------------------------------------------------

    void reportOfNeighbourhood()
    {
        scanOffice();
        const exchange::SpreadsheetApp app = exchange::findSpreadsheetApp();
        if (app.found())
            ui.answerNo();
        const QDateTime before = QDateTime::currentDateTime();
        trigger("nNetSaveToExcel");
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(ui.questions().size(), app.found() ? 1 : 0);
        if (app.found()) {
            QCOMPARE(ui.questions()[0].title, QStringLiteral("程式執行確認"));
            QCOMPARE(ui.questions()[0].text, QStringLiteral("是否進入 Excel 編修模式？"));
        }
        QCOMPARE(ui.beeps(), 1);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        QCOMPARE(ui.lastMessage().text, QStringLiteral("已產生  \"網路資訊.xls\" 檔案至 \"%1\" 目錄下!!").arg(QCoreApplication::applicationDirPath()));
        QVERIFY(ui.launches().isEmpty());

        READ_XLS(book, reportPath);
        QCOMPARE(book.rows, 5);
        const QString stamp = book.cell(0, 1).value.toString();
        QVERIFY2(stamp == before.toString("yyyy/MM/dd HH:mm") || stamp == after.toString("yyyy/MM/dd HH:mm"), qPrintable(stamp));
        QCOMPARE(book.cell(0, 0).value.toString(), QStringLiteral("產生日期時間："));
        QCOMPARE(book.columnInfo.value(1).format, QStringLiteral("@"));
        const QStringList rows[] = {
            {"群組", "電腦名稱", "IP", "網卡卡號"},
            {"WG1", "PC1", "10.0.0.1", "001122334455"},
            {"WG1", "PC2", "10.0.0.2", ""},
            {"WG3", "GHOST", "", ""},
        };
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(book.cell(r + 1, c).value.toString(), rows[r][c]);
        QCOMPARE(book.cell(3, 3).type, QString()); // empty texts leave empty cells
        QCOMPARE(book.cell(2, 3).type, QStringLiteral("text"));
    }

    void reportOpensSpreadsheetOnYes()
    {
        const exchange::SpreadsheetApp app = exchange::findSpreadsheetApp();
        if (!app.found())
            QSKIP("no spreadsheet application installed: the question is not asked");
        scanOffice();
        ui.answerYes();
        ui.setLaunchResult(true);
        trigger("nNetSaveToExcel");
        QCOMPARE(ui.launches().size(), 1);
        QCOMPARE(ui.launches()[0].program, app.program);
        QCOMPARE(ui.launches()[0].arguments, app.argumentsFor(reportPath));
        QVERIFY(QFile::exists(reportPath));
    }

    void reportRefusals()
    {
        trigger("nNetSaveToExcel");
        QCOMPARE(ui.messageTexts(), QStringList{"請先取得網路資訊!!"});
        QVERIFY(!QFile::exists(reportPath));
        ui.clearRecords();

        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.onQuery(kClientsBatch, clientRows({{"HOST-A", "", "", "sa", ""}}));
        w->ADOConnection1.setConnectionString(peer.connectionString("Sales", "sa", "pw"));
        click(w->btnADOConnection);
        trigger("nGetLogMSSQLUsers");
        QCOMPARE(w->tvNet->topLevelItemCount(), 1);
        trigger("nNetSaveToExcel");
        QCOMPARE(ui.messageTexts(), QStringList{"不支援MS SQL網路資訊存檔!!"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        QVERIFY(ui.questions().isEmpty());
        QVERIFY(!QFile::exists(reportPath));
        peer.stop();

        // Back on the neighbourhood it works again.
        ui.clearRecords();
        scanOffice();
        if (exchange::findSpreadsheetApp().found())
            ui.answerNo();
        trigger("nNetSaveToExcel");
        QVERIFY(QFile::exists(reportPath));
    }
};

QTEST_MAIN(TestNetworkPage)
#include "tst_networkpage.moc"
