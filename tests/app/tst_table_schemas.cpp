// Tables outside the login's default schema, driven through the real window against the
// scripted TDS peer (unixODBC + FreeTDS). The peer plays a small catalogue the way SQL
// Server answers it: sp_tables lists every owner, the catalog procedures filter by the
// owner they are given, a one-part name means the default schema, and a plain '...'
// literal is read in code page 950. So a command that loses the schema reaches the wrong
// table (or none), and its record shows every statement as it was sent.
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "platform/IniFile.h"
#include "support/GuiDriver.h"
#include "support/ListTexts.h"
#include "support/MainWindowUnderTest.h"
#include "support/ScriptedUi.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using tds::Column;
using tds::ColumnType;
using tds::Reply;
using tds::Request;
using testsupport::itemsOf;

namespace {

struct FakeTable {
    QString schema, name;
    QStringList columns;
    QString index;
};

// Two tables called Orders, a name holding a dot, and a name outside code page 950.
const QList<FakeTable> kShop = {
    {"Sales", "Orders", {"OrderID", "SalesRep"}, "IX_Sales_Orders"},
    {"dbo", "Orders", {"id", "amount", "note"}, "PK_dbo_Orders"},
    {"Sales", "Q1.Orders", {"q"}, "IX_Q1"},
    {"dbo", "客戶 资料", {"編號"}, "PK_客戶"},
};
// A Windows login without a default schema creates its tables in a schema named after
// the account; and names holding the catalog patterns' escape character.
const QList<FakeTable> kWindowsAccount = {
    {"CORP\\alice", "Orders", {"OrderID", "Rep"}, "IX_alice"},
    {"dbo", "a\\_b", {"x"}, "IX_ab"},
    {"dbo", "c\\\\d%", {"y"}, "IX_cd"},
};
// The layout of the sample databases: nothing in dbo.
const QList<FakeTable> kPeople = {{"Person", "Person", {"BusinessEntityID", "FirstName"}, "PK_Person"}};

Column text(const char *name, int size = 128)
{
    return Column{QString::fromUtf8(name), ColumnType::NVarChar, size};
}

Column integer(const char *name)
{
    return Column{QString::fromUtf8(name), ColumnType::Int};
}

// A LIKE pattern of the catalog procedures back to the name: [_] [%] [[] unescaped.
QString unescaped(QString pattern)
{
    return pattern.replace(QLatin1String("[_]"), QLatin1String("_"))
        .replace(QLatin1String("[%]"), QLatin1String("%"))
        .replace(QLatin1String("[[]"), QLatin1String("["));
}

// The parts of a name such as [Sales].[Q1.Orders] or Orders, brackets removed.
QStringList nameParts(const QString &text)
{
    QStringList parts{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('[')) {
            for (++i; i < text.size(); ++i) {
                if (text.at(i) == QLatin1Char(']') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char(']'))
                    parts.last() += text.at(i++);
                else if (text.at(i) == QLatin1Char(']'))
                    break;
                else
                    parts.last() += text.at(i);
            }
        } else if (ch == QLatin1Char('.')) {
            parts << QString();
        } else {
            parts.last() += ch;
        }
    }
    return parts;
}

class FakeCatalogue {
public:
    FakeCatalogue(QString database, QList<FakeTable> tables) : database_(std::move(database)), tables_(std::move(tables)) {}

    // One part: the login's default schema, as the server resolves it.
    const FakeTable *resolve(const QString &name) const
    {
        const QStringList parts = nameParts(name);
        const QString schema = parts.size() > 1 ? parts.at(parts.size() - 2) : QStringLiteral("dbo");
        for (const FakeTable &t : tables_)
            if (t.schema == schema && t.name == parts.last())
                return &t;
        return nullptr;
    }

    // Tables a catalog procedure's @table_name / @table_owner select; no owner: every one.
    QList<FakeTable> matching(const QString &name, const QVariant &owner) const
    {
        QList<FakeTable> out;
        for (const FakeTable &t : tables_)
            if (t.name == unescaped(name) && (owner.isNull() || !owner.isValid() || t.schema == unescaped(owner.toString())))
                out << t;
        return out;
    }

    Reply tables() const
    {
        QList<QVariantList> rows;
        for (const FakeTable &t : tables_)
            rows << QVariantList{database_, t.schema, t.name, "TABLE", QVariant()};
        return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("TABLE_TYPE", 32),
                            text("REMARKS", 254)},
                           rows);
    }

    // sp_columns in the ODBC 3 layout (the script reads its first eleven columns too).
    Reply columns(const QList<FakeTable> &tables) const
    {
        QList<Column> cols;
        for (const char *n : {"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME"})
            cols << text(n);
        cols << integer("DATA_TYPE") << text("TYPE_NAME") << integer("PRECISION") << integer("LENGTH")
             << integer("SCALE") << integer("RADIX") << integer("NULLABLE") << text("REMARKS", 254)
             << text("COLUMN_DEF", 4000) << integer("SQL_DATA_TYPE") << integer("SQL_DATETIME_SUB")
             << integer("CHAR_OCTET_LENGTH") << integer("ORDINAL_POSITION") << text("IS_NULLABLE", 254)
             << integer("SS_DATA_TYPE");
        QList<QVariantList> rows;
        for (const FakeTable &t : tables)
            for (int i = 0; i < t.columns.size(); ++i)
                rows << QVariantList{database_, t.schema, t.name, t.columns.at(i), 4, "int", 10, 4, 0, 10, 1,
                                     QVariant(), QVariant(), 4, QVariant(), QVariant(), i + 1, "YES", 56};
        return Reply::rows(cols, rows);
    }

    Reply statistics(const QList<FakeTable> &tables) const
    {
        QList<Column> cols;
        for (const char *n : {"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME"})
            cols << text(n);
        cols << integer("NON_UNIQUE") << text("INDEX_QUALIFIER") << text("INDEX_NAME") << integer("TYPE")
             << integer("SEQ_IN_INDEX") << text("COLUMN_NAME") << Column{"COLLATION", ColumnType::VarChar, 1}
             << integer("CARDINALITY") << integer("PAGES") << text("FILTER_CONDITION");
        QList<QVariantList> rows;
        for (const FakeTable &t : tables)
            rows << QVariantList{database_, t.schema, t.name, 1, t.name, t.index, 3, 1, t.columns.first(), "A",
                                 1, 1, QVariant()};
        return Reply::rows(cols, rows);
    }

    Reply primaryKeys() const
    {
        return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("COLUMN_NAME"),
                            integer("KEY_SEQ"), text("PK_NAME")},
                           {});
    }

    // Select * From {name}: one row naming the table it came from.
    Reply select(const QString &name) const
    {
        const FakeTable *t = resolve(name);
        if (!t)
            return Reply::error(208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(name));
        return Reply::rows({text("source")}, {{t->schema + QLatin1Char('.') + t->name}, {QStringLiteral("second")}});
    }

    // DBCC DBReindex (N'[schema].[name]', ...): the literal as the server reads it.
    Reply reindex(const QString &batch) const
    {
        const QString target = tds::literalsAsServerReads(batch).value(0);
        if (!resolve(target))
            return Reply::error(2501, 16, 1, QStringLiteral("Could not find object '%1'.").arg(target));
        return Reply::done();
    }

    // EXEC sp_columns @table_name = N'...', @table_owner = N'...' as a batch (the script).
    Reply columnsBatch(const QString &batch) const
    {
        const QStringList values = tds::literalsAsServerReads(batch);
        return columns(matching(values.value(0), values.size() > 1 ? QVariant(values.at(1)) : QVariant()));
    }

    void script(tds::TdsPeer &peer) const
    {
        peer.onProcedure(QStringLiteral("sp_tables"), tables());
        peer.onProcedure(QStringLiteral("sp_pkeys"), primaryKeys());
        peer.onQuery(QRegularExpression(QStringLiteral("(^|\\.)sp_columns$")), [this](const Request &r) {
            return columns(matching(r.param("table_name").toString(), r.param("table_owner")));
        });
        peer.onQuery(QRegularExpression(QStringLiteral("(^|\\.)sp_statistics$")), [this](const Request &r) {
            return statistics(matching(r.param("table_name").toString(), r.param("table_owner")));
        });
        peer.onQuery(QRegularExpression(QStringLiteral("^Select \\* From (.*)$")), [this](const Request &r) {
            return select(r.text.mid(QStringLiteral("Select * From ").size()));
        });
        peer.onQuery(QRegularExpression(QStringLiteral("^DBCC DBReindex")),
                     [this](const Request &r) { return reindex(r.text); });
        peer.onQuery(QRegularExpression(QStringLiteral("^EXEC sp_columns")),
                     [this](const Request &r) { return columnsBatch(r.text); });
    }

private:
    QString database_;
    QList<FakeTable> tables_;
};

} // namespace

class TestTableSchemas : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    std::unique_ptr<tds::TdsPeer> peer;
    std::unique_ptr<FakeCatalogue> catalogue;
    std::unique_ptr<Tfm_ADO_Schema> w;

    // The window on `database`, its table list fetched by the button.
    bool openWindow(const QString &database, const QList<FakeTable> &tables, bool openOnClick = false)
    {
        catalogue = std::make_unique<FakeCatalogue>(database, tables);
        catalogue->script(*peer);
        w = testsupport::showMainWindow(testsupport::saConnectionString(*peer, database),
                                        dir.filePath(QStringLiteral("ADO_OpenSchema.Ini")), QSize(1100, 700));
        if (!w)
            return false;
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        if (openOnClick)
            QTest::mouseClick(w->cbxOpenDataSet, Qt::LeftButton);
        ui.clearRecords();
        peer->clearReceived();
        return w->lbxTableName->count() == tables.size() && w->cbxOpenDataSet->isChecked() == openOnClick;
    }

    QPoint entryCentre(const QString &listed)
    {
        const auto found = w->lbxTableName->findItems(listed, Qt::MatchExactly);
        if (found.size() != 1)
            return {-1, -1};
        w->lbxTableName->scrollToItem(found.first());
        return w->lbxTableName->visualItemRect(found.first()).center();
    }
    void clickTable(const QString &listed)
    {
        const QPoint at = entryCentre(listed);
        QVERIFY2(at.x() >= 0, qPrintable(listed));
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, {}, at);
    }
    void doubleClickTable(const QString &listed)
    {
        const QPoint at = entryCentre(listed);
        QVERIFY2(at.x() >= 0, qPrintable(listed));
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w->lbxTableName->viewport(), Qt::LeftButton, {}, at);
    }

    void run(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }

    QStringList batches() const
    {
        QStringList out;
        for (const Request &r : peer->receivedStatements())
            if (r.kind == Request::Batch)
                out << r.text;
        return out;
    }

    // "proc owner.name" for each catalog RPC that named a table.
    QStringList catalogCalls() const
    {
        QStringList out;
        for (const Request &r : peer->receivedStatements())
            if (r.kind == Request::Rpc && r.param("table_name").isValid())
                out << r.procedure + QLatin1Char(' ') + r.param("table_owner").toString() + QLatin1Char('.') +
                           r.param("table_name").toString();
        return out;
    }

    void expectNoMessages()
    {
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void init()
    {
        ui.clearRecords();
        peer = std::make_unique<tds::TdsPeer>();
        QVERIFY(testsupport::startWithSaLogin(*peer));
    }

    void cleanup()
    {
        w.reset();
        peer->stop();
        peer.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    void listedByDefaultSchema_data()
    {
        QTest::addColumn<QString>("defaultSchema");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("dbo") << "dbo" << "shop" << QStringList{"Sales.Orders", "Orders", "Sales.Q1.Orders", "客戶 资料"};
        QTest::newRow("Sales") << "Sales" << "shop" << QStringList{"Orders", "dbo.Orders", "Q1.Orders", "dbo.客戶 资料"};
        QTest::newRow("only Person") << "dbo" << "people" << QStringList{"Person.Person"};
    }
    void listedByDefaultSchema()
    {
        QFETCH(QString, defaultSchema);
        QFETCH(QString, database);
        QFETCH(QStringList, listed);
        peer->setDefaultSchema(defaultSchema);
        QVERIFY(openWindow(database, database == QLatin1String("shop") ? kShop : kPeople));
        QCOMPARE(itemsOf(w->lbxTableName), listed);
        expectNoMessages();
    }

    // A click reads exactly the entry's table; the grid caption is the listed text.
    void clickOpensThatTable_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("source");
        QTest::newRow("other schema") << "Sales.Orders" << "Select * From [Sales].[Orders]" << "Sales.Orders";
        QTest::newRow("default schema") << "Orders" << "Select * From [dbo].[Orders]" << "dbo.Orders";
        QTest::newRow("dot in the name") << "Sales.Q1.Orders" << "Select * From [Sales].[Q1.Orders]" << "Sales.Q1.Orders";
    }
    void clickOpensThatTable()
    {
        QFETCH(QString, listed);
        QFETCH(QString, statement);
        QFETCH(QString, source);
        QVERIFY(openWindow(QStringLiteral("shop"), kShop, true));
        clickTable(listed);
        expectNoMessages();
        QCOMPARE(batches(), QStringList{statement});
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.Fields(0)->AsString(), source);
        QCOMPARE(w->DBGrid2->Caption(), listed);
    }

    void personPersonOpensAndRebuilds()
    {
        QVERIFY(openWindow(QStringLiteral("people"), kPeople, true));
        clickTable(QStringLiteral("Person.Person"));
        QCOMPARE(w->ADODXML.Fields(0)->AsString(), QStringLiteral("Person.Person"));
        peer->clearReceived();
        run("nReindexTable");
        QCOMPARE(batches(), QStringList{"DBCC DBReindex (N'[Person].[Person]','', 0) WITH NO_INFOMSGS"});
        QVERIFY(ui.questions().isEmpty());
        QCOMPARE(ui.messageTexts(), QStringList{"索引檔重整完成!!"});
    }

    // The field and index lists describe that table alone, asked for by owner and name.
    void doubleClickListsThatTable_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<int>("table"); // in kShop
        for (int i = 0; i < kShop.size(); ++i)
            QTest::newRow(qPrintable(kShop.at(i).schema + '.' + kShop.at(i).name))
                << QStringList{"Sales.Orders", "Orders", "Sales.Q1.Orders", "客戶 资料"}.at(i) << i;
    }
    void doubleClickListsThatTable()
    {
        QFETCH(QString, listed);
        QFETCH(int, table);
        const FakeTable &t = kShop.at(table);
        QVERIFY(openWindow(QStringLiteral("shop"), kShop));
        doubleClickTable(listed);
        expectNoMessages();
        QCOMPARE(itemsOf(w->lbxFieldName), t.columns);
        QCOMPARE(itemsOf(w->lbxIndexFile), QStringList{t.index});
        const QString pattern = QString(t.name).replace(QLatin1String("_"), QLatin1String("[_]"));
        for (const QString &call : catalogCalls())
            QVERIFY2(call.endsWith(QLatin1Char(' ') + t.schema + QLatin1Char('.') + pattern), qPrintable(call));
        QCOMPARE(catalogCalls().size(), 3); // sp_columns, sp_pkeys, sp_statistics
    }

    // A backslash reaches the catalog procedures as itself: SQL Server's LIKE takes it
    // literally, so a doubled one would name no table.
    void backslashInSchemaOrName_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<int>("table"); // in kWindowsAccount
        QTest::newRow("account's schema") << "CORP\\alice.Orders" << 0;
        QTest::newRow("before an underscore") << "a\\_b" << 1;
        QTest::newRow("doubled, before a percent") << "c\\\\d%" << 2;
    }
    void backslashInSchemaOrName()
    {
        QFETCH(QString, listed);
        QFETCH(int, table);
        const FakeTable &t = kWindowsAccount.at(table);
        QVERIFY(openWindow(QStringLiteral("shop"), kWindowsAccount));
        doubleClickTable(listed);
        QCOMPARE(itemsOf(w->lbxFieldName), t.columns);
        QCOMPARE(itemsOf(w->lbxIndexFile), QStringList{t.index});
        run("nsiColumns");
        expectNoMessages();
        QCOMPARE(w->ADODataSet1.RecordCount(), t.columns.size());
        QCOMPARE(w->ADODataSet1.FieldByName(QStringLiteral("TABLE_SCHEMA"))->AsString(), t.schema);
        QCOMPARE(w->ADODataSet1.FieldByName(QStringLiteral("TABLE_NAME"))->AsString(), t.name);
    }

    // Schema rowsets restricted to the current table carry its schema.
    void schemaRowsetOfThatTable()
    {
        QVERIFY(openWindow(QStringLiteral("shop"), kShop));
        clickTable(QStringLiteral("Sales.Orders"));
        run("nsiColumns");
        expectNoMessages();
        // The catalog call runs in the current database, named as FreeTDS names it.
        QCOMPARE(catalogCalls(), QStringList{"[shop]..sp_columns Sales.Orders"});
        QCOMPARE(w->ADODataSet1.RecordCount(), 2);
        for (w->ADODataSet1.First(); !w->ADODataSet1.Eof(); w->ADODataSet1.Next())
            QCOMPARE(w->ADODataSet1.FieldByName(QStringLiteral("TABLE_SCHEMA"))->AsString(), QStringLiteral("Sales"));
    }

    // Every listed table is rebuilt by its own schema and name, the name outside code
    // page 950 included: the fake server finds each one as it reads the literal.
    void rebuildQuotesEveryPair()
    {
        QVERIFY(openWindow(QStringLiteral("shop"), kShop));
        run("nReindexTable");
        QCOMPARE(batches(), QStringList({"DBCC DBReindex (N'[Sales].[Orders]','', 0) WITH NO_INFOMSGS",
                                         "DBCC DBReindex (N'[dbo].[Orders]','', 0) WITH NO_INFOMSGS",
                                         "DBCC DBReindex (N'[Sales].[Q1.Orders]','', 0) WITH NO_INFOMSGS",
                                         "DBCC DBReindex (N'[dbo].[客戶 资料]','', 0) WITH NO_INFOMSGS"}));
        QVERIFY(ui.questions().isEmpty());
        QCOMPARE(ui.messageTexts(), QStringList{"索引檔重整完成!!"});
    }

    void scriptOfThatTable_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("script");
        QTest::newRow("other schema")
            << "Sales.Orders" << "EXEC sp_columns @table_name = N'Orders', @table_owner = N'Sales'"
            << QStringList{"CREATE TABLE Sales.Orders", "(", "      OrderID int 4 NULL ,", "      SalesRep int 4 NULL ", ")"};
        QTest::newRow("default schema")
            << "Orders" << "EXEC sp_columns @table_name = N'Orders', @table_owner = N'dbo'"
            << QStringList{"CREATE TABLE Orders", "(", "      id int 4 NULL ,", "      amount int 4 NULL ,",
                           "      note int 4 NULL ", ")"};
        QTest::newRow("dot in the name")
            << "Sales.Q1.Orders" << "EXEC sp_columns @table_name = N'Q1.Orders', @table_owner = N'Sales'"
            << QStringList{"CREATE TABLE Sales.[Q1.Orders]", "(", "      q int 4 NULL ", ")"};
        QTest::newRow("outside code page 950")
            << "客戶 资料" << "EXEC sp_columns @table_name = N'客戶 资料', @table_owner = N'dbo'"
            << QStringList{"CREATE TABLE [客戶 资料]", "(", "      編號 int 4 NULL ", ")"};
    }
    void scriptOfThatTable()
    {
        QFETCH(QString, listed);
        QFETCH(QString, statement);
        QFETCH(QStringList, script);
        QVERIFY(openWindow(QStringLiteral("shop"), kShop));
        clickTable(listed);
        ui.queueSaveFile(QString());
        run("nCreateTable");
        expectNoMessages();
        QCOMPARE(batches(), QStringList{statement});
        QCOMPARE(*w->FScriptLines, script);
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(ui.fileDialogs().at(0).request.defaultName, QStringLiteral("Create_") + listed + QStringLiteral(".sql"));
    }

    // Both Orders tables get files of their own, each holding its own table's row.
    void batchExportFilePerTable()
    {
        QVERIFY(openWindow(QStringLiteral("shop"), kShop));
        run("N8");
        QTemporaryDir out;
        ui.queueSaveFile(out.filePath(QStringLiteral("chosen.xml")));
        run("XML2");
        expectNoMessages();
        QCOMPARE(batches(), QStringList({"Select * From [Sales].[Orders]", "Select * From [dbo].[Orders]",
                                         "Select * From [Sales].[Q1.Orders]", "Select * From [dbo].[客戶 资料]"}));
        const QStringList files{"Sales.Orders.xml", "Orders.xml", "Sales.Q1.Orders.xml", "客戶 资料.xml"};
        const QStringList sources{"Sales.Orders", "dbo.Orders", "Sales.Q1.Orders", "dbo.客戶 资料"};
        for (int i = 0; i < files.size(); ++i) {
            QFile f(out.filePath(files.at(i)));
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(files.at(i)));
            const QRegularExpression row(QStringLiteral("source=[\"']%1[\"']").arg(QRegularExpression::escape(sources.at(i))));
            QVERIFY2(row.match(QString::fromUtf8(f.readAll())).hasMatch(), qPrintable(files.at(i)));
        }
        QVERIFY(w->lbxTableName->selectedItems().isEmpty());
    }

    // Rows edited after a click go back to that table, named by schema and name.
    void editWritesBackToThatTable()
    {
        peer->onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), Reply::count(1));
        QVERIFY(openWindow(QStringLiteral("shop"), kShop, true));
        clickTable(QStringLiteral("Sales.Orders"));
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, 0);
        drive::type(QStringLiteral("x"));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        drive::press(Qt::Key_Down); // leaving the row posts it
        expectNoMessages();
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QStringList updates;
        for (const Request &r : peer->receivedStatements())
            if (r.text.startsWith(QLatin1String("UPDATE")))
                updates << r.text;
        QCOMPARE(updates.size(), 1);
        QVERIFY2(updates.first().startsWith(QLatin1String("UPDATE [Sales].[Orders] SET [source] = ")),
                 qPrintable(updates.first()));
    }

    // Display labels are kept per listed table: Sales.Orders' labels stay off dbo.Orders.
    void displayLabelsPerListedTable()
    {
        platform::IniFile ini(dir.filePath(QStringLiteral("ADO_OpenSchema.Ini")));
        ini.WriteString(QStringLiteral("Sales.Orders"), QStringLiteral("source.DisplayLabel"), QStringLiteral("來源"));
        QVERIFY(openWindow(QStringLiteral("shop"), kShop, true));
        clickTable(QStringLiteral("Sales.Orders"));
        QCOMPARE(w->ADODXML.Fields(0)->DisplayLabel(), QStringLiteral("來源"));
        clickTable(QStringLiteral("Orders"));
        QCOMPARE(w->ADODXML.Fields(0)->DisplayLabel(), QStringLiteral("source"));
        expectNoMessages();
    }
};

QTEST_MAIN(TestTableSchemas)
#include "tst_table_schemas.moc"
