// The main window's table, field and index lists on PostgreSQL through the ODBC
// provider: what the window lists is what the server's catalog holds.
#include "app/gui/MainWindow.h"
#include "app/gui/TableList.h"
#include "app/gui/TableListBox.h"
#include "data/core/Field.h"
#include <QAction>
#include <QCheckBox>
#include "support/GuiDriver.h"
#include "support/ListTexts.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <memory>
#include <set>

using testsupport::asSet;
using testsupport::itemsOf;

class TestMainWindowPg : public QObject {
    Q_OBJECT

private:
    testsupport::ScriptedUiScope ui;
    testsupport::PgServer *pg = nullptr;
    std::unique_ptr<Tfm_ADO_Schema> w;

    // Rows of a catalog query, one line each.
    QStringList query(const QString &sql)
    {
        QString out, error;
        if (!pg->exec(sql, &error, &out))
            qWarning("%s", qPrintable(error));
        return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void doubleClickItem(QListWidget *list, int row)
    {
        list->scrollToItem(list->item(row));
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        QString error;
        QVERIFY2(pg->exec(QStringLiteral(
                              "CREATE TABLE 地區 (地區代碼 char(2), 地區名稱 varchar(10));"
                              "CREATE TABLE 客戶 (客戶編號 integer PRIMARY KEY, 客戶名稱 varchar(40) NOT NULL,"
                              "  統一編號 char(8), 地區代碼 char(2));"
                              "CREATE UNIQUE INDEX 客戶_統一編號 ON 客戶 (統一編號);"
                              "CREATE INDEX 客戶_地區 ON 客戶 (地區代碼, 客戶名稱);"
                              "INSERT INTO 地區 VALUES ('01', '台北市'), ('02', '新北市');"
                              "CREATE VIEW 客戶地區 AS SELECT 客戶名稱, 地區名稱 FROM 客戶 JOIN 地區 USING (地區代碼);"),
                          &error),
                 qPrintable(error));
    }

    void cleanupTestCase()
    {
        testsupport::PgServer::shutdownShared();
    }

    void init()
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(pg->adoConnectionString());
        w->resize(1000, 700);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    void listsMatchTheCatalog()
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫連線中]"));
        const QStringList tables = itemsOf(w->lbxTableName);
        QCOMPARE(asSet(tables), (std::set<QString>{"地區", "客戶", "客戶地區"}));
        QCOMPARE(asSet(tables), asSet(query(QStringLiteral(
                                    "SELECT table_name FROM information_schema.tables "
                                    "WHERE table_schema = 'public'"))));
        for (int row = 0; row < tables.size(); ++row) {
            const QString &table = tables[row];
            doubleClickItem(w->lbxTableName, row);
            QCOMPARE(w->tableList().currentTable(), table);
            QCOMPARE(itemsOf(w->lbxFieldName),
                     query(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                          "WHERE table_schema = 'public' AND table_name = '%1' "
                                          "ORDER BY ordinal_position").arg(table)));
            QCOMPARE(asSet(itemsOf(w->lbxIndexFile)),
                     asSet(query(QStringLiteral("SELECT indexname FROM pg_indexes WHERE "
                                                "schemaname = 'public' AND tablename = '%1'").arg(table))));
        }
        QVERIFY(ui.messages().isEmpty());
    }

    // Another schema than the login's (public): its tables are listed as schema.name and
    // every entry reaches its own table, the name holding a dot included.
    void otherSchemaTables()
    {
        const QString db = QStringLiteral("schemas");
        QString error;
        QVERIFY2(pg->createDatabase(db, &error), qPrintable(error));
        QVERIFY2(pg->exec(QStringLiteral(
                              "CREATE SCHEMA sales;"
                              "CREATE TABLE orders (id int PRIMARY KEY, note text);"
                              "INSERT INTO orders VALUES (1, 'public');"
                              "CREATE TABLE sales.orders (order_id int, rep text);"
                              "CREATE INDEX sales_orders_rep ON sales.orders (rep);"
                              "INSERT INTO sales.orders VALUES (7, 'sales');"
                              "CREATE TABLE sales.\"q1.orders\" (q int);"
                              "INSERT INTO sales.\"q1.orders\" VALUES (1), (2);"),
                          &error, nullptr, db),
                 qPrintable(error));
        w->ADOConnection1.setConnectionString(pg->adoConnectionString(db));
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QCOMPARE(asSet(itemsOf(w->lbxTableName)), (std::set<QString>{"orders", "sales.orders", "sales.q1.orders"}));

        const auto rowOf = [this](const QString &listed) {
            const auto found = w->lbxTableName->findItems(listed, Qt::MatchExactly);
            return found.size() == 1 ? w->lbxTableName->row(found.first()) : -1;
        };
        doubleClickItem(w->lbxTableName, rowOf(QStringLiteral("sales.orders")));
        QCOMPARE(itemsOf(w->lbxFieldName), (QStringList{"order_id", "rep"}));
        QCOMPARE(itemsOf(w->lbxIndexFile), QStringList{"sales_orders_rep"});

        QTest::mouseClick(w->cbxOpenDataSet, Qt::LeftButton);
        const struct {
            const char *listed;
            int rows;
            const char *firstValue;
        } cases[] = {{"sales.q1.orders", 2, "1"}, {"sales.orders", 1, "7"}, {"orders", 1, "1"}};
        for (const auto &c : cases) {
            doubleClickItem(w->lbxTableName, rowOf(QString::fromUtf8(c.listed)));
            QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
            QVERIFY(w->ADODXML.Active());
            QCOMPARE(w->ADODXML.RecordCount(), c.rows);
            QCOMPARE(w->ADODXML.Fields(0)->AsString(), QString::fromUtf8(c.firstValue));
            QCOMPARE(w->tableList().currentTable(), QString::fromUtf8(c.listed));
        }
    }

    // A backslash in a schema or table name (the schema of a Windows account) reaches
    // the driver's catalog patterns as itself: its field and index lists and its
    // columns rowset are that table's.
    void backslashInSchemaOrName()
    {
        const QString db = QStringLiteral("backslash");
        QString error;
        QVERIFY2(pg->createDatabase(db, &error), qPrintable(error));
        QVERIFY2(pg->exec(QStringLiteral(
                              "CREATE SCHEMA \"CORP\\alice\";"
                              "CREATE TABLE \"CORP\\alice\".orders (order_id int, rep text);"
                              "CREATE INDEX alice_rep ON \"CORP\\alice\".orders (rep);"
                              "CREATE TABLE \"a\\_b\" (x int);"
                              "CREATE INDEX a_b_x ON \"a\\_b\" (x);"),
                          &error, nullptr, db),
                 qPrintable(error));
        w->ADOConnection1.setConnectionString(pg->adoConnectionString(db));
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QCOMPARE(asSet(itemsOf(w->lbxTableName)), (std::set<QString>{"CORP\\alice.orders", "a\\_b"}));
        const struct {
            const char *listed;
            QStringList fields;
            const char *index;
        } cases[] = {{"CORP\\alice.orders", {"order_id", "rep"}, "alice_rep"}, {"a\\_b", {"x"}, "a_b_x"}};
        for (const auto &c : cases) {
            const auto found = w->lbxTableName->findItems(QString::fromUtf8(c.listed), Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            doubleClickItem(w->lbxTableName, w->lbxTableName->row(found.first()));
            QCOMPARE(itemsOf(w->lbxFieldName), c.fields);
            QCOMPARE(itemsOf(w->lbxIndexFile), QStringList{QString::fromUtf8(c.index)});
            w->menuItem(QStringLiteral("nsiColumns"))->trigger();
            QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
            QCOMPARE(w->ADODataSet1.RecordCount(), c.fields.size());
        }
    }

    // A row edited in the grid goes back to the table it was read from, schema.name,
    // not to the table of the same name the search path finds first: opened by a click
    // on the list, or by a query of a few columns on the SQL page.
    void editWritesBackToThatSchema_data()
    {
        QTest::addColumn<QString>("query"); // empty: click the listed table
        QTest::newRow("list click") << QString();
        QTest::newRow("SQL page") << "SELECT id, note FROM sales.orders WHERE id = 1";
    }
    void editWritesBackToThatSchema()
    {
        QFETCH(QString, query);
        const QString db = query.isEmpty() ? QStringLiteral("sameorders_click") : QStringLiteral("sameorders_sql");
        QString error;
        QVERIFY2(pg->createDatabase(db, &error), qPrintable(error));
        QVERIFY2(pg->exec(QStringLiteral(
                              "CREATE SCHEMA sales;"
                              "CREATE TABLE sales.orders (id int PRIMARY KEY, note varchar(20));"
                              "CREATE TABLE orders (id int PRIMARY KEY, note varchar(20));"
                              "INSERT INTO sales.orders VALUES (1, 'same');"
                              "INSERT INTO orders VALUES (1, 'same');"),
                          &error, nullptr, db),
                 qPrintable(error));
        w->ADOConnection1.setConnectionString(pg->adoConnectionString(db));
        QVERIFY(drive::showActive(w.get()));
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        if (query.isEmpty()) {
            QTest::mouseClick(w->cbxOpenDataSet, Qt::LeftButton);
            const auto found = w->lbxTableName->findItems(QStringLiteral("sales.orders"), Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, {},
                              w->lbxTableName->visualItemRect(found.first()).center());
        } else {
            w->redSQLText->setPlainText(query);
            QTest::mouseClick(w->btnRun, Qt::LeftButton);
        }
        QVERIFY(w->ADODXML.Active());
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, 1);
        drive::type(QStringLiteral("edited"));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        drive::press(Qt::Key_Up); // leaving the row posts it
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QCOMPARE(pg->scalar(QStringLiteral("SELECT note FROM sales.orders"), db), QStringLiteral("edited"));
        QCOMPARE(pg->scalar(QStringLiteral("SELECT note FROM public.orders"), db), QStringLiteral("same"));
    }

    void tableWithoutIndexesAndSqlPage()
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const auto found = w->lbxTableName->findItems(QStringLiteral("地區"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        doubleClickItem(w->lbxTableName, w->lbxTableName->row(found.first()));
        QCOMPARE(itemsOf(w->lbxFieldName), (QStringList{"地區代碼", "地區名稱"}));
        QCOMPARE(w->lbxIndexFile->count(), 0);
        QCOMPARE(w->lbxIndexFile->currentRow(), -1);

        w->redSQLText->setPlainText(QStringLiteral("  SELECT * FROM 地區"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.RecordCount(), 2);
        QCOMPARE(w->PageControl1->currentIndex(), 4);

        w->redSQLText->setPlainText(QStringLiteral("select * from 沒有這個表格"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY(!ui.lastMessage().text.isEmpty());
        QVERIFY(!w->ADODXML.Active());
    }
};

QTEST_MAIN(TestMainWindowPg)
#include "tst_mainwindow_pg.moc"
