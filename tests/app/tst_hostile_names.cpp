// Table names that look like SQL, clicked in the real table list of the real window with
// "點選自定表格名稱時是否開啟" ticked: each opens its own rows and no other table changes.
// SQLite file, PostgreSQL through ODBC, and SQL Server through the scripted TDS peer,
// whose record shows the exact statement that was sent.
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

struct HostileName {
    QString name;
    bool view;
    QString doubleQuoted; // as SQLite and PostgreSQL read it
    QString bracketed;    // as SQL Server reads it
};

const QList<HostileName> &hostileNames()
{
    static const QList<HostileName> names = {
        {"t;DELETE FROM victim", false, "\"t;DELETE FROM victim\"", "[t;DELETE FROM victim]"},
        {"t WHERE 0 UNION SELECT sqlite_version()", true, "\"t WHERE 0 UNION SELECT sqlite_version()\"",
         "[t WHERE 0 UNION SELECT sqlite_version()]"},
        {"a b", false, "\"a b\"", "[a b]"},
        {"a]b", false, "\"a]b\"", "[a]]b]"},
        {"a\"b", false, "\"a\"\"b\"", "[a\"b]"},
        {"it's", false, "\"it's\"", "[it's]"},
        {"select", false, "\"select\"", "[select]"},
        {"客戶 资料", false, "\"客戶 资料\"", "[客戶 资料]"},
        {"\"; DROP TABLE victim; --", false, "\"\"\"; DROP TABLE victim; --\"", "[\"; DROP TABLE victim; --]"},
        {"[t]", false, "\"[t]\"", "[[t]]]"},
    };
    return names;
}

// Test-side literal for fixture rows; the program's own quoting is what is under test.
QString literal(QString value)
{
    return QLatin1Char('\'') + value.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// Decoys the unquoted statements would reach, the victim they would empty, and one
// table or view per hostile name whose single row holds that name.
QString fixtureSql(const QString &textType)
{
    QString sql = QStringLiteral("CREATE TABLE victim (id integer);"
                                 "INSERT INTO victim VALUES (1), (2), (3);"
                                 "CREATE TABLE t (n %1); INSERT INTO t VALUES ('t');"
                                 "CREATE TABLE a (n %1); INSERT INTO a VALUES ('a');")
                      .arg(textType);
    for (const HostileName &h : hostileNames()) {
        if (h.view)
            sql += QStringLiteral("CREATE VIEW %1 AS SELECT CAST(%2 AS %3) AS n;")
                       .arg(h.doubleQuoted, literal(h.name), textType);
        else
            sql += QStringLiteral("CREATE TABLE %1 (n %3); INSERT INTO %1 VALUES (%2);")
                       .arg(h.doubleQuoted, literal(h.name), textType);
    }
    return sql;
}

void addNameRows()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("bracketed");
    for (const HostileName &h : hostileNames())
        QTest::newRow(qPrintable(h.name)) << h.name << h.bracketed;
}

} // namespace

class TestHostileNames : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    QString sqliteFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    // "name=rows" of every base table of the SQLite file.
    QStringList sqliteTableCounts() const
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(sqliteFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        QStringList names;
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        QStringList counts;
        for (const QString &name : names) {
            const QByteArray sql = "SELECT count(*) FROM \"" + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")).toUtf8() + '"';
            sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
            sqlite3_step(st);
            counts << name + QLatin1Char('=') + QString::number(sqlite3_column_int64(st, 0));
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return counts;
    }

    static QStringList postgresTableCounts(testsupport::PgServer *pg)
    {
        QString out, error;
        pg->exec(QStringLiteral(
                     "SELECT table_name || '=' || (xpath('/row/c/text()', query_to_xml("
                     "format('SELECT count(*) AS c FROM %I', table_name), false, true, '')))[1]::text "
                     "FROM information_schema.tables WHERE table_schema = 'public' AND table_type = 'BASE TABLE' "
                     "ORDER BY table_name"),
                 &error, &out);
        return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts) << error;
    }

    // The window on `connection`, shown and active, its table list fetched and the
    // open-on-click box ticked, both as a person does it.
    bool openWindow(const QString &connection)
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(connection);
        w->resize(1000, 700);
        if (!drive::showActive(w.get()))
            return false;
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QTest::mouseClick(w->cbxOpenDataSet, Qt::LeftButton);
        return w->cbxOpenDataSet->isChecked() && w->lbxTableName->count() > 0;
    }

    void clickTable(const QString &name)
    {
        const auto found = w->lbxTableName->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        w->lbxTableName->scrollToItem(found.first());
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, {},
                          w->lbxTableName->visualItemRect(found.first()).center());
    }

    // The click opened exactly the rows of `name` and named the grid after it.
    void expectOwnRowsOpened(const QString &name)
    {
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.RecordCount(), 1);
        QCOMPARE(w->ADODXML.FieldNames(), QStringList{QStringLiteral("n")});
        QCOMPARE(w->ADODXML.Fields(0)->AsString(), name);
        QCOMPARE(w->DBGrid2->Caption(), name);
        QVERIFY(w->FXMLFromTable);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        sqliteFile = dir.filePath(QStringLiteral("hostile.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(sqliteFile.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        const int rc = sqlite3_exec(db, fixtureSql(QStringLiteral("TEXT")).toUtf8().constData(), nullptr, nullptr, &error);
        const QString text = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        QVERIFY2(rc == SQLITE_OK, qPrintable(text));
    }

    void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }

    void init() { ui.clearRecords(); }

    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    void sqliteClickOpensItsOwnTable_data() { addNameRows(); }
    void sqliteClickOpensItsOwnTable()
    {
        QFETCH(QString, name);
        const QStringList before = sqliteTableCounts();
        QVERIFY(before.contains(QStringLiteral("victim=3")));
        QVERIFY(openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + sqliteFile));
        clickTable(name);
        expectOwnRowsOpened(name);
        QCOMPARE(sqliteTableCounts(), before);
    }

    void postgresClickOpensItsOwnTable_data() { addNameRows(); }
    void postgresClickOpensItsOwnTable()
    {
        REQUIRE_PG_SERVER(pg);
        QFETCH(QString, name);
        if (pg->scalar(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_name = 'victim'")) !=
            QLatin1String("1")) {
            QString error;
            QVERIFY2(pg->exec(fixtureSql(QStringLiteral("text")), &error), qPrintable(error));
        }
        const QStringList before = postgresTableCounts(pg);
        QVERIFY2(before.contains(QStringLiteral("victim=3")), qPrintable(before.join('\n')));
        QVERIFY(openWindow(pg->adoConnectionString()));
        clickTable(name);
        expectOwnRowsOpened(name);
        QCOMPARE(postgresTableCounts(pg), before);
    }

    void sqlServerClickSendsOneQuotedStatement_data() { addNameRows(); }
    void sqlServerClickSendsOneQuotedStatement()
    {
        QFETCH(QString, name);
        QFETCH(QString, bracketed);
        tds::TdsPeer peer;
        QVERIFY(testsupport::startWithSaLogin(peer));
        const auto text = [](const char *n) { return tds::Column{QString::fromUtf8(n), tds::ColumnType::NVarChar, 128}; };
        QList<QVariantList> tables;
        for (const HostileName &h : hostileNames())
            tables << QVariantList{"Sales", "dbo", h.name, h.view ? "VIEW" : "TABLE", QVariant()};
        tables << QVariantList{"Sales", "dbo", "victim", "TABLE", QVariant()};
        peer.onProcedure(QStringLiteral("sp_tables"),
                         tds::Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"),
                                           text("TABLE_TYPE"), text("REMARKS")},
                                          tables));
        // Listed in dbo, the login's default schema: shown plainly, read as [dbo].[name].
        peer.onQuery(QStringLiteral("Select * From [dbo].") + bracketed, tds::Reply::rows({text("n")}, {{name}}));

        QVERIFY(openWindow(testsupport::saConnectionString(peer, QStringLiteral("Sales"))));
        peer.clearReceived();
        clickTable(name);
        expectOwnRowsOpened(name);
        QStringList batches;
        for (const tds::Request &r : peer.receivedStatements())
            if (r.kind == tds::Request::Batch)
                batches << r.text;
        QCOMPARE(batches, QStringList{QStringLiteral("Select * From [dbo].") + bracketed});
        w.reset();
        peer.stop();
    }
};

QTEST_MAIN(TestHostileNames)
#include "tst_hostile_names.moc"
