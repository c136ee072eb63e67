// Name resolution and the quiet failures of the discovery functions that need no
// network of their own: dotted addresses, names that do not resolve, texts that are not
// addresses, loopback, empty workgroups; and the bound on a lookup that hangs.
#include "network/BoundedCall.h"
#include "network/Discovery.h"
#include <QtTest>
#include <thread>

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void hostToIP_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("ip");
        QTest::newRow("dotted address gives itself") << "192.0.2.17" << "192.0.2.17";
        QTest::newRow("loopback address") << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("localhost, IPv4 only") << "localhost" << "127.0.0.1";
        QTest::newRow("reserved name that never resolves") << "no-such-host.invalid" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("IPv6 literal is not IPv4") << "::1" << "";
        QTest::newRow("quotes and semicolon") << "a'b;c" << "";
    }

    void hostToIP()
    {
        QFETCH(QString, host);
        QFETCH(QString, ip);
        QCOMPARE(network::HostToIP(host), ip);
    }

    void ipToMACWithoutNeighbour_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::newRow("loopback") << "127.0.0.1";
        QTest::newRow("other loopback") << "127.8.9.10";
        QTest::newRow("any") << "0.0.0.0";
        QTest::newRow("broadcast") << "255.255.255.255";
        QTest::newRow("multicast") << "224.0.0.1";
        QTest::newRow("host name") << "localhost";
        QTest::newRow("out of range") << "300.1.1.1";
        QTest::newRow("empty") << "";
    }

    void ipToMACWithoutNeighbour()
    {
        QFETCH(QString, ip);
        QCOMPARE(network::IPToMAC(ip), QString());
    }

    void emptyWorkgroupName()
    {
        QStringList list{"left over"};
        QVERIFY(!network::GetNetComputers(QString(), list));
        QVERIFY(list.isEmpty());
    }

    void lateCallGivesFallback()
    {
        auto release = std::make_shared<std::atomic<bool>>(false);
        const QString result = network::boundedCall<QString>(
            [release] {
                while (!release->load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return QStringLiteral("late");
            },
            20, QStringLiteral("fallback"));
        release->store(true);
        QCOMPARE(result, QStringLiteral("fallback"));
        QCOMPARE(network::boundedCall<QString>([] { return QStringLiteral("prompt"); }, 60000, QString()),
                 QStringLiteral("prompt"));
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
