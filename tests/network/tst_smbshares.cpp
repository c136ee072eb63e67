// Shares of a real Samba server started on loopback with a configuration of its own:
// "127.0.0.1" and "\\127.0.0.1" list the same disk and printer shares, hidden shares
// stay out, no entry starts with "\\", and a host without a server gives false.
#include "network/Discovery.h"
#include "support/Facility.h"
#include "support/SambaServer.h"
#include <QtTest>

using testsupport::SambaServer;

class TestSmbShares : public QObject {
    Q_OBJECT

    SambaServer server;

    network::SmbOptions atServer() const { return {server.port(), network::kNetworkTimeoutMs}; }

private slots:
    void initTestCase()
    {
        REQUIRE_FACILITY(SambaServer::unavailableReason().isEmpty(), SambaServer::unavailableReason());
        QVERIFY2(server.start({{"Public"}, {"共用 資料"}, {"it's"}, {"Secret$"}, {"Printer1", true}, {"Hidden Printer$", true}}),
                 qPrintable(server.error()));
        // The first listing starts Samba's RPC helpers on demand; on a busy machine smbd
        // may drop that first bind before they are up. Later listings find them running.
        QStringList warmUp;
        QTRY_VERIFY_WITH_TIMEOUT(network::GetNetShares(QStringLiteral("127.0.0.1"), warmUp, atServer()), 60000);
    }

    void cleanupTestCase() { server.stop(); }

    void sharesOfServer_data()
    {
        QTest::addColumn<QString>("computer");
        QTest::newRow("plain address") << "127.0.0.1";
        QTest::newRow("with two backslashes") << "\\\\127.0.0.1";
    }

    void sharesOfServer()
    {
        QFETCH(QString, computer);
        QStringList list{"left over"};
        QVERIFY(network::GetNetShares(computer, list, atServer()));
        const QStringList expected = {"127.0.0.1\\Public", "127.0.0.1\\共用 資料", "127.0.0.1\\it's", "127.0.0.1\\Printer1"};
        QCOMPARE(list, expected);
        for (const QString &share : list)
            QVERIFY2(!share.startsWith(QLatin1Char('\\')) && !share.endsWith(QLatin1Char('$')), qPrintable(share));
    }

    void hostWithoutServer()
    {
        QStringList list{"left over"};
        QVERIFY(!network::GetNetShares("127.0.0.1", list, {1, network::kNetworkTimeoutMs}));
        QVERIFY(list.isEmpty());
        list = QStringList{"left over"};
        QVERIFY(!network::GetNetShares("\\\\", list, atServer()));
        QVERIFY(list.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSmbShares)
#include "tst_smbshares.moc"
