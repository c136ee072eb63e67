// The data-link dialog's SQL Server property "Use Encryption for Data", set by a person on
// the "全部" page, reaches the server through FreeTDS: "測試連線" logs in over TLS to a
// server with a certificate, and is refused, without a plain-text login, by one without.
#include "profiles/gui/DataLinkDialog.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using profiles::TDataLinkDialog;

class TestDataLinkSqlServer : public QObject {
    Q_OBJECT

private slots:
    void useEncryptionForData_data()
    {
        QTest::addColumn<bool>("serverHasCertificate");
        QTest::newRow("server with a certificate") << true;
        QTest::newRow("server without encryption") << false;
    }
    void useEncryptionForData()
    {
        QFETCH(bool, serverHasCertificate);
        testsupport::ScriptedUiScope ui;
        tds::TdsPeer server;
        if (serverHasCertificate)
            QVERIFY(server.enableTls());
        QVERIFY(testsupport::startWithSaLogin(server));

        TDataLinkDialog dlg;
        dlg.SetConnectionString(testsupport::saConnectionString(server, QStringLiteral("master")));
        QVERIFY(drive::showActive(&dlg));
        QTabBar *tabs = dlg.Pages->findChild<QTabBar *>();
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(TDataLinkDialog::AllPage).center());
        QTRY_VERIFY(dlg.AllTable->isVisible());
        const auto names = dlg.AllTable->findItems(QStringLiteral("Use Encryption for Data"), Qt::MatchExactly);
        QCOMPARE(names.size(), 1);
        QTest::qWait(50); // the page's layout settles before the scroll
        dlg.AllTable->scrollToItem(dlg.AllTable->item(names.first()->row(), 1)); // as the wheel does
        QTest::qWait(20); // the scroll lands
        drive::clickCell(dlg.AllTable, names.first()->row(), 1);
        QTRY_VERIFY(drive::focused() == dlg.AllTable);
        drive::press(Qt::Key_F2);
        drive::press(Qt::Key_A, Qt::ControlModifier);
        drive::type(QStringLiteral("True"));
        drive::press(Qt::Key_Return);
        QCOMPARE(dlg.AllTable->item(names.first()->row(), 1)->text(), QStringLiteral("True"));

        QTest::mouseClick(dlg.TestConnection, Qt::LeftButton);
        const QString text = ui.lastMessage().text;
        if (serverHasCertificate) {
            QCOMPARE(text, QStringLiteral("測試連線成功。"));
            QCOMPARE(server.encryptedLogins(), 1);
        } else {
            QVERIFY2(text.contains(QStringLiteral("建立加密連線")), qPrintable(text));
            QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        }
        QCOMPARE(server.loginPackets(), serverHasCertificate ? 1 : 0);
        server.stop();
    }
};

QTEST_MAIN(TestDataLinkSqlServer)
#include "tst_datalink_sqlserver.moc"
