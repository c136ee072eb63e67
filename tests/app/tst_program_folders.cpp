// Where the window keeps its profile and display-settings files and where exports go,
// by the kind of folder the program runs from. A writable folder (the build folder, a
// copied portable folder) keeps everything, as before. A read-only folder and an
// installed tree (a desktop entry under ../share/applications) send the settings files
// to the user's configuration folder, made for its owner alone, and exports to the
// documents folder. The read-only folder is a read-only bind mount: the tests run as
// root, whom missing write bits do not stop.
#include "XmlPageFixture.h"
#include "app/gui/ProfileStartOptions.h"
#include "exchange/SpreadsheetApp.h"
#include "platform/ProgramFolders.h"
#include "profiles/gui/AdoConEd.h"
#include "support/Facility.h"
#include "support/ReadOnlyMount.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ScriptedUiScope;

namespace {

enum class Layout { Portable, ReadOnly, Installed };

// The data-link dialog of the first run, answered with the test's database.
struct ScriptedBuilder : profiles::ConnectionStringBuilder {
    QString answer;
    QString BuildConnectionString(QObject *, const QString &) override { return answer; }
};

int permissionBits(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

Q_DECLARE_METATYPE(Layout)

class TestProgramFolders : public QObject {
    Q_OBJECT
    ScriptedUiScope ui;
    QTemporaryDir root;
    ScriptedBuilder builder;

    QString home() const { return root.filePath(QStringLiteral("home")); }

    // A program folder of the given kind, empty.
    QString makeProgramFolder(Layout layout, const QString &name)
    {
        const QString folder = layout == Layout::Installed ? root.filePath(name + QStringLiteral("/bin"))
                                                           : root.filePath(name);
        QDir().mkpath(folder);
        if (layout == Layout::Installed) {
            const QString applications = root.filePath(name + QStringLiteral("/share/applications"));
            QDir().mkpath(applications);
            QFile entry(applications + QLatin1Char('/') + platform::applicationId() + QStringLiteral(".desktop"));
            entry.open(QIODevice::WriteOnly);
        }
        return folder;
    }

    // Connects through the stored profile, lists the tables and opens 客戶 on the XML page
    // with a click, as a person does.
    void openTableByClick(Tfm_ADO_Schema &w)
    {
        QTest::mouseClick(w.cbxOpenDataSet, Qt::LeftButton, {}, QPoint(8, w.cbxOpenDataSet->height() / 2));
        QVERIFY(w.cbxOpenDataSet->isChecked());
        QTest::mouseClick(w.btnGetTableName, Qt::LeftButton);
        xmlpagetest::clickTable(w, QStringLiteral("客戶"));
        QVERIFY(w.ADODXML.Active());
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home() + QStringLiteral("/.config")));
        const QString db = root.filePath(QStringLiteral("shop.db"));
        QCOMPARE(xmlpagetest::makeSqlite(db, QStringLiteral("CREATE TABLE 客戶 (編號 INTEGER, 名稱 TEXT);"
                                                            "INSERT INTO 客戶 VALUES (1, '甲');")),
                 QString());
        builder.answer = QStringLiteral("Provider=SQLite.1;Data Source=%1;Initial Catalog=shop").arg(db);
        gui::ProfileStartOptions options;
        options.loadAtStart = true; // the profile file's folder left to the window
        options.installDialogs = [this](profiles::TADOConnectionINI &store) { store.setConnectionStringBuilder(&builder); };
        gui::setProfileStartOptions(options);
    }
    void cleanupTestCase()
    {
        gui::setProfileStartOptions({});
        platform::overrideProgramFolder(QString());
    }
    void cleanup()
    {
        platform::overrideProgramFolder(QString());
        QDir(home()).removeRecursively();
    }

    void settingsAndExportsFollowTheProgramFolder_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<bool>("ownFolder");
        QTest::newRow("writable portable folder") << Layout::Portable << true;
        QTest::newRow("read-only program folder") << Layout::ReadOnly << false;
        QTest::newRow("installed tree") << Layout::Installed << false;
    }
    void settingsAndExportsFollowTheProgramFolder()
    {
        QFETCH(Layout, layout);
        QFETCH(bool, ownFolder);
        const QString program = makeProgramFolder(layout, QString::fromLatin1(QTest::currentDataTag()));
        std::unique_ptr<testsupport::ReadOnlyMount> readOnly;
        if (layout == Layout::ReadOnly) {
            readOnly = std::make_unique<testsupport::ReadOnlyMount>(program);
            REQUIRE_FACILITY(readOnly->ok(), QStringLiteral("root, to mount a folder read-only"));
        }
        platform::overrideProgramFolder(program);
        const QString settings =
            ownFolder ? program : home() + QStringLiteral("/.config/") + QCoreApplication::applicationName();
        const QString output = ownFolder ? program : home() + QStringLiteral("/Documents");
        const QString profile = settings + QStringLiteral("/ADOConneciton.ini");

        // First run: the connection built in the dialog is stored as the first profile.
        auto w = std::make_unique<Tfm_ADO_Schema>();
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
        QVERIFY2(QFile::exists(profile), qPrintable(profile));
        QCOMPARE(w->panelText(1), QStringLiteral("資料庫：shop"));
        QCOMPARE(w->statusBar()->findChildren<QLabel *>().first()->toolTip(),
                 QStringLiteral("連接參數設定檔：") + QDir::toNativeSeparators(profile));
        if (!ownFolder)
            QCOMPARE(permissionBits(settings), 0700);

        // The display labels of a table are stored in the settings folder.
        openTableByClick(*w);
        w->menuItem(QStringLiteral("N10"))->trigger();
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('\n'))));
        QVERIFY(xmlpagetest::readAll(settings + QStringLiteral("/ADO_OpenSchema.Ini")).contains("DisplayLabel="));

        // A workbook named by the grid goes to the output folder; the file dialogs open there.
        if (exchange::findSpreadsheetApp().found())
            ui.answerNo();
        w->menuItem(QStringLiteral("Excel1"))->trigger();
        QVERIFY2(!QDir(output).entryList({QStringLiteral("*.xls")}).isEmpty(), qPrintable(ui.messageTexts().join(' ')));
        ui.queueSaveFile(QString());
        w->menuItem(QStringLiteral("nSaveDataToXML"))->trigger();
        QCOMPARE(ui.fileDialogs().last().request.initialDir, QDir::toNativeSeparators(output));

        if (!ownFolder)
            QCOMPARE(filesIn(program), QStringList()); // nothing written beside the program
        w.reset();
        ui.clearRecords();
    }
};

QTEST_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
