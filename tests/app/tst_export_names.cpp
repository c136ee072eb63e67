// Table names that hold folders, dots, backslashes, control characters or too many
// characters, clicked in the real window with "點選自定表格名稱時是否開啟" ticked: the
// XML grid's exports (Ctrl+P, Ctrl+E, Ctrl+X and the Excel menu) and the save proposals
// use a plain file name in the chosen folder, and nothing is written anywhere else.
#include "app/XmlPageFixture.h"
#include "components/wDBGrid.h"
#include "exchange/SpreadsheetApp.h"
#include "platform/PlainFileName.h"
#include "support/ScriptedUi.h"
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace xmlpagetest;

namespace {

struct HostileName {
    const char *row;
    QString table;
    QString file; // the plain name the files get
};

const QList<HostileName> &hostileNames()
{
    static const QList<HostileName> names = {
        {"climbs two folders", QStringLiteral("../../escape"), QStringLiteral("______escape")},
        {"absolute folder", QStringLiteral("/tmp/abs"), QStringLiteral("_tmp_abs")},
        {"dot dot", QStringLiteral(".."), QStringLiteral("__")},
        {"dot", QStringLiteral("."), QStringLiteral("_")},
        {"backslashes", QStringLiteral("D:\\Out\\訂單"), QStringLiteral("D:_Out_訂單")},
        {"control characters", QStringLiteral("t\tab\x01"), QStringLiteral("t_ab_")},
        {"too long", QString(120, QChar(0x8868)), QString(66, QChar(0x8868))},
    };
    return names;
}

QString literal(QString value)
{
    return QLatin1Char('\'') + value.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QString quoted(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString fixtureSql()
{
    QString sql;
    for (const HostileName &h : hostileNames())
        sql += QStringLiteral("CREATE TABLE %1 (n TEXT); INSERT INTO %1 VALUES (%2);").arg(quoted(h.table), literal(h.table));
    return sql;
}

// Every file below a folder, with its path relative to it.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            for (const QString &inner : filesBelow(info.filePath()))
                files << info.fileName() + QLatin1Char('/') + inner;
        else
            files << info.fileName();
    }
    files.sort();
    return files;
}

} // namespace

class TestExportNames : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    static QString exeDir() { return QCoreApplication::applicationDirPath(); }
    void trigger(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }
    void addNameRows()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("file");
        for (const HostileName &h : hostileNames())
            QTest::newRow(h.row) << h.table << h.file;
    }
    void openByClick(const QString &table)
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        w->cbxOpenDataSet->setChecked(true);
        clickTable(*w, table);
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), table);
    }
    // The folders an escaping name could reach: the program's folder and two above it.
    QStringList escapeTargets(const QString &extension) const
    {
        return {QDir(exeDir()).absoluteFilePath(QStringLiteral("../../escape") + extension),
                QStringLiteral("/tmp/abs") + extension, QStringLiteral("/tmp/") + extension};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("names.db"));
        const QString error = makeSqlite(dbFile, fixtureSql());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        w = openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QVERIFY(w);
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    // Ctrl+P, Ctrl+E and Ctrl+X on the XML grid, then the Excel menu: each file is the
    // plain name in the program's folder, the message names that folder.
    void gridExportsStayInTheProgramFolder_data() { addNameRows(); }
    void gridExportsStayInTheProgramFolder()
    {
        QFETCH(QString, table);
        QFETCH(QString, file);
        QCOMPARE(platform::plainFileName(table), file);
        openByClick(table);
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, 0);
        QVERIFY(drive::focused() == w->DBGrid2 || w->DBGrid2->isAncestorOf(drive::focused())); // the grid or its editor
        const bool spreadsheetApp = exchange::findSpreadsheetApp().found();
        const struct {
            Qt::Key key;
            const char *menu;
            QString extension;
        } exports[] = {{Qt::Key_P, nullptr, QStringLiteral(".Txt")},
                       {Qt::Key_E, nullptr, QStringLiteral(".xls")},
                       {Qt::Key_X, nullptr, QStringLiteral(".xml")},
                       {Qt::Key_unknown, "Excel1", QStringLiteral(".xls")}};
        for (const auto &e : exports) {
            const QString path = QDir(exeDir()).filePath(file + e.extension);
            QFile::remove(path);
            ui.clearRecords();
            if (spreadsheetApp && e.extension == QLatin1String(".xls"))
                ui.answerNo();
            if (e.menu)
                trigger(e.menu);
            else
                drive::press(e.key, Qt::ControlModifier);
            const bool written = QFile::exists(path);
            QFile::remove(path);
            QVERIFY2(written, qPrintable(path + QLatin1Char('|') + ui.messageTexts().join(QLatin1Char('|'))));
            QCOMPARE(ui.lastMessage().text, QStringLiteral("已產生  \"%1\" 檔案至 \"%2\" 目錄下!!").arg(file + e.extension, exeDir()));
            for (const QString &outside : escapeTargets(e.extension))
                QVERIFY2(!QFile::exists(outside), qPrintable(outside));
        }
    }

    // The save dialogs of "XML資料集存成XML" and the batch export propose a plain name;
    // the batch writes each table's file into the chosen folder and nowhere else.
    void saveProposalsAndBatchStayInTheChosenFolder_data() { addNameRows(); }
    void saveProposalsAndBatchStayInTheChosenFolder()
    {
        QFETCH(QString, table);
        QFETCH(QString, file);
        openByClick(table);
        ui.queueSaveFile(QString());
        trigger("nSaveDataToXML");
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(ui.fileDialogs().last().request.defaultName, file + QStringLiteral(".xml"));

        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("a/b/out")));
        const QString out = root.filePath(QStringLiteral("a/b/out"));
        ui.queueSaveFile(out + QStringLiteral("/chosen.xml"));
        trigger("XML2");
        QCOMPARE(ui.fileDialogs().size(), 2);
        QCOMPARE(ui.fileDialogs().last().request.defaultName, file + QStringLiteral(".xml"));
        if (table.contains(QLatin1Char('/'))) {
            // A name holding the separator is refused by the batch, as before.
            QCOMPARE(ui.messages().size(), 1);
            QCOMPARE(filesBelow(root.path()), QStringList());
        } else {
            QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
            QStringList expected = {QStringLiteral("a/b/out/XML轉檔所需時間.Txt"),
                                    QStringLiteral("a/b/out/") + file + QStringLiteral(".xml")};
            expected.sort();
            QCOMPARE(filesBelow(root.path()), expected);
        }
    }
};

QTEST_MAIN(TestExportNames)
#include "tst_export_names.moc"
