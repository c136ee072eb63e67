// The broadcast's command line and the messenger that carries it: the target and the
// text reach the messenger as one argument and as standard input, never through a
// shell; without a messenger nothing runs.
#include "network/Messenger.h"
#include "support/StandInMessenger.h"
#include <QtTest>

using testsupport::StandInMessenger;

class TestMessenger : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "PC1" << "hi there" << "Net Send PC1 'hi there'";
        QTest::newRow("blanks kept") << "PC1" << "  hi  " << "Net Send PC1 '  hi  '";
        QTest::newRow("quotes") << "PC1" << "x'; rm -rf ~; echo '" << "Net Send PC1 'x'; rm -rf ~; echo ''";
        QTest::newRow("chinese") << "電腦一" << "開會了" << "Net Send 電腦一 '開會了'";
    }

    void commandLine()
    {
        QFETCH(QString, target);
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE((network::BroadcastCommand{target, text}.commandLine()), line);
    }

    void textReachesMessengerAsData_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "PC1" << "hi there";
        QTest::newRow("shell quotes") << "PC1" << "x'; touch CANARY; echo '";
        QTest::newRow("command substitution") << "PC1" << "$(touch CANARY) `touch CANARY`";
        QTest::newRow("target with blanks and semicolon") << "PC 1; touch CANARY" << "hi";
        QTest::newRow("chinese, newline") << "電腦一" << "第一行\n第二行";
    }

    void textReachesMessengerAsData()
    {
        QFETCH(QString, target);
        QFETCH(QString, text);
        StandInMessenger messenger;
        QTemporaryDir work;
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(work.path());
        const bool started = network::startMessenger({target, text});
        const QList<StandInMessenger::Call> calls = messenger.calls();
        QDir::setCurrent(oldDir);
        QVERIFY(started);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].arguments, (QStringList{"-M", target}));
        QCOMPARE(QString::fromUtf8(calls[0].input), text);
        QVERIFY(!QFile::exists(work.filePath("CANARY")));
    }

    void noMessengerInstalled()
    {
        StandInMessenger messenger;
        messenger.setInstalled(false);
        QCOMPARE(network::messengerProgram(), QString());
        QVERIFY(!network::startMessenger({"PC1", "hi"}));
        QVERIFY(messenger.calls().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMessenger)
#include "tst_messenger.moc"
