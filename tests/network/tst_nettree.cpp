// The two tree layouts of the network page, built from a scripted network: node order,
// levels, which questions are asked (no adapter lookup without an address), workgroups
// without computers, hosts with blanks around their names.
#include "network/NetTree.h"
#include "support/ScriptedDiscovery.h"
#include <QtTest>

using testsupport::ScriptedDiscovery;

namespace {

// "level text" per node, "--" where a computer is complete.
class RecordingSink : public network::NetTreeSink {
public:
    QStringList lines;
    void addNode(int level, const QString &text) override { lines << QString::number(level) + QLatin1Char(' ') + text; }
    void computerDone() override { lines << QStringLiteral("--"); }
};

} // namespace

class TestNetTree : public QObject {
    Q_OBJECT

private slots:
    void neighbourhoodLayout()
    {
        ScriptedDiscovery net = ScriptedDiscovery::office();
        RecordingSink sink;
        network::buildNeighbourhood(net, sink);
        const QStringList expected = {
            "0 WG1",
            "1 PC1", "2 10.0.0.1", "2 001122334455", "2 網路資源", "3 PC1\\Public", "3 PC1\\印表機", "--",
            "1 PC2", "2 10.0.0.2", "2 ", "2 網路資源", "--",
            "0 EMPTY",
            "0 WG3",
            "1 GHOST", "2 ", "2 ", "2 網路資源", "--",
        };
        QCOMPARE(sink.lines, expected);
        const QStringList questions = {
            "netGroups",
            "netComputers WG1",
            "hostToIP PC1", "ipToMAC 10.0.0.1", "netShares PC1",
            "hostToIP PC2", "ipToMAC 10.0.0.2", "netShares PC2",
            "netComputers EMPTY",
            "netComputers WG3",
            "hostToIP GHOST", "netShares GHOST", // no address: no adapter lookup
        };
        QCOMPARE(net.calls, questions);
    }

    void noWorkgroupsAddsNothing()
    {
        ScriptedDiscovery net;
        RecordingSink sink;
        network::buildNeighbourhood(net, sink);
        QVERIFY(sink.lines.isEmpty());
        QCOMPARE(net.calls, QStringList{"netGroups"});
    }

    void blankAddressAsksNoAdapter()
    {
        ScriptedDiscovery net;
        net.groups = {"WG"};
        net.computers["WG"] = {"PC"};
        net.ips["PC"] = "   ";
        net.macs["   "] = "FFFFFFFFFFFF";
        RecordingSink sink;
        network::buildNeighbourhood(net, sink);
        QCOMPARE(sink.lines, (QStringList{"0 WG", "1 PC", "2    ", "2 ", "2 網路資源", "--"}));
        QVERIFY(!net.calls.contains("ipToMAC    "));
    }

    void sqlClientLayout()
    {
        ScriptedDiscovery net;
        net.ips["DB-CLIENT"] = "192.168.5.20";
        net.shares["DB-CLIENT"] = {true, {"DB-CLIENT\\Data"}};
        RecordingSink sink;
        network::addSqlClient({"  DB-CLIENT   ", "CORP      ", "alice     ", "sa  ", "00E04C6812AB"}, net, sink);
        const QStringList expected = {
            "0 DB-CLIENT",
            "1 MS SQL 連線資訊",
            "2 IP: 192.168.5.20",
            "2 NT_Domain: CORP      ",
            "2 NT_UserName: alice     ",
            "2 LoginName: sa  ",
            "2 NetAddress: 00E04C6812AB",
            "1 網路資源",
            "2 DB-CLIENT\\Data",
        };
        QCOMPARE(sink.lines, expected);
        QCOMPARE(net.calls, (QStringList{"hostToIP DB-CLIENT", "netShares DB-CLIENT"}));
    }

    void sqlClientWithoutAddressOrShares()
    {
        ScriptedDiscovery net;
        net.shares["GONE"] = {false, {"GONE\\Partial"}};
        RecordingSink sink;
        network::addSqlClient({"GONE", "", "", "", ""}, net, sink);
        QCOMPARE(sink.lines, (QStringList{"0 GONE", "1 MS SQL 連線資訊", "2 IP: ", "2 NT_Domain: ", "2 NT_UserName: ",
                                          "2 LoginName: ", "2 NetAddress: ", "1 網路資源"}));
    }

    void machineLevels()
    {
        QCOMPARE(network::machineLevel(network::NetTreeMode::Neighbourhood), 1);
        QCOMPARE(network::machineLevel(network::NetTreeMode::SqlClients), 0);
    }

    void trimmedHostName_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("fixed width") << "PC1                 " << "PC1";
        QTest::newRow("both ends") << "  PC1  " << "PC1";
        QTest::newRow("control characters") << QString::fromLatin1("\t\r\nPC1\x01\x00", 9) << "PC1";
        QTest::newRow("inner blank kept") << " my pc " << "my pc";
        QTest::newRow("no-break space kept") << QString::fromUtf8("PC1\u00A0") << QString::fromUtf8("PC1\u00A0");
        QTest::newRow("blank only") << "   " << "";
    }

    void trimmedHostName()
    {
        QFETCH(QString, raw);
        QFETCH(QString, trimmed);
        QCOMPARE(network::trimmedHostName(raw), trimmed);
    }
};

QTEST_GUILESS_MAIN(TestNetTree)
#include "tst_nettree.moc"
