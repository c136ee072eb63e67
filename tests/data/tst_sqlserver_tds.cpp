// The "SQLOLEDB.1" provider end to end: unixODBC + FreeTDS over TCP against a scripted
// TDS 7.4 peer. Checks login, the catalog traffic behind the listings and schema
// rowsets, datasets with every common column type, posting edits, server errors,
// command timeouts and command batches.
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/DatabaseError.h"
#include "data/core/Field.h"
#include "support/ResultHelpers.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QtTest>

using namespace data;
using namespace tds;
using testsupport::errorOf;
using testsupport::openAsSa;
using testsupport::requestTexts;
using testsupport::tdsColumn;

namespace {

// sp_tables: TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, TABLE_TYPE, REMARKS.
Reply tablesReply()
{
    return Reply::rows({tdsColumn("TABLE_QUALIFIER", ColumnType::NVarChar, 128), tdsColumn("TABLE_OWNER", ColumnType::NVarChar, 128),
                        tdsColumn("TABLE_NAME", ColumnType::NVarChar, 128), tdsColumn("TABLE_TYPE", ColumnType::VarChar, 32),
                        tdsColumn("REMARKS", ColumnType::VarChar, 254)},
                       {{"Sales", "dbo", "客戶", "TABLE", QVariant()},
                        {"Sales", "dbo", "T", "TABLE", QVariant()},
                        {"Sales", "sys", "trace_xe_action_map", "SYSTEM TABLE", QVariant()},
                        {"Sales", "dbo", "v_客戶", "VIEW", QVariant()}});
}

// sp_columns with @ODBCVer=3: the 19 columns of the ODBC 3 layout.
Reply columnsReply()
{
    QList<Column> cols;
    for (const char *n : {"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME"})
        cols << tdsColumn(n, ColumnType::NVarChar, 128);
    cols << tdsColumn("DATA_TYPE", ColumnType::Int) << tdsColumn("TYPE_NAME", ColumnType::NVarChar, 128)
         << tdsColumn("PRECISION", ColumnType::Int) << tdsColumn("LENGTH", ColumnType::Int) << tdsColumn("SCALE", ColumnType::Int)
         << tdsColumn("RADIX", ColumnType::Int) << tdsColumn("NULLABLE", ColumnType::Int) << tdsColumn("REMARKS", ColumnType::VarChar, 254)
         << tdsColumn("COLUMN_DEF", ColumnType::NVarChar, 4000) << tdsColumn("SQL_DATA_TYPE", ColumnType::Int)
         << tdsColumn("SQL_DATETIME_SUB", ColumnType::Int) << tdsColumn("CHAR_OCTET_LENGTH", ColumnType::Int)
         << tdsColumn("ORDINAL_POSITION", ColumnType::Int) << tdsColumn("IS_NULLABLE", ColumnType::VarChar, 254)
         << tdsColumn("SS_DATA_TYPE", ColumnType::Int);
    auto row = [](const char *name, int type, const char *typeName, int precision, int length, QVariant scale,
                  int nullable, QVariant def, int ordinal) {
        return QVariantList{"Sales", "dbo", "T", QString::fromUtf8(name), type, typeName, precision, length, scale, 10,
                            nullable, QVariant(), def, type, QVariant(), QVariant(), ordinal,
                            nullable ? "YES" : "NO", 56};
    };
    return Reply::rows(cols, {row("id", 4, "int identity", 10, 4, 0, 0, QVariant(), 1),
                              row("name", -9, "nvarchar", 50, 100, QVariant(), 1, QVariant(), 2),
                              row("備註", 12, "varchar", 40, 40, QVariant(), 1, "('無')", 3),
                              row("amount", 3, "decimal", 18, 20, 2, 1, "((0))", 4)});
}

// sp_pkeys: TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, COLUMN_NAME, KEY_SEQ, PK_NAME.
Reply pkeysReply(const QString &table = QStringLiteral("T"))
{
    return Reply::rows({tdsColumn("TABLE_QUALIFIER", ColumnType::NVarChar, 128), tdsColumn("TABLE_OWNER", ColumnType::NVarChar, 128),
                        tdsColumn("TABLE_NAME", ColumnType::NVarChar, 128), tdsColumn("COLUMN_NAME", ColumnType::NVarChar, 128),
                        tdsColumn("KEY_SEQ", ColumnType::Int), tdsColumn("PK_NAME", ColumnType::NVarChar, 128)},
                       {{"Sales", "dbo", table, "id", 1, "PK_T"}});
}

// sp_statistics: one row per key column, after the table's own statistics row.
Reply statisticsReply()
{
    QList<Column> cols;
    for (const char *n : {"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME"})
        cols << tdsColumn(n, ColumnType::NVarChar, 128);
    cols << tdsColumn("NON_UNIQUE", ColumnType::Int) << tdsColumn("INDEX_QUALIFIER", ColumnType::NVarChar, 128)
         << tdsColumn("INDEX_NAME", ColumnType::NVarChar, 128) << tdsColumn("TYPE", ColumnType::Int)
         << tdsColumn("SEQ_IN_INDEX", ColumnType::Int) << tdsColumn("COLUMN_NAME", ColumnType::NVarChar, 128)
         << tdsColumn("COLLATION", ColumnType::VarChar, 1) << tdsColumn("CARDINALITY", ColumnType::Int)
         << tdsColumn("PAGES", ColumnType::Int) << tdsColumn("FILTER_CONDITION", ColumnType::VarChar, 128);
    return Reply::rows(cols, {{"Sales", "dbo", "T", QVariant(), QVariant(), QVariant(), 0, QVariant(), QVariant(),
                               QVariant(), 12, 1, QVariant()},
                              {"Sales", "dbo", "T", 1, "T", "IX_T_名稱", 3, 1, "name", "A", 12, 1, QVariant()},
                              {"Sales", "dbo", "T", 1, "T", "IX_T_名稱", 3, 2, "amount", "D", 12, 1, QVariant()},
                              {"Sales", "dbo", "T", 0, "T", "PK_T", 1, 1, "id", "A", 12, 1, QVariant()}});
}

const QDateTime kCreated(QDate(2024, 2, 29), QTime(13, 45, 30, 500));

// "Select * From T": every column type the peer speaks, Chinese text and NULLs.
Reply tableT()
{
    Column id = tdsColumn("id", ColumnType::Int);
    id.nullable = false;
    Column amount = tdsColumn("amount", ColumnType::Decimal);
    amount.precision = 18;
    amount.scale = 2;
    return Reply::rows({id, tdsColumn("name", ColumnType::NVarChar, 50), tdsColumn("備註", ColumnType::VarChar, 40), amount,
                        tdsColumn("rate", ColumnType::Float), tdsColumn("total", ColumnType::BigInt), tdsColumn("active", ColumnType::Bit),
                        tdsColumn("created", ColumnType::DateTime), tdsColumn("photo", ColumnType::VarBinary, 16)},
                       {{1, "王小明", "台北市信義區", "1234.50", 0.125, Q_INT64_C(9007199254740993), true, kCreated,
                         QByteArray::fromHex("00ff10")},
                        {2, "李四", QVariant(), "-0.05", QVariant(), QVariant(), false, QVariant(), QVariant()},
                        {3, QVariant(), "", QVariant(), -1.5, Q_INT64_C(-1), QVariant(), QVariant(), QByteArray()}});
}

} // namespace

class TstSqlServerTds : public QObject {
    Q_OBJECT

    TdsPeer peer;

    // Opens table T for editing: read, keyed by sp_pkeys, every UPDATE answered with
    // `update`; the requests received so far are forgotten.
    void openTForEditing(Connection &c, Dataset &d, const Reply &update)
    {
        peer.onQuery(QStringLiteral("Select * From T"), tableT());
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), update);
        openAsSa(c, peer);
        d.setConnection(&c);
        d.setCommandText(QStringLiteral("Select * From T"));
        d.Open();
        peer.clearReceived();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(testsupport::startWithSaLogin(peer));
    }
    void cleanupTestCase() { peer.stop(); }
    void init()
    {
        peer.clearScript();
        peer.clearReceived();
    }

    void loginSucceeds()
    {
        Connection c;
        QSignalSpy connected(&c, &Connection::AfterConnect);
        openAsSa(c, peer);
        QVERIFY(c.Connected());
        QCOMPARE(connected.count(), 1);
        QCOMPARE(c.DefaultDatabase(), QStringLiteral("Sales"));
        QVERIFY(!c.Version().isEmpty());
        // LOGINACK's program name and version, as the driver reports them.
        QCOMPARE(c.session().serverVersion(), QStringLiteral("Microsoft SQL Server 16.00.1000"));
        // The login itself sends no statements of the layer's own.
        QCOMPARE(requestTexts(peer.receivedStatements()), QStringList());
    }

    void loginFailure_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << "sa" << "wrong";
        QTest::newRow("unknown user") << "會計" << "secret";
    }
    void loginFailure()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        Connection c;
        c.setProvider(QStringLiteral("SQLOLEDB.1"));
        c.setConnectionString(peer.connectionString(QStringLiteral("Sales"), user, password));
        const DatabaseError e = errorOf([&] { c.Open(); });
        QVERIFY2(e.message().contains(QStringLiteral("Login failed for user '%1'.").arg(user)), qPrintable(e.message()));
        QCOMPARE(e.nativeCode(), 18456);
        QVERIFY(!c.Connected());
        QCOMPARE(peer.failedLogins().last(), user);
    }

    void tableNames()
    {
        peer.onProcedure(QStringLiteral("sp_tables"), tablesReply());
        Connection c;
        openAsSa(c, peer);
        QStringList names{QStringLiteral("stale")};
        c.GetTableNames(names);
        QCOMPARE(names, QStringList({"客戶", "T", "v_客戶"}));
        const auto sent = peer.receivedStatements();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].kind, Request::Rpc);
        QCOMPARE(sent[0].procedure, QStringLiteral("sp_tables"));
        QCOMPARE(sent[0].paramNames, QStringList());
    }

    void fieldNames()
    {
        peer.onProcedure(QStringLiteral("sp_columns"), columnsReply());
        Connection c;
        openAsSa(c, peer);
        QStringList names;
        c.GetFieldNames(QStringLiteral("T"), names);
        QCOMPARE(names, QStringList({"id", "name", "備註", "amount"}));
        const auto sent = peer.receivedStatements();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].procedure, QStringLiteral("sp_columns"));
        QCOMPARE(sent[0].paramNames, QStringList({"@table_name", "@ODBCVer"}));
        QCOMPARE(sent[0].param("table_name").toString(), QStringLiteral("T"));
        QCOMPARE(sent[0].param("ODBCVer").toInt(), 3);
    }

    void indexNames()
    {
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        peer.onProcedure(QStringLiteral("sp_statistics"), statisticsReply());
        Connection c;
        openAsSa(c, peer);
        QStringList names;
        c.GetIndexNames(QStringLiteral("T"), names);
        // Unique indexes first, each index once.
        QCOMPARE(names, QStringList({"PK_T", "IX_T_名稱"}));
        const auto sent = peer.receivedStatements();
        QCOMPARE(requestTexts(sent), QStringList({"rpc: sp_pkeys", "rpc: sp_statistics"}));
        QCOMPARE(sent[0].paramNames, QStringList({"@table_name"}));
        QCOMPARE(sent[0].param("table_name").toString(), QStringLiteral("T"));
        QCOMPARE(sent[1].param("table_name").toString(), QStringLiteral("T"));
        QCOMPARE(sent[1].paramNames, QStringList({"@table_name", "@is_unique", "@accuracy"}));
        QCOMPARE(sent[1].param("is_unique").toString(), QStringLiteral("N"));
        QCOMPARE(sent[1].param("accuracy").toString(), QStringLiteral("Q"));
    }

    void schemaRowsets_data()
    {
        QTest::addColumn<QString>("rowset");
        QTest::addColumn<QVariantList>("restrictions");
        QTest::addColumn<QStringList>("calls"); // "proc @name=value ..." in order
        QTest::addColumn<int>("rows");
        const QVariant any;
        QTest::newRow("TABLES, none") << "TABLES" << QVariantList() << QStringList({"sp_tables"}) << 4;
        QTest::newRow("TABLES, name and type")
            << "TABLES" << QVariantList({any, "dbo", "客戶", "TABLE"})
            << QStringList({"sp_tables @table_name=客戶 @table_owner=dbo @table_type='TABLE'"}) << 2;
        QTest::newRow("COLUMNS, catalog and table")
            << "COLUMNS" << QVariantList({"Sales", any, "T"})
            << QStringList({"[Sales]..sp_columns @table_name=T @table_qualifier=Sales @ODBCVer=3"}) << 4;
        QTest::newRow("COLUMNS, pattern characters escaped")
            << "COLUMNS" << QVariantList({any, any, "Order_Lines"})
            << QStringList({"sp_columns @table_name=Order[_]Lines @ODBCVer=3"}) << 4;
        QTest::newRow("INDEXES, table")
            << "INDEXES" << QVariantList({any, any, any, any, "T"})
            << QStringList({"sp_pkeys @table_name=T", "sp_statistics @table_name=T @is_unique=N @accuracy=Q"}) << 3;
        QTest::newRow("PRIMARY_KEYS, table")
            << "PRIMARY_KEYS" << QVariantList({any, any, "T"}) << QStringList({"sp_pkeys @table_name=T"}) << 1;
    }
    void schemaRowsets()
    {
        QFETCH(QString, rowset);
        QFETCH(QVariantList, restrictions);
        QFETCH(QStringList, calls);
        QFETCH(int, rows);
        peer.onProcedure(QStringLiteral("sp_tables"), tablesReply());
        peer.onProcedure(QStringLiteral("sp_columns"), columnsReply());
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        peer.onProcedure(QStringLiteral("sp_statistics"), statisticsReply());
        Connection c;
        openAsSa(c, peer);
        Dataset d;
        const std::vector<QVariant> r(restrictions.begin(), restrictions.end());
        const DatabaseError e = errorOf([&] { c.OpenSchema(rowset, restrictions.isEmpty() ? nullptr : &r, d); });
        QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
        QStringList sent;
        for (const Request &q : peer.receivedStatements()) {
            QString line = q.procedure;
            for (int i = 0; i < q.params.size(); ++i)
                line += QLatin1Char(' ') + q.paramNames[i] + QLatin1Char('=') + q.params[i].toString();
            sent << line;
        }
        QCOMPARE(sent, calls);
        QVERIFY(d.Active());
        QCOMPARE(d.RecordCount(), rows);
    }

    // What SQL Server's own catalog answers become in the OLE DB layouts.
    void schemaRowsetValues()
    {
        peer.onProcedure(QStringLiteral("sp_columns"), columnsReply());
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        peer.onProcedure(QStringLiteral("sp_statistics"), statisticsReply());
        Connection c;
        openAsSa(c, peer);
        Dataset d;
        const std::vector<QVariant> table{QVariant(), QVariant(), QStringLiteral("T")};
        c.OpenSchema(QStringLiteral("COLUMNS"), &table, d);
        QVERIFY(d.Locate(QStringLiteral("COLUMN_NAME"), QStringLiteral("備註"), 0));
        // The stored default loses the one pair of parentheses the server wraps it in.
        QCOMPARE(d.FieldByName(QStringLiteral("COLUMN_DEFAULT"))->AsString(), QStringLiteral("'無'"));
        QCOMPARE(d.FieldByName(QStringLiteral("CHARACTER_MAXIMUM_LENGTH"))->AsInteger(), 40);
        QCOMPARE(d.FieldByName(QStringLiteral("TABLE_CATALOG"))->AsString(), QStringLiteral("Sales"));
        QVERIFY(d.Locate(QStringLiteral("COLUMN_NAME"), QStringLiteral("amount"), 0));
        QCOMPARE(d.FieldByName(QStringLiteral("COLUMN_DEFAULT"))->AsString(), QStringLiteral("(0)"));
        QCOMPARE(d.FieldByName(QStringLiteral("NUMERIC_PRECISION"))->AsInteger(), 18);
        QCOMPARE(d.FieldByName(QStringLiteral("NUMERIC_SCALE"))->AsInteger(), 2);

        const std::vector<QVariant> index{QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("T")};
        c.OpenSchema(QStringLiteral("INDEXES"), &index, d);
        QCOMPARE(d.RecordCount(), 3);
        QCOMPARE(d.FieldByName(QStringLiteral("INDEX_NAME"))->AsString(), QStringLiteral("PK_T"));
        QCOMPARE(d.FieldByName(QStringLiteral("PRIMARY_KEY"))->AsString(), QStringLiteral("True"));
        QCOMPARE(d.FieldByName(QStringLiteral("CLUSTERED"))->AsString(), QStringLiteral("True"));
        d.Last();
        QCOMPARE(d.FieldByName(QStringLiteral("INDEX_NAME"))->AsString(), QStringLiteral("IX_T_名稱"));
        QCOMPARE(d.FieldByName(QStringLiteral("COLUMN_NAME"))->AsString(), QStringLiteral("amount"));
        QCOMPARE(d.FieldByName(QStringLiteral("COLLATION"))->AsInteger(), 2); // descending
        QCOMPARE(d.FieldByName(QStringLiteral("UNIQUE"))->AsString(), QStringLiteral("False"));
    }

    void datasetValues()
    {
        peer.onQuery(QStringLiteral("Select * From T"), tableT());
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        Connection c;
        openAsSa(c, peer);
        Dataset d;
        d.setConnection(&c);
        d.setCommandText(QStringLiteral("Select * From T"));
        const DatabaseError e = errorOf([&] { d.Open(); });
        QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
        QCOMPARE(d.RecordCount(), 3);
        QCOMPARE(d.FieldNames(), QStringList({"id", "name", "備註", "amount", "rate", "total", "active", "created", "photo"}));
        const QList<TFieldType> types{ftInteger, ftWideString, ftString, ftBCD, ftFloat,
                                      ftLargeint, ftBoolean, ftDateTime, ftVarBytes};
        for (int i = 0; i < d.FieldCount(); ++i)
            QCOMPARE(d.Fields(i)->DataType(), types[i]);
        QCOMPARE(d.FieldByName(QStringLiteral("name"))->Size(), 50);
        QCOMPARE(d.FieldByName(QStringLiteral("備註"))->Size(), 40);
        QCOMPARE(d.FieldByName(QStringLiteral("photo"))->Size(), 16);

        auto value = [&](int row, const char *field) { return d.valueAt(row, d.FieldNames().indexOf(QString::fromUtf8(field))); };
        // Row 1: a value of every type, Chinese in NVARCHAR and in a code page 950 VARCHAR.
        QCOMPARE(value(0, "id").toLongLong(), 1);
        QCOMPARE(value(0, "name").toString(), QStringLiteral("王小明"));
        QCOMPARE(value(0, "備註").toString(), QStringLiteral("台北市信義區"));
        QCOMPARE(value(0, "amount").toString(), QStringLiteral("1234.50"));
        QCOMPARE(value(0, "rate").toDouble(), 0.125);
        QCOMPARE(value(0, "total").toLongLong(), Q_INT64_C(9007199254740993));
        QCOMPARE(value(0, "active").toBool(), true);
        QCOMPARE(value(0, "created").toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                 QStringLiteral("2024-02-29 13:45:30.500"));
        QCOMPARE(value(0, "photo").toByteArray(), QByteArray::fromHex("00ff10"));
        // Row 2 (sent as NBCROW): NULLs of every kind.
        QCOMPARE(value(1, "name").toString(), QStringLiteral("李四"));
        QCOMPARE(value(1, "amount").toString(), QStringLiteral("-0.05"));
        QCOMPARE(value(1, "active").toBool(), false);
        for (const char *f : {"備註", "rate", "total", "created", "photo"})
            QVERIFY2(value(1, f).isNull(), f);
        // Row 3: empty text and binary are not NULL.
        QVERIFY(value(2, "name").isNull());
        QVERIFY(!value(2, "備註").isNull());
        QCOMPARE(value(2, "備註").toString(), QString());
        QVERIFY(!value(2, "photo").isNull());
        QCOMPARE(value(2, "total").toLongLong(), -1);
        QVERIFY(value(2, "amount").isNull());

        // Writable: one table, its key read with sp_pkeys.
        QVERIFY2(d.CanModify(), qPrintable(d.ReadOnlyReason()));
        QCOMPARE(requestTexts(peer.receivedStatements()), QStringList({"batch: Select * From T", "rpc: sp_pkeys"}));
        QCOMPARE(peer.receivedStatements()[1].param("table_name").toString(), QStringLiteral("T"));
    }

    void editPosted()
    {
        Connection c;
        Dataset d;
        openTForEditing(c, d, Reply::count(1));
        d.Edit();
        d.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("王大明"));
        d.FieldByName(QStringLiteral("備註"))->Clear();
        const DatabaseError e = errorOf([&] { d.Post(); });
        QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
        QCOMPARE(d.State(), dsBrowse);
        QCOMPARE(d.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("王大明"));
        QVERIFY(d.FieldByName(QStringLiteral("備註"))->IsNull());

        // One parameterised UPDATE identified by the key (plus the changed columns'
        // original values), inside its own transaction.
        const auto sent = peer.receivedStatements();
        QCOMPARE(requestTexts(sent), QStringList({"tran: BEGIN TRANSACTION",
                                           "rpc: UPDATE [T] SET [name] = @P1, [備註] = @P2 WHERE [id] = @P3 AND [name] = @P4 AND [備註] = @P5",
                                           "tran: COMMIT AND BEGIN", "tran: ROLLBACK"}));
        const Request &update = sent[1];
        QCOMPARE(update.procedure, QStringLiteral("sp_prepexec"));
        QCOMPARE(update.parameterDecl, QStringLiteral("@P1 NVARCHAR(3),@P2 NVARCHAR(1),@P3 BIGINT,@P4 NVARCHAR(3),@P5 NVARCHAR(6)"));
        QCOMPARE(update.params.size(), 5);
        QCOMPARE(update.params[0].toString(), QStringLiteral("王大明"));
        QVERIFY(update.params[1].isNull());
        QCOMPARE(update.params[2].toLongLong(), 1);
        QCOMPARE(update.params[3].toString(), QStringLiteral("王小明"));
        QCOMPARE(update.params[4].toString(), QStringLiteral("台北市信義區"));
    }

    // A new row's number comes from the server only when @@IDENTITY is the table's own:
    // after an insert trigger has numbered a row elsewhere, @@IDENTITY names that row's
    // number, and taking it would show (and later change) another row of the table as the
    // new one. The number then stays unknown and nothing is read back by it.
    void appendedIdentity_data()
    {
        QTest::addColumn<qlonglong>("lastIdentity"); // @@IDENTITY
        QTest::addColumn<qlonglong>("tableIdentity"); // IDENT_CURRENT of the table
        QTest::addColumn<QString>("shownId");
        QTest::newRow("the table's own number") << 3LL << 3LL << "3";
        QTest::newRow("a trigger numbered a row elsewhere") << 1LL << 3LL << "";
    }
    void appendedIdentity()
    {
        QFETCH(qlonglong, lastIdentity);
        QFETCH(qlonglong, tableIdentity);
        QFETCH(QString, shownId);
        Column id = tdsColumn("id", ColumnType::Int);
        id.nullable = false;
        id.writable = false;
        id.identity = true;
        const QList<Column> columns{id, tdsColumn("name", ColumnType::NVarChar, 50)};
        peer.onQuery(QStringLiteral("Select * From T"), Reply::rows(columns, {{1, "王小明"}, {2, "李四"}}));
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply());
        peer.onQuery(QRegularExpression(QStringLiteral("^INSERT ")), Reply::count(1));
        peer.onQuery(QRegularExpression(QStringLiteral("@@IDENTITY")), [=](const Request &r) {
            QList<Column> numbers{tdsColumn("last", ColumnType::BigInt)};
            QVariantList values{lastIdentity};
            if (r.text.contains(QLatin1String("IDENT_CURRENT"))) {
                numbers << tdsColumn("current", ColumnType::BigInt);
                values << tableIdentity;
            }
            return Reply::rows(numbers, {values});
        });
        peer.onQuery(QRegularExpression(QStringLiteral("^SELECT \\[id\\]")), [](const Request &r) {
            const QVariant wanted = r.params.value(0);
            return Reply::rows({tdsColumn("id", ColumnType::Int), tdsColumn("name", ColumnType::NVarChar, 50)},
                               wanted.toLongLong() == 1 ? QList<QVariantList>{{1, "王小明"}}
                                                        : QList<QVariantList>{{wanted, "張三"}});
        });
        Connection c;
        openAsSa(c, peer);
        Dataset d;
        d.setConnection(&c);
        d.setCommandText(QStringLiteral("Select * From T"));
        d.Open();
        QVERIFY(d.FieldByName(QStringLiteral("id"))->ReadOnly());
        d.Append();
        d.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("張三"));
        const DatabaseError e = errorOf([&] { d.Post(); });
        QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
        QCOMPARE(d.FieldByName(QStringLiteral("id"))->AsString(), shownId);
        QCOMPARE(d.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("張三"));
        const QStringList sent = requestTexts(peer.receivedStatements());
        QCOMPARE(sent.filter(QRegularExpression(QStringLiteral("WHERE \\[id\\] = @P1$"))).size(), shownId.isEmpty() ? 0 : 1);
    }

    // Each column type travels as a typed parameter of the UPDATE.
    void editParameterTypes_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("declaration"); // of @P1, the new value
        QTest::addColumn<QVariant>("sent");
        const QDateTime when(QDate(2025, 1, 2), QTime(3, 4, 5, 120));
        QTest::newRow("float") << "rate" << QVariant(2.75) << "@P1 FLOAT,@P2 BIGINT,@P3 FLOAT" << QVariant(2.75);
        QTest::newRow("bigint") << "total" << QVariant(Q_INT64_C(-9000000000)) << "@P1 BIGINT,@P2 BIGINT,@P3 BIGINT"
                                << QVariant(Q_INT64_C(-9000000000));
        QTest::newRow("bit") << "active" << QVariant(false) << "@P1 BIT,@P2 BIGINT,@P3 BIT" << QVariant(false);
        // sent as text, converted by the server to the column's own type
        QTest::newRow("datetime") << "created" << QVariant(when) << "@P1 NVARCHAR(23),@P2 BIGINT,@P3 NVARCHAR(23)"
                                  << QVariant(QStringLiteral("2025-01-02T03:04:05.120"));
        QTest::newRow("varbinary") << "photo" << QVariant(QByteArray::fromHex("cafe")) << "VARBINARY"
                                   << QVariant(QByteArray::fromHex("cafe"));
        QTest::newRow("varchar, Chinese") << "備註" << QVariant(QStringLiteral("高雄市"))
                                          << "@P1 NVARCHAR(3),@P2 BIGINT,@P3 NVARCHAR(6)" << QVariant(QStringLiteral("高雄市"));
        QTest::newRow("NULL") << "name" << QVariant() << "@P1 NVARCHAR(1),@P2 BIGINT,@P3 NVARCHAR(3)" << QVariant();
    }
    void editParameterTypes()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, declaration);
        QFETCH(QVariant, sent);
        Connection c;
        Dataset d;
        openTForEditing(c, d, Reply::count(1));
        d.FieldByName(field)->setValue(value);
        const DatabaseError e = errorOf([&] { d.Post(); });
        QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
        const auto update = peer.receivedStatements().value(1);
        QVERIFY2(update.text.startsWith(QStringLiteral("UPDATE [T] SET [%1] = @P1 WHERE [id] = @P2").arg(field)),
                 qPrintable(update.describe()));
        if (declaration == QLatin1String("VARBINARY"))
            QVERIFY2(update.parameterDecl.startsWith(QStringLiteral("@P1 VARBINARY(2),@P2 BIGINT")), qPrintable(update.describe()));
        else
            QCOMPARE(update.parameterDecl, declaration);
        const QVariant got = update.params.value(0);
        QCOMPARE(got.isNull(), sent.isNull());
        if (sent.typeId() == QMetaType::QDateTime)
            QCOMPARE(got.toDateTime().toString(Qt::ISODateWithMs), sent.toDateTime().toString(Qt::ISODateWithMs));
        else if (!sent.isNull())
            QCOMPARE(got, sent);
        QCOMPARE(update.params.value(1).toLongLong(), 1);
    }

    // money travels as ten-thousandths and is posted as exact text: amounts a double
    // cannot carry come back to the server as they were. A server that stores a value
    // other than the one sent (read back by the key) fails the post, rolled back.
    void moneyStaysExact_data()
    {
        QTest::addColumn<QString>("storedBack");
        QTest::addColumn<QString>("error");
        QTest::newRow("stored as sent") << "12345678901234.5678" << QString();
        QTest::newRow("rounded by the server")
            << "12345678901234.57"
            << QStringLiteral("資料庫無法精確存放欄位「price」的值 12345678901234.5678（會存成 12345678901234.57），未寫入任何變更。");
    }
    void moneyStaysExact()
    {
        QFETCH(QString, storedBack);
        QFETCH(QString, error);
        Column id = tdsColumn("id", ColumnType::Int);
        id.nullable = false;
        peer.onQuery(QStringLiteral("Select * From M"),
                     Reply::rows({id, tdsColumn("price", ColumnType::Money)}, {{1, "922337203685477.5807"}, {2, "-0.0001"}}));
        peer.onProcedure(QStringLiteral("sp_pkeys"), pkeysReply(QStringLiteral("M")));
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), Reply::count(1));
        peer.onQuery(QRegularExpression(QStringLiteral("^SELECT \\[price\\] FROM \\[M\\]")),
                     Reply::rows({tdsColumn("price", ColumnType::Money)}, {{storedBack}}));
        Connection c;
        openAsSa(c, peer);
        Dataset d;
        d.setConnection(&c);
        d.setCommandText(QStringLiteral("Select * From M"));
        d.Open();
        Field *price = d.FieldByName(QStringLiteral("price"));
        QCOMPARE(price->DataType(), ftCurrency);
        QCOMPARE(d.displayTextAt(0, 1), QStringLiteral("922337203685477.5807"));
        QCOMPARE(d.displayTextAt(1, 1), QStringLiteral("-0.0001"));
        peer.clearReceived();
        price->setAsString(QStringLiteral("12345678901234.5678"));
        const DatabaseError e = errorOf([&] { d.Post(); });
        const auto sent = peer.receivedStatements();
        const QString update = QStringLiteral("rpc: UPDATE [M] SET [price] = @P1 WHERE [id] = @P2 AND [price] = @P3");
        const QString reread = QStringLiteral("rpc: SELECT [price] FROM [M] WHERE [id] = @P1");
        QCOMPARE(sent.value(1).params, QVariantList({"12345678901234.5678", 1, "922337203685477.5807"}));
        if (error.isEmpty()) {
            QVERIFY2(e.message() == QLatin1String("<no error>"), qPrintable(e.message()));
            QCOMPARE(requestTexts(sent), QStringList({"tran: BEGIN TRANSACTION", update, reread, "tran: COMMIT AND BEGIN",
                                               "tran: ROLLBACK"}));
            QCOMPARE(d.State(), dsBrowse);
        } else {
            QCOMPARE(e.message(), error);
            QCOMPARE(requestTexts(sent), QStringList({"tran: BEGIN TRANSACTION", update, reread, "tran: ROLLBACK AND BEGIN",
                                               "tran: ROLLBACK"}));
            QCOMPARE(d.State(), dsEdit);
        }
        QCOMPARE(price->AsString(), QStringLiteral("12345678901234.5678"));
    }

    void serverErrorDuringPostKeepsEditing()
    {
        const QString text = QStringLiteral("The UPDATE statement conflicted with the CHECK constraint \"CK_T_amount\". "
                                            "The conflict occurred in database \"Sales\", table \"dbo.T\", column 'amount'.");
        Connection c;
        Dataset d;
        openTForEditing(c, d, Reply::error(547, 16, 0, text));
        d.Edit();
        d.FieldByName(QStringLiteral("amount"))->setAsString(QStringLiteral("-1"));
        const DatabaseError e = errorOf([&] { d.Post(); });
        QVERIFY2(e.message().contains(text), qPrintable(e.message()));
        QCOMPARE(e.nativeCode(), 547);
        QCOMPARE(d.State(), dsEdit);
        QCOMPARE(d.FieldByName(QStringLiteral("amount"))->AsString(), QStringLiteral("-1"));
        // The transaction is rolled back (the driver then leaves manual-commit mode,
        // which rolls back the empty transaction it had begun).
        const auto sent = peer.receivedStatements();
        QCOMPARE(requestTexts(sent), QStringList({"tran: BEGIN TRANSACTION",
                                           "rpc: UPDATE [T] SET [amount] = @P1 WHERE [id] = @P2 AND [amount] = @P3",
                                           "tran: ROLLBACK AND BEGIN", "tran: ROLLBACK"}));
        QCOMPARE(sent[1].params, QVariantList({"-1", 1, "1234.50"}));
        // The row can be corrected and posted afterwards.
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), Reply::count(1));
        d.FieldByName(QStringLiteral("amount"))->setAsString(QStringLiteral("10"));
        const DatabaseError again = errorOf([&] { d.Post(); });
        QVERIFY2(again.message() == QLatin1String("<no error>"), qPrintable(again.message()));
        QCOMPARE(d.State(), dsBrowse);
    }

    void commandTimeoutCancels()
    {
        peer.onQuery(QStringLiteral("WAITFOR DELAY '00:10:00'"), Reply::hang());
        peer.onQuery(QStringLiteral("SELECT 1"), Reply::rows({tdsColumn("n", ColumnType::Int)}, {{1}}));
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.setCommandTimeout(1);
        q.SQL() << QStringLiteral("WAITFOR DELAY '00:10:00'");
        const DatabaseError e = errorOf([&] { q.ExecSQL(); });
        QVERIFY2(e.message().startsWith(QStringLiteral("查詢逾時\n")) && e.message().contains(QStringLiteral("Timeout expired")),
                 qPrintable(e.message()));
        QCOMPARE(e.sqlState(), QStringLiteral("HYT00"));
        QTRY_COMPARE(peer.attentions(), 1);
        // The connection stays usable.
        CommandQuery next;
        next.setConnection(&c);
        next.SQL() << QStringLiteral("SELECT 1");
        next.Open();
        QCOMPARE(next.RecordCount(), 1);
    }

    // Names go to SQL Server in brackets, values as Unicode literals; a command built from
    // a name that holds a second statement never leaves the client.
    void namesQuotedAndBuiltCommandsKeptToOneStatement()
    {
        Connection c;
        openAsSa(c, peer);
        const ProviderSession &s = c.session();
        QCOMPARE(s.quoteIdentifier(QStringLiteral("a]b")), QStringLiteral("[a]]b]"));
        QCOMPARE(s.quoteIdentifier(QStringLiteral("t;DELETE FROM victim")), QStringLiteral("[t;DELETE FROM victim]"));
        QCOMPARE(s.quoteIdentifier(QStringLiteral("[x]")), QStringLiteral("[[x]]]"));
        QCOMPARE(s.quoteString(QStringLiteral("it's 客戶")), QStringLiteral("N'it''s 客戶'"));

        peer.onQuery(QStringLiteral("Select * From [t;DELETE FROM victim]"), tableT());
        Dataset d;
        d.setConnection(&c);
        d.setCommandText(QStringLiteral("Select * From [t;DELETE FROM victim]"), StatementScope::OneStatement);
        d.Open();
        QCOMPARE(d.RecordCount(), 3);
        d.Close();
        peer.clearReceived();
        const QString escaped = QStringLiteral("Select * From [t];DELETE FROM victim");
        d.setCommandText(escaped, StatementScope::OneStatement);
        QCOMPARE(errorOf([&] { d.Open(); }).message(), QStringLiteral("命令只能含一個 SQL 陳述式：") + escaped);
        Command cmd;
        cmd.setConnection(&c);
        cmd.setCommandText(QStringLiteral("DBCC DBReindex ('[dbo].[t]','', 0) WITH NO_INFOMSGS; DELETE FROM victim"),
                           StatementScope::OneStatement);
        QCOMPARE(errorOf([&] { cmd.Execute(); }).message(),
                 QStringLiteral("命令只能含一個 SQL 陳述式：") + cmd.CommandText());
        QCOMPARE(requestTexts(peer.receivedStatements()), QStringList());
    }

    void useBatchChangesDatabase()
    {
        peer.onQuery(QStringLiteral("SELECT name FROM sys.tables"),
                     Reply::rows({tdsColumn("name", ColumnType::NVarChar, 128)}, {{"歸檔"}}));
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("Use [Archive 2023]");
        q.ExecSQL();
        QCOMPARE(c.DefaultDatabase(), QStringLiteral("Archive 2023"));
        CommandQuery next;
        next.setConnection(&c);
        next.SQL() << QStringLiteral("SELECT name FROM sys.tables");
        next.Open();
        const auto sent = peer.receivedStatements();
        QCOMPARE(requestTexts(sent), QStringList({"batch: Use [Archive 2023]", "batch: SELECT name FROM sys.tables"}));
        QCOMPARE(sent[0].database, QStringLiteral("Sales"));
        QCOMPARE(sent[1].database, QStringLiteral("Archive 2023"));
    }

    void multiLineBatch_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::newRow("Open") << true;
        QTest::newRow("ExecSQL") << false;
    }
    void multiLineBatch()
    {
        QFETCH(bool, rows);
        const QString batch = QStringLiteral("SET NOCOUNT ON\r\nSELECT name, dbid\r\nFROM master..sysdatabases\r\nORDER BY name");
        peer.onQuery(batch, Reply::rows({tdsColumn("name", ColumnType::NVarChar, 128), tdsColumn("dbid", ColumnType::Int)},
                                        {{"master", 1}, {"銷售", 5}}));
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("SET NOCOUNT ON") << QStringLiteral("SELECT name, dbid")
                << QStringLiteral("FROM master..sysdatabases") << QStringLiteral("ORDER BY name");
        if (rows) {
            q.Open();
            QCOMPARE(q.RecordCount(), 2);
            q.Last();
            QCOMPARE(q.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("銷售"));
        } else {
            q.ExecSQL();
        }
        const auto sent = peer.receivedStatements();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].kind, Request::Batch);
        QCOMPARE(sent[0].text, batch);
    }

    // Several results in one answer: rows come from the first result set, the count
    // from the results without columns.
    void severalResults()
    {
        Reply reply = Reply::rows({tdsColumn("spid", ColumnType::Int), tdsColumn("loginame", ColumnType::NVarChar, 128)},
                                  {{51, "sa"}, {52, "會計"}});
        reply.resultSets.append(tds::ResultSet{{tdsColumn("n", ColumnType::BigInt)}, {{Q_INT64_C(7)}}});
        reply.rowCount = 3;
        peer.onQuery(QStringLiteral("EXEC sp_who"), reply);
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("EXEC sp_who");
        q.Open();
        QCOMPARE(q.RecordCount(), 2);
        QCOMPARE(q.FieldNames(), QStringList({"spid", "loginame"}));
        q.Last();
        QCOMPARE(q.FieldByName(QStringLiteral("loginame"))->AsString(), QStringLiteral("會計"));
        QCOMPARE(q.ExecSQL(), 3);
    }

    // A result larger than many packets, fetched in blocks by the layer.
    void largeResult()
    {
        QList<QVariantList> rows;
        for (int i = 0; i < 3000; ++i)
            rows.append({i, QStringLiteral("第%1列資料").arg(i), i % 7 == 0 ? QVariant() : QVariant(i * 0.5)});
        peer.onQuery(QStringLiteral("SELECT * FROM 大表"),
                     Reply::rows({tdsColumn("n", ColumnType::Int), tdsColumn("text", ColumnType::NVarChar, 100),
                                  tdsColumn("half", ColumnType::Float)},
                                 rows));
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("SELECT * FROM 大表");
        q.Open();
        QCOMPARE(q.RecordCount(), 3000);
        q.Last();
        QCOMPARE(q.FieldByName(QStringLiteral("text"))->AsString(), QStringLiteral("第2999列資料"));
        QCOMPARE(q.valueAt(2995, 2).toDouble(), 1497.5);
        QVERIFY(q.valueAt(2996, 2).isNull()); // 2996 = 7 * 428
    }

    void serverErrorText_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("severity");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid object") << 208 << 16 << "Invalid object name 'Nope'.";
        QTest::newRow("Chinese text") << 50001 << 16 << "資料庫正在使用中，無法執行。";
    }
    void serverErrorText()
    {
        QFETCH(int, number);
        QFETCH(int, severity);
        QFETCH(QString, message);
        peer.onQuery(QStringLiteral("DBCC SHRINKDATABASE (Nope)"), Reply::error(number, severity, 1, message));
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("DBCC SHRINKDATABASE (Nope)");
        const DatabaseError e = errorOf([&] { q.ExecSQL(); });
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QCOMPARE(e.nativeCode(), number);
    }

    void unscriptedRequestFails()
    {
        Connection c;
        openAsSa(c, peer);
        CommandQuery q;
        q.setConnection(&c);
        q.SQL() << QStringLiteral("SELECT * FROM nowhere");
        const DatabaseError e = errorOf([&] { q.Open(); });
        QVERIFY2(e.message().contains(QStringLiteral("no answer for batch SELECT * FROM nowhere")), qPrintable(e.message()));
    }
};

QTEST_GUILESS_MAIN(TstSqlServerTds)
#include "tst_sqlserver_tds.moc"
