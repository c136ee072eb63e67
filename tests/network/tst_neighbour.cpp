// Adapter addresses from the kernel's neighbour table, on a link the test builds: the
// test process moves into a network namespace of its own, and a veth pair joins it to a
// second namespace (held by a child process) where the peer's address lives. Nothing of
// the machine's own network is touched; both namespaces end with their processes.
#include "network/Discovery.h"
#include "support/Facility.h"
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>
#include <sched.h>
#include <unistd.h>

namespace {

const QString kOwnAddress = QStringLiteral("10.231.7.1");
const QString kPeerAddress = QStringLiteral("10.231.7.2");
const QString kUnusedAddress = QStringLiteral("10.231.7.99");
const QString kRoutedAddress = QStringLiteral("198.51.100.7"); // reached through the peer

// Runs a command; its output, or a failure naming it.
bool run(const QString &program, const QStringList &arguments, QString *output = nullptr, QString *error = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const QString out = QString::fromUtf8(p.readAll());
    if (output)
        *output = out;
    if (!ok && error)
        *error = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") + out;
    return ok;
}

} // namespace

class TestNeighbour : public QObject {
    Q_OBJECT

    QProcess peerHolder_; // sleeps in the peer's namespace
    QString peerMac_;     // 12 upper-case hex digits

    QStringList inPeer(const QStringList &command) const
    {
        return QStringList{QStringLiteral("-t"), QString::number(peerHolder_.processId()), QStringLiteral("-n")} + command;
    }

    QString missingFacility() const
    {
        if (geteuid() != 0)
            return QStringLiteral("network namespaces need root");
        for (const char *tool : {"ip", "unshare", "nsenter"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
        return {};
    }

    QString buildLink()
    {
        if (unshare(CLONE_NEWNET) != 0)
            return QStringLiteral("unshare(CLONE_NEWNET) failed: ") + QString::fromLocal8Bit(strerror(errno));
        const QString ownNamespace = QFile::symLinkTarget(QStringLiteral("/proc/self/ns/net"));
        peerHolder_.start(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("sleep"), QStringLiteral("100000")});
        if (!peerHolder_.waitForStarted())
            return QStringLiteral("unshare --net could not start");
        const QString peerNs = QStringLiteral("/proc/%1/ns/net").arg(peerHolder_.processId());
        if (!QTest::qWaitFor([&] { return QFile::symLinkTarget(peerNs) != ownNamespace; }, 10000))
            return QStringLiteral("the peer namespace did not appear");
        const QString ip = QStringLiteral("ip"), nsenter = QStringLiteral("nsenter");
        const QList<QPair<QString, QStringList>> steps = {
            {ip, {"link", "set", "lo", "up"}},
            {ip, {"link", "add", "adoA", "type", "veth", "peer", "name", "adoB"}},
            {ip, {"link", "set", "adoB", "netns", QString::number(peerHolder_.processId())}},
            {ip, {"addr", "add", kOwnAddress + "/24", "dev", "adoA"}},
            {ip, {"link", "set", "adoA", "up"}},
            {nsenter, inPeer({"ip", "addr", "add", kPeerAddress + "/24", "dev", "adoB"})},
            {nsenter, inPeer({"ip", "link", "set", "adoB", "up"})},
            {ip, {"route", "add", "198.51.100.0/24", "via", kPeerAddress}},
        };
        QString error;
        for (const auto &[program, arguments] : steps)
            if (!run(program, arguments, nullptr, &error))
                return error;
        QString link;
        if (!run(nsenter, inPeer({"ip", "-o", "link", "show", "adoB"}), &link, &error))
            return error;
        peerMac_ = QRegularExpression(QStringLiteral("link/ether ([0-9a-f:]{17})")).match(link).captured(1).remove(':').toUpper();
        // Resolution needs the link up at both ends.
        if (!QTest::qWaitFor([&] {
                QString state;
                run(ip, {"-o", "link", "show", "adoA"}, &state);
                return state.contains(QLatin1String("LOWER_UP"));
            }, 10000))
            return QStringLiteral("the veth link did not come up");
        return peerMac_.size() == 12 ? QString() : QStringLiteral("no peer adapter address in: ") + link;
    }

private slots:
    void initTestCase()
    {
        const QString missing = missingFacility();
        REQUIRE_FACILITY(missing.isEmpty(), missing);
        const QString error = buildLink();
        REQUIRE_FACILITY(error.isEmpty(), error);
    }

    void cleanupTestCase()
    {
        if (peerHolder_.state() != QProcess::NotRunning) {
            peerHolder_.kill(); // the peer namespace and the veth pair go with it
            peerHolder_.waitForFinished();
        }
    }

    void peerAddressGivesItsAdapter()
    {
        QCOMPARE(network::IPToMAC(kPeerAddress), peerMac_);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{12}$")).match(peerMac_).hasMatch());
    }

    void noAdapter_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::newRow("unused address on the link") << kUnusedAddress;
        QTest::newRow("address on another subnet") << kRoutedAddress;
        QTest::newRow("own address") << kOwnAddress;
        QTest::newRow("loopback") << "127.0.0.1";
        QTest::newRow("unroutable") << "192.0.2.1";
    }

    void noAdapter()
    {
        QFETCH(QString, ip);
        QCOMPARE(network::IPToMAC(ip), QString());
    }
};

QTEST_GUILESS_MAIN(TestNeighbour)
#include "tst_neighbour.moc"
