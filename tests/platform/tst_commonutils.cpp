// The shared helpers: SQL kind, date stamp, rounding, version parts, program messages.
#include "platform/CommonUtils.h"
#include "platform/ComputerName.h"
#include "platform/VersionInfo.h"
#include "support/ScriptedUi.h"
#include <QObject>
#include <QtTest>
#include <unistd.h>

Q_DECLARE_METATYPE(TSQLKind)

class TestCommonUtils : public QObject {
    Q_OBJECT
private slots:
    void sqlKind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TSQLKind>("kind");
        QTest::newRow("select padded") << QStringLiteral("  SELECT * FROM T  ") << skSelect;
        QTest::newRow("select alone") << QStringLiteral("select") << skOther;
        QTest::newRow("select alone, blanks") << QStringLiteral("  select \r\n") << skOther;
        QTest::newRow("select at end") << QStringLiteral("delete from T where x = 1 select")
                                       << skOther;
        QTest::newRow("select then line break") << QStringLiteral("SELECT\r\n* FROM T") << skOther;
        QTest::newRow("insert select") << QStringLiteral("INSERT INTO T SELECT * FROM U")
                                       << skInsert;
        QTest::newRow("update with select") << QStringLiteral("UPDATE T SET a = (SELECT 1)")
                                            << skUpdate;
        QTest::newRow("delete with subselect")
            << QStringLiteral("delete from T where X in (select Y from U)") << skSelect;
        QTest::newRow("empty") << QString() << skOther;
        QTest::newRow("only blanks") << QStringLiteral(" \t\r\n") << skOther;
        QTest::newRow("update tab") << QStringLiteral("update\tT set a = 1") << skOther;
        QTest::newRow("mixed case") << QStringLiteral("\tInSeRt into T values (1)") << skInsert;
        QTest::newRow("word without blank") << QStringLiteral("exec updates x") << skOther;
        QTest::newRow("inside longer word") << QStringLiteral("exec doupdate x") << skUpdate;
        QTest::newRow("inside quoted string")
            << QStringLiteral("exec p 'please select one'") << skSelect;
        QTest::newRow("control chars trimmed")
            << QStringLiteral("\x01\x1f select 1 \x01") << skSelect;
        QTest::newRow("ideographic space not trimmed, not a blank")
            << QStringLiteral("select\u3000x") << skOther;
        QTest::newRow("non-ASCII letters untouched")
            << QStringLiteral("ＳＥＬＥＣＴ * from 客戶") << skOther;
        QTest::newRow("chinese names") << QStringLiteral("select * from 訂單") << skSelect;
    }
    void sqlKind()
    {
        QFETCH(QString, text);
        QFETCH(TSQLKind, kind);
        QCOMPARE(GetSQLKind(text), kind);
    }

    void sqlKindOrder()
    {
        QCOMPARE(int(skOther), 0);
        QCOMPARE(int(skInsert), 1);
        QCOMPARE(int(skUpdate), 2);
        QCOMPARE(int(skSelect), 3);
    }

    void dateStamp_data()
    {
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("2004-03-09") << QDateTime(QDate(2004, 3, 9), QTime(10, 0)) << "20040309";
        QTest::newRow("time ignored") << QDateTime(QDate(2005, 1, 1), QTime(23, 59))
                                      << "20050101";
        QTest::newRow("last second") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999))
                                     << "19991231";
        QTest::newRow("short year padded") << QDateTime(QDate(987, 6, 5), QTime(0, 0))
                                           << "09870605";
    }
    void dateStamp()
    {
        QFETCH(QDateTime, value);
        QFETCH(QString, stamp);
        QCOMPARE(DateStamp(value), stamp);
    }

    void roundToInt_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<qint32>("result");
        QTest::newRow("318.5") << 318.5 << 319;
        QTest::newRow("318.4") << 318.4 << 318;
        QTest::newRow("0.5") << 0.5 << 1;
        QTest::newRow("-0.5") << -0.5 << -1;
        QTest::newRow("-2.5") << -2.5 << -3;
        QTest::newRow("-2.4") << -2.4 << -2;
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("int max") << 2147483647.0 << 2147483647;
        QTest::newRow("int min") << -2147483648.0 << qint32(-2147483647 - 1);
    }
    void roundToInt()
    {
        QFETCH(double, x);
        QFETCH(qint32, result);
        QCOMPARE(RoundToInt(x), result);
    }

    void versionParts_data()
    {
        QTest::addColumn<quint32>("ms");
        QTest::addColumn<quint32>("ls");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("1.0.0.5") << 0x00010000u << 0x00000005u
                                 << QStringList{"1", "0", "0", "5"};
        QTest::newRow("65535.0.0.0") << 0xFFFF0000u << 0u << QStringList{"6553", "0", "0", "0"};
        QTest::newRow("2.15.3.1204") << (2u << 16 | 15u) << (3u << 16 | 1204u)
                                     << QStringList{"2", "15", "3", "1204"};
        QTest::newRow("10000 in every part") << (10000u << 16 | 10000u) << (10000u << 16 | 12345u)
                                             << QStringList{"1000", "1000", "1000", "1234"};
        QTest::newRow("halves not mixed") << 0x0000FFFFu << 0xFFFF0000u
                                          << QStringList{"0", "6553", "6553", "0"};
    }
    void versionParts()
    {
        QFETCH(quint32, ms);
        QFETCH(quint32, ls);
        QFETCH(QStringList, parts);
        const auto result = GetVersionParts(ms, ls);
        QCOMPARE(QStringList(result.begin(), result.end()), parts);
    }

    void versionPartsOfProgram()
    {
        const auto n = platform::versionNumbers();
        const auto result = GetVersionParts();
        QCOMPARE(QStringList(result.begin(), result.end()),
                 (QStringList{QString::number(n.major), QString::number(n.minor),
                              QString::number(n.release), QString::number(n.build)}));
    }

    // The rule on given host names: first label, upper case, 15 characters.
    void computerNameText_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QString>("name");
        QTest::newRow("fully qualified") << QByteArray("db01.example.com") << "DB01";
        QTest::newRow("lower case") << QByteArray("workstation") << "WORKSTATION";
        QTest::newRow("mixed case") << QByteArray("MyPc") << "MYPC";
        QTest::newRow("15 kept") << QByteArray("abcdefghijklmno") << "ABCDEFGHIJKLMNO";
        QTest::newRow("16 cut to 15") << QByteArray("abcdefghijklmnop") << "ABCDEFGHIJKLMNO";
        QTest::newRow("long first label") << QByteArray("accounting-server-2.corp") << "ACCOUNTING-SERV";
        QTest::newRow("digits and dash") << QByteArray("ws-042.lan") << "WS-042";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("dot first") << QByteArray(".local") << "";
    }
    void computerNameText()
    {
        QFETCH(QByteArray, host);
        QFETCH(QString, name);
        QCOMPARE(GetComputerNameText(host), name);
    }

    // This machine: its own host name through the same rule, spelled out here.
    void computerNameTextOfThisMachine()
    {
        char buffer[256] = {};
        QCOMPARE(gethostname(buffer, sizeof buffer - 1), 0);
        const QString expected = QString::fromLatin1(buffer).section(QLatin1Char('.'), 0, 0).toUpper().left(15);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(GetComputerNameText(), expected);
    }

    void programMessage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringLiteral("資料庫未連接!!");
        QTest::newRow("two lines") << QStringLiteral("第一行\n\r第二行");
        QTest::newRow("empty") << QString();
    }
    void programMessage()
    {
        QFETCH(QString, text);
        testsupport::ScriptedUiScope ui;
        QObject owner;
        ShowProgramMessage(&owner, text);
        ShowProgramMessage(nullptr, QStringLiteral("ADO 版本：1.0"));
        QCOMPARE(ui.messages().size(), 2);
        const auto &m = ui.messages().first();
        QCOMPARE(m.owner, &owner);
        QCOMPARE(m.title, QStringLiteral("程式訊息"));
        QCOMPARE(m.text, text); // control characters kept as given
        QCOMPARE(m.icon, platform::MessageIcon::None);
        QVERIFY(m.topmost);
        QCOMPARE(ui.messages().last().title, QStringLiteral("程式訊息"));
        QVERIFY(ui.questions().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommonUtils)
#include "tst_commonutils.moc"
