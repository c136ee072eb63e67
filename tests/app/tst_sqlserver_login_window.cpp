// A failed SQL Server login as a person meets it in the real window: the stored profile
// is read at start, "資料庫連接" is clicked, and the error box says in Chinese what went
// wrong with the server's own text beside it; the window stays usable and the profile
// file is not touched.
#include "app/gui/MainWindow.h"
#include "app/gui/ProfileStartOptions.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

struct ScriptedBuilder : profiles::ConnectionStringBuilder {
    QStringList answers;
    QString BuildConnectionString(QObject *, const QString &initial) override
    {
        return answers.isEmpty() ? initial : answers.takeFirst();
    }
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSqlServerLoginWindow : public QObject {
    Q_OBJECT
    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    ScriptedBuilder builder;
    tds::TdsPeer peer;

    QString profileFile() const { return dir.filePath(QStringLiteral("ADOConneciton.ini")); }

    // The first run stores the profile built in the data-link dialog.
    void storeProfile(const QString &connectionString)
    {
        QFile::remove(profileFile());
        builder.answers = {connectionString};
        auto first = std::make_unique<Tfm_ADO_Schema>();
        QVERIFY(QFile::exists(profileFile()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(testsupport::startWithSaLogin(peer));
        peer.setDatabases({QStringLiteral("master"), QStringLiteral("shop")});
        gui::ProfileStartOptions options;
        options.loadAtStart = true;
        options.folder = dir.path();
        options.installDialogs = [this](profiles::TADOConnectionINI &store) { store.setConnectionStringBuilder(&builder); };
        gui::setProfileStartOptions(options);
    }
    void cleanupTestCase()
    {
        gui::setProfileStartOptions({});
        peer.stop();
    }

    void failedLogin_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("serverText");
        QTest::newRow("wrong password") << "Initial Catalog=shop;User ID=sa;Password=wrong"
                                        << "帳號「sa」登入 SQL Server「%1」失敗：帳號或密碼錯誤。"
                                        << "Login failed for user 'sa'.";
        QTest::newRow("unknown database") << "Initial Catalog=gone;User ID=sa;Password=secret"
                                          << "無法開啟資料庫「gone」：" << "Cannot open database \"gone\"";
        QTest::newRow("encryption refused") << "Initial Catalog=shop;User ID=sa;Password=secret;Use Encryption for Data=True"
                                            << "無法與 SQL Server「%1」建立加密連線：" << "Adaptive Server connection failed";
    }
    void failedLogin()
    {
        QFETCH(QString, settings);
        QFETCH(QString, sentence);
        QFETCH(QString, serverText);
        const QString source = QStringLiteral("127.0.0.1,%1").arg(peer.port());
        storeProfile(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;").arg(source) + settings);
        const QByteArray stored = contents(profileFile());
        auto w = std::make_unique<Tfm_ADO_Schema>();
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
        ui.clearRecords();

        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);

        QCOMPARE(ui.messages().size(), 1);
        const QString text = ui.lastMessage().text;
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(text.startsWith(QString(sentence).replace(QLatin1String("%1"), source)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\n\r")) && text.contains(serverText), qPrintable(text));
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));
        QCOMPARE(contents(profileFile()), stored);
        // Still usable: the same button tries again and says so again.
        QVERIFY(w->btnADOConnection->isEnabled());
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 2);
        QVERIFY(ui.failures().isEmpty());
    }
};

QTEST_MAIN(TestSqlServerLoginWindow)
#include "tst_sqlserver_login_window.moc"
