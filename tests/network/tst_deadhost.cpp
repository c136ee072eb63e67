// Lookups of a computer that never answers, on a link the test builds: the test process
// moves into a network namespace of its own and joins a veth pair whose far end has no
// address, so an address on the link gets no answer to its address resolution or its
// connection attempts. Each wait is bounded, a computer's lookups are bounded as a whole,
// the caller is asked to keep waiting all along, and its stop ends the lookup.
#include "network/Discovery.h"
#include "network/DiscoveryBackend.h"
#include "support/Facility.h"
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <sched.h>
#include <unistd.h>

namespace {

const QString kOwnAddress = QStringLiteral("10.231.9.1");
const QString kDeadAddress = QStringLiteral("10.231.9.2");

bool run(const QStringList &command, QString *error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        *error = command.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromUtf8(p.readAll());
    return ok;
}

QString buildDeadLink()
{
    if (geteuid() != 0)
        return QStringLiteral("network namespaces need root");
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        return QStringLiteral("ip is not installed");
    if (unshare(CLONE_NEWNET) != 0)
        return QStringLiteral("unshare(CLONE_NEWNET) failed");
    const QList<QStringList> steps = {
        {"ip", "link", "set", "lo", "up"},
        {"ip", "link", "add", "adoDeadA", "type", "veth", "peer", "name", "adoDeadB"},
        {"ip", "addr", "add", kOwnAddress + "/24", "dev", "adoDeadA"},
        {"ip", "link", "set", "adoDeadA", "up"},
        {"ip", "link", "set", "adoDeadB", "up"},
    };
    QString error;
    for (const QStringList &step : steps)
        if (!run(step, &error))
            return error;
    return {};
}

// The lookups the network page makes for one computer, as it makes them.
struct Lookup {
    qint64 elapsedMs = 0;
    int waits = 0; // times the caller was asked to keep waiting
    QString ip, mac;
    bool listed = true;
};

Lookup lookUpComputer(const QString &computer, int stopAfterMs)
{
    Lookup result;
    QElapsedTimer clock;
    clock.start();
    network::DiscoveryBackend &discovery = network::systemDiscovery();
    {
        network::ComputerLookup lookup(discovery, computer, [&] {
            ++result.waits;
            return stopAfterMs < 0 || clock.elapsed() < stopAfterMs;
        });
        result.ip = discovery.hostToIP(computer);
        result.mac = discovery.ipToMAC(result.ip);
        QStringList shares;
        result.listed = discovery.netShares(computer, shares);
    }
    result.elapsedMs = clock.elapsed();
    return result;
}

} // namespace

class TestDeadHost : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString error = buildDeadLink();
        REQUIRE_FACILITY(error.isEmpty(), error);
    }

    // The library tries the SMB ports one after the other; the listing as a whole keeps
    // to one timeout.
    void sharesOfADeadAddress()
    {
        QElapsedTimer clock;
        clock.start();
        QStringList list{"left over"};
        QVERIFY(!network::GetNetShares(kDeadAddress, list));
        QVERIFY(list.isEmpty());
        QVERIFY2(clock.elapsed() < network::kNetworkTimeoutMs + 1500, qPrintable(QString::number(clock.elapsed())));
    }

    void computerLookup_data()
    {
        QTest::addColumn<int>("stopAfterMs"); // -1: never stopped
        QTest::addColumn<int>("boundMs");     // generous
        QTest::newRow("waited out") << -1 << network::kComputerLookupMs + 1000;
        QTest::newRow("stopped") << 300 << 1500;
    }
    void computerLookup()
    {
        QFETCH(int, stopAfterMs);
        QFETCH(int, boundMs);
        const Lookup lookup = lookUpComputer(kDeadAddress, stopAfterMs);
        QCOMPARE(lookup.ip, kDeadAddress);
        QCOMPARE(lookup.mac, QString());
        QVERIFY(!lookup.listed);
        QVERIFY2(lookup.elapsedMs < boundMs, qPrintable(QString::number(lookup.elapsedMs)));
        // Asked all along (every few milliseconds), so a window can paint and stop.
        QVERIFY2(lookup.waits >= 10, qPrintable(QString::number(lookup.waits)));
    }
};

QTEST_GUILESS_MAIN(TestDeadHost)
#include "tst_deadhost.moc"
