// Platform layer: computer name form, compiled-in version, console services, ScriptedUi.
#include "platform/ComputerName.h"
#include "platform/UiServices.h"
#include "platform/VersionInfo.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <unistd.h>

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void netbiosForm_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("dbhost") << "DBHOST";
        QTest::newRow("qualified") << QByteArray("db01.example.com") << "DB01";
        QTest::newRow("15 kept") << QByteArray("abcdefghijklmno") << "ABCDEFGHIJKLMNO";
        QTest::newRow("16 cut") << QByteArray("abcdefghijklmnop") << "ABCDEFGHIJKLMNO";
        QTest::newRow("cut after dot first") << QByteArray("verylonghostname-x.lan")
                                             << "VERYLONGHOSTNAM";
        QTest::newRow("digits and dash") << QByteArray("ws-042") << "WS-042";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("leading dot") << QByteArray(".local") << "";
    }
    void netbiosForm()
    {
        QFETCH(QByteArray, host);
        QFETCH(QString, name);
        QCOMPARE(platform::netbiosFormOf(host), name);
    }

    void computerNameOfThisMachine()
    {
        char buffer[256] = {};
        QCOMPARE(gethostname(buffer, sizeof buffer - 1), 0);
        const QString name = platform::computerName();
        QCOMPARE(name, platform::netbiosFormOf(QByteArray(buffer)));
        QVERIFY(!name.isEmpty());
        QVERIFY(name.size() <= 15);
        QVERIFY(!name.contains(QLatin1Char('.')));
        QCOMPARE(name, name.toUpper());
    }

    void versionIsProjectVersion()
    {
        // The version compiled in must follow project(... VERSION x.y.z.w) of the build.
        const QByteArray sourceDir = qgetenv("ADO_TEST_SOURCE_DIR");
        QVERIFY2(!sourceDir.isEmpty(), "ADO_TEST_SOURCE_DIR not set (run through ctest)");
        QFile cmake(QString::fromLocal8Bit(sourceDir) + QStringLiteral("/CMakeLists.txt"));
        QVERIFY(cmake.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(cmake.readAll());
        const auto match = QRegularExpression(QStringLiteral(
                               R"(project\s*\(\s*\w+\s+VERSION\s+([0-9.]+))"))
                               .match(text);
        QVERIFY(match.hasMatch());
        QStringList parts = match.captured(1).split(QLatin1Char('.'));
        while (parts.size() < 4)
            parts << QStringLiteral("0");
        QCOMPARE(platform::versionText(), parts.join(QLatin1Char('.')));
        QCOMPARE(platform::versionText(), QStringLiteral("1.0.0.5"));
    }

    void versionPacking()
    {
        const platform::VersionNumbers n = platform::versionNumbers();
        const platform::ProductVersion v = platform::productVersion();
        QCOMPARE(v.mostSignificant, quint32(n.major) << 16 | n.minor);
        QCOMPARE(v.leastSignificant, quint32(n.release) << 16 | n.build);
        const platform::VersionNumbers odd{65535, 1, 32768, 65534};
        const auto back = platform::unpackVersion(platform::packVersion(odd));
        QCOMPARE(back.major, quint16(65535));
        QCOMPARE(back.minor, quint16(1));
        QCOMPARE(back.release, quint16(32768));
        QCOMPARE(back.build, quint16(65534));
    }

    void consoleServicesNeverWait()
    {
        platform::setUiServices(nullptr);
        auto &console = platform::ui();
        QVERIFY(!console.askYesNo(nullptr, QStringLiteral("程式執行確認"), QStringLiteral("?")));
        QVERIFY(console.chooseOpenFile(nullptr, {}).isEmpty());
        QVERIFY(console.chooseSaveFile(nullptr, {}).isEmpty());
        QVERIFY(!console.launchProgram(QStringLiteral("/nonexistent/program"), {}));
    }

    void scriptedUiAnswersAndRestores()
    {
        platform::IUiServices *before = &platform::ui();
        {
            testsupport::ScriptedUiScope ui;
            QCOMPARE(&platform::ui(), static_cast<platform::IUiServices *>(&ui));
            ui.queueAnswers({true, false});
            ui.queueSaveFile(QStringLiteral("/tmp/a.xml"));
            ui.queueOpenFile(QString()); // cancel
            QVERIFY(platform::ui().askYesNo(nullptr, QStringLiteral("t"), QStringLiteral("q1")));
            QVERIFY(!platform::ui().askYesNo(nullptr, QStringLiteral("t"), QStringLiteral("q2")));
            platform::FileDialogRequest request;
            request.filter = QStringLiteral("XML|*.xml");
            QCOMPARE(platform::ui().chooseSaveFile(nullptr, request), QStringLiteral("/tmp/a.xml"));
            QVERIFY(platform::ui().chooseOpenFile(nullptr, request).isEmpty());
            platform::ui().beep();
            platform::ui().beep();
            QVERIFY(platform::ui().launchProgram(QStringLiteral("net"), {QStringLiteral("send")}));
            QCOMPARE(ui.questions().size(), 2);
            QCOMPARE(ui.questions().at(1).text, QStringLiteral("q2"));
            QCOMPARE(ui.fileDialogs().size(), 2);
            QVERIFY(ui.fileDialogs().at(0).save);
            QCOMPARE(ui.fileDialogs().at(0).request.filter, QStringLiteral("XML|*.xml"));
            QCOMPARE(ui.beeps(), 2);
            QCOMPARE(ui.launches().size(), 1);
            QCOMPARE(ui.launches().at(0).arguments, QStringList{QStringLiteral("send")});
            QCOMPARE(ui.pendingAnswers(), 0);
            QVERIFY(ui.failures().isEmpty());
        }
        QCOMPARE(&platform::ui(), before);
    }

    void scriptedUiUnansweredFailsWithoutBlocking()
    {
        testsupport::ScriptedUiScope ui;
        ui.setFailTestOnUnscripted(false); // this test looks at the record itself
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no scripted answer")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no scripted answer")));
        QVERIFY(!platform::ui().askYesNo(nullptr, QStringLiteral("程式執行確認"),
                                         QStringLiteral("是否刪除?")));
        QVERIFY(platform::ui().chooseOpenFile(nullptr, {}).isEmpty());
        QCOMPARE(ui.failures().size(), 2);
        QVERIFY(ui.failures().at(0).contains(QStringLiteral("是否刪除?")));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
