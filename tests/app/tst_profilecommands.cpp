// The profile commands of the main window on real profile files: the profile start,
// "重新設定資料庫連接參數", "取得資料庫參數設定檔", panels 0 and 1 and the provider rule.
#include "app/gui/MainWindow.h"
#include "app/gui/ProfileStartOptions.h"
#include "app/gui/TableListBox.h"
#include "platform/IniFile.h"
#include "profiles/ADOConnectionINI.h"
#include "profiles/gui/AdoConEd.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

using testsupport::ScriptedUiScope;

namespace {

// The data-link dialog answered by script: the next string, or the initial one.
struct ScriptedBuilder : profiles::ConnectionStringBuilder {
    QStringList answers;
    QString BuildConnectionString(QObject *, const QString &initial) override
    {
        return answers.isEmpty() ? initial : answers.takeFirst();
    }
};

// The profile choice answered by script; records the names offered.
struct ScriptedChooser : profiles::ProfileChooser {
    std::optional<QString> answer;
    QStringList offered;
    std::optional<QString> ChooseProfile(const QStringList &names, const QString &) override
    {
        offered = names;
        return answer;
    }
};

bool enabled(Tfm_ADO_Schema &w, const char *menu)
{
    return w.menuOf(QString::fromLatin1(menu))->menuAction()->isEnabled();
}

} // namespace

class TestProfileCommands : public QObject {
    Q_OBJECT
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    ScriptedBuilder builder;
    ScriptedChooser chooser;

    QString profileFile() const { return dir.filePath(QStringLiteral("ADOConneciton.ini")); }
    std::unique_ptr<Tfm_ADO_Schema> newWindow()
    {
        return std::make_unique<Tfm_ADO_Schema>();
    }

private slots:
    void initTestCase()
    {
        dbFile = dir.filePath(QStringLiteral("shop.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dbFile.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE 客戶 (編號 INTEGER PRIMARY KEY, 名稱 TEXT);", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        gui::ProfileStartOptions options;
        options.loadAtStart = true;
        options.folder = dir.path();
        options.installDialogs = [this](profiles::TADOConnectionINI &store) {
            store.setConnectionStringBuilder(&builder);
            store.setProfileChooser(&chooser);
        };
        gui::setProfileStartOptions(options);
    }
    void cleanupTestCase()
    {
        gui::setProfileStartOptions({});
        testsupport::PgServer::shutdownShared();
    }
    void init()
    {
        QFile::remove(profileFile());
        builder.answers.clear();
        chooser.answer.reset();
    }

    void firstRunStoresTheProfileAndAFreshWindowReadsIt()
    {
        builder.answers << QStringLiteral("Provider=SQLite.1;Data Source=%1;Initial Catalog=shop").arg(dbFile);
        {
            auto w = newWindow();
            QVERIFY(QFile::exists(profileFile()));
            QCOMPARE(w->panelText(0), QStringLiteral("來源：") + dbFile);
            QCOMPARE(w->panelText(1), QStringLiteral("資料庫：shop"));
            QVERIFY(!w->ADOConnection1.Connected());
        }
        QCOMPARE(QFile(profileFile()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
        auto again = newWindow(); // no dialog this time: the stored profile is read
        QVERIFY(builder.answers.isEmpty());
        QCOMPARE(again->panelText(0), QStringLiteral("來源：") + dbFile);
        again->menuItem(QStringLiteral("nADOConnect"))->trigger();
        QVERIFY(again->ADOConnection1.Connected());
        QCOMPARE(again->ADOConnection1.Provider(), QStringLiteral("SQLite.1"));
    }

    // On a first run the real connection string editor opens; its caption names the
    // window and its connection.
    void firstRunEditorCaption()
    {
        gui::ProfileStartOptions options = gui::profileStartOptions();
        const gui::ProfileStartOptions saved = options;
        options.installDialogs = [this](profiles::TADOConnectionINI &store) {
            profiles::InstallProfileDialogs(store); // the real editor
            store.setConnectionStringBuilder(&builder);
        };
        gui::setProfileStartOptions(options);
        builder.answers << QStringLiteral("Provider=SQLite.1;Data Source=%1").arg(dbFile);
        QString caption;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *editor = qobject_cast<profiles::TConnEditForm *>(QApplication::activeModalWidget());
            if (!editor || !editor->isVisible())
                return;
            poll.stop();
            caption = editor->windowTitle();
            QTest::mouseClick(editor->OkButton, Qt::LeftButton);
        });
        poll.start(10);
        auto w = newWindow();
        gui::setProfileStartOptions(saved);
        QCOMPARE(caption, QStringLiteral("fm_ADO_Schema.ADOConnection1 ConnectionString"));
        QCOMPARE(w->ADOConnection1.parent(), static_cast<QObject *>(w.get()));
        QCOMPARE(w->panelText(0), QStringLiteral("來源：") + dbFile);
    }

    void providerRule_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<bool>("sqlServerMenus");
        QTest::newRow("SQL Server") << "SQLOLEDB.1" << true;
        QTest::newRow("no version suffix") << "SQLOLEDB" << false;
        QTest::newRow("other case") << "sqloledb.1" << false;
        QTest::newRow("embedded") << "SQLite.1" << false;
        QTest::newRow("ODBC") << "MSDASQL.1" << false;
    }
    void providerRule()
    {
        QFETCH(QString, provider);
        QFETCH(bool, sqlServerMenus);
        builder.answers << QStringLiteral("Provider=%1;Data Source=%2").arg(provider, dbFile);
        auto w = newWindow();
        QCOMPARE(enabled(*w, "nSchema"), sqlServerMenus);
        QCOMPARE(enabled(*w, "nMSSQLServer"), sqlServerMenus);
        QCOMPARE(w->menuItem(QStringLiteral("nGetLogMSSQLUsers"))->isEnabled(), sqlServerMenus);
        QCOMPARE(w->TabSheet3->isEnabled(), sqlServerMenus);
        QVERIFY(w->TabSheet1->isEnabled());
        QVERIFY(w->TabSheet4->isEnabled());
        if (provider == QLatin1String("SQLite.1")) {
            w->menuItem(QStringLiteral("nADOConnect"))->trigger(); // connecting changes nothing
            QVERIFY(w->ADOConnection1.Connected());
            QVERIFY(!enabled(*w, "nSchema"));
        }
    }

    void commandsWhileConnectedCloseTheConnection()
    {
        builder.answers << QStringLiteral("Provider=SQLite.1;Data Source=%1").arg(dbFile);
        auto w = newWindow();
        w->menuItem(QStringLiteral("nADOConnect"))->trigger();
        w->btnGetTableName->click();
        QCOMPARE(w->lbxTableName->count(), 1);

        builder.answers << QStringLiteral("Provider=SQLite.1;Data Source=%1;User ID=sa").arg(dbFile);
        w->menuItem(QStringLiteral("nReDefineADOConnectionString"))->trigger();
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->lbxTableName->count(), 0);
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));
        QVERIFY(w->ADOConnection1.ConnectionString().contains(QStringLiteral("User ID=sa")));

        // "取得資料庫參數設定檔" offers the choice although the file says not to, and
        // leaves that setting as it was.
        w->menuItem(QStringLiteral("nADOConnect"))->trigger();
        chooser.answer = platform::IniFile(profileFile())
                             .ReadString(profiles::kMainSection, QStringLiteral("Default ADOConnection"), QString());
        w->menuItem(QStringLiteral("nGetADOSelected"))->trigger();
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(chooser.offered.size(), 1);
        QVERIFY(!platform::IniFile(profileFile()).ReadBool(profiles::kMainSection, QStringLiteral("Enabled Selected"), true));
        QVERIFY(ui.messages().isEmpty());
    }

    void profileStartErrorStillOpensTheWindow()
    {
        // The profile folder cannot be created (two levels missing): the error is shown
        // and the window opens all the same.
        gui::ProfileStartOptions options = gui::profileStartOptions();
        const gui::ProfileStartOptions saved = options;
        options.folder = dir.filePath(QStringLiteral("missing/deeper"));
        gui::setProfileStartOptions(options);
        builder.answers << QStringLiteral("Provider=SQLite.1;Data Source=%1").arg(dbFile);
        auto w = newWindow();
        gui::setProfileStartOptions(saved);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("fm_ADO_Schema")));
        ui.clearRecords();
    }

    // A profile file that is cut short or garbled is named at start with the profile
    // that could not be read, and the window offers another profile of the file or a new
    // one; the file changes only when the person picks or builds one.
    void unreadableProfileAtStart_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<bool>>("answers");   // choose another?, then rebuild?
        QTest::addColumn<QString>("chosen");        // the chooser's answer, empty: none
        QTest::addColumn<QString>("built");         // the data-link dialog's answer
        QTest::addColumn<QString>("named");         // the profile the question names
        QTest::addColumn<bool>("connectable");      // a usable profile in the end
        QTest::addColumn<bool>("fileKept");         // the file's bytes as they were
        const QByteArray cut = "[&&Main&&]\r\nDefault ADOConnection=gone\r\nEnabled Selected=0\r\n[good]\r\n"
                               "Provider=SQLite.1\r\nData Source=@DB@\r\n[gone]\r\nData Sou";
        QByteArray garbage;
        for (int i = 0; i < 500; ++i)
            garbage += char((i * 7919 + 13) % 256);
        QTest::newRow("another profile chosen") << cut << QList<bool>{true} << "good" << "" << "gone" << true << false;
        QTest::newRow("choice cancelled, none built") << cut << QList<bool>{true, true} << "" << "" << "gone" << false << true;
        QTest::newRow("garbage rebuilt") << garbage << QList<bool>{true} << "" << "Provider=SQLite.1;Data Source=@DB@"
                                         << "ADOConnectionString" << true << false;
        QTest::newRow("garbage left alone") << garbage << QList<bool>{false} << "" << "" << "ADOConnectionString" << false << true;
    }
    void unreadableProfileAtStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, chosen);
        QFETCH(QString, built);
        QFETCH(QString, named);
        QFETCH(bool, connectable);
        QFETCH(bool, fileKept);
        content.replace("@DB@", dbFile.toUtf8());
        QFile file(profileFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        for (bool answer : answers)
            answer ? ui.answerYes() : ui.answerNo();
        if (!chosen.isEmpty())
            chooser.answer = chosen;
        if (!built.isEmpty())
            builder.answers << QString(built).replace(QStringLiteral("@DB@"), dbFile);
        ui.clearRecords();
        auto w = newWindow();
        QCOMPARE(ui.questions().size(), answers.size());
        const QString asked = ui.questions().first().text;
        QVERIFY2(asked.contains(QStringLiteral("「%1」").arg(named)) && asked.contains(profileFile()), qPrintable(asked));
        QVERIFY(ui.messages().isEmpty());
        QCOMPARE(w->panelText(0), connectable ? QStringLiteral("來源：") + dbFile : QStringLiteral("來源："));
        QFile after(profileFile());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll() == content, fileKept);
        if (!connectable)
            return;
        w->menuItem(QStringLiteral("nADOConnect"))->trigger();
        QVERIFY2(w->ADOConnection1.Connected(), qPrintable(ui.messages().isEmpty() ? QString() : ui.lastMessage().text));
        auto again = newWindow(); // the picked or built profile is the current one now
        QCOMPARE(again->panelText(0), QStringLiteral("來源：") + dbFile);
        QCOMPARE(ui.questions().size(), answers.size());
    }

    // A password that does not unscramble is not sent; an error box names the profile
    // whose password must be entered again.
    void damagedPasswordAtStart()
    {
        QFile file(profileFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[&&Main&&]\r\nDefault ADOConnection=srv.db\r\n[srv.db]\r\nProvider=SQLOLEDB.1\r\nUser ID=sa\r\n"
                   "Data Source=srv\r\n");
        file.close();
        // Bytes that unscramble, with the window's keys, to a control character.
        platform::IniFile(profileFile()).WriteRawString("srv.db", "Password", profiles::TADOConnectionINI().Scramble("pw\x02"));
        ui.clearRecords();
        auto w = newWindow();
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
        QVERIFY2(ui.lastMessage().text.contains(QStringLiteral("「srv.db」")) &&
                     ui.lastMessage().text.contains(QStringLiteral("重新輸入")),
                 qPrintable(ui.lastMessage().text));
        QVERIFY(!w->ADOConnection1.ConnectionString().contains(QStringLiteral("Password"), Qt::CaseInsensitive));
        QCOMPARE(w->panelText(0), QStringLiteral("來源：srv"));
        ui.clearRecords();
    }

    void postgresProfileRoundTrip()
    {
        REQUIRE_PG_SERVER(pg);
        QVERIFY(pg->exec(QStringLiteral("CREATE TABLE IF NOT EXISTS 訂單 (編號 int PRIMARY KEY)")));
        builder.answers << pg->adoConnectionString();
        newWindow();
        auto w = newWindow(); // reads the profile back
        w->menuItem(QStringLiteral("nADOConnect"))->trigger();
        QVERIFY2(w->ADOConnection1.Connected(), qPrintable(ui.lastMessage().text));
        w->btnGetTableName->click();
        QVERIFY(w->lbxTableName->findItems(QStringLiteral("訂單"), Qt::MatchExactly).size() == 1);
    }
};

QTEST_MAIN(TestProfileCommands)
#include "tst_profilecommands.moc"
