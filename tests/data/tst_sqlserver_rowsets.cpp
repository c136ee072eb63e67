// The "SQLOLEDB.1" schema rowsets beyond tables, columns and indexes, end to end through
// unixODBC + FreeTDS against the scripted TDS peer: the exact catalog procedure or
// INFORMATION_SCHEMA query each rowset sends for its restrictions, and the OLE DB column
// layout built from the server's answer.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/DatabaseError.h"
#include "data/core/Field.h"
#include "data/core/SchemaLayouts.h"
#include "support/ResultHelpers.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QtTest>

using namespace data;
using namespace tds;
using testsupport::errorOf;
using testsupport::openAsSa;

namespace {

// Catalog columns: NVARCHAR(128) unless told otherwise.
Column col(const char *name, ColumnType type = ColumnType::NVarChar, int size = 128)
{
    return testsupport::tdsColumn(QString::fromUtf8(name), type, size);
}

QList<Column> cols(std::initializer_list<const char *> names, ColumnType type = ColumnType::NVarChar)
{
    QList<Column> out;
    for (const char *n : names)
        out << col(n, type);
    return out;
}

const QVariant null;

// sp_tables with a 'TABLE' type: the tables a per-table catalog call walks.
Reply tablesReply()
{
    return Reply::rows(cols({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}),
                       {{"Sales", "dbo", "訂單", "TABLE", null}});
}

// sp_tables @table_qualifier='%': one row per database.
Reply catalogsReply()
{
    return Reply::rows(cols({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}),
                       {{"master", null, null, null, null}, {"Sales", null, null, null, "銷售"}});
}

// sp_stored_procedures: ..., NUM_INPUT_PARAMS, NUM_OUTPUT_PARAMS, NUM_RESULT_SETS, REMARKS, PROCEDURE_TYPE.
Reply proceduresReply()
{
    QList<Column> c = cols({"PROCEDURE_QUALIFIER", "PROCEDURE_OWNER", "PROCEDURE_NAME"});
    c << cols({"NUM_INPUT_PARAMS", "NUM_OUTPUT_PARAMS", "NUM_RESULT_SETS"}, ColumnType::Int)
      << col("REMARKS", ColumnType::VarChar, 254) << col("PROCEDURE_TYPE", ColumnType::Int);
    // PROCEDURE_TYPE in ODBC terms: SQL_PT_PROCEDURE 1, SQL_PT_FUNCTION 2.
    return Reply::rows(c, {{"Sales", "dbo", "usp_訂單;1", -1, -1, -1, "下單", 1},
                           {"Sales", "dbo", "fn_稅;0", -1, -1, -1, null, 2}});
}

// sp_sproc_columns with @ODBCVer=3: the 19 ODBC columns and SS_DATA_TYPE.
Reply procedureColumnsReply()
{
    QList<Column> c = cols({"PROCEDURE_QUALIFIER", "PROCEDURE_OWNER", "PROCEDURE_NAME", "COLUMN_NAME"});
    c << col("COLUMN_TYPE", ColumnType::Int) << col("DATA_TYPE", ColumnType::Int) << col("TYPE_NAME")
      << cols({"PRECISION", "LENGTH", "SCALE", "RADIX", "NULLABLE"}, ColumnType::Int)
      << col("REMARKS", ColumnType::VarChar, 254) << col("COLUMN_DEF", ColumnType::NVarChar, 4000)
      << cols({"SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH", "ORDINAL_POSITION"}, ColumnType::Int)
      << col("IS_NULLABLE", ColumnType::VarChar, 254) << col("SS_DATA_TYPE", ColumnType::Int);
    return Reply::rows(c, {{"Sales", "dbo", "usp_訂單;1", "@RETURN_VALUE", 5, 4, "int", 10, 4, 0, 10, 0, null, null,
                            4, null, null, 0, "NO", 56},
                           {"Sales", "dbo", "usp_訂單;1", "@客戶", 1, -9, "nvarchar", 20, 40, null, null, 1, null,
                            "N'無'", -9, null, 40, 1, "YES", 39},
                           {"Sales", "dbo", "usp_訂單;1", "@amount", 2, 3, "decimal", 18, 20, 2, 10, 1, null, null,
                            3, null, null, 2, "YES", 106}});
}

// sp_table_privileges: ..., GRANTOR, GRANTEE, PRIVILEGE, IS_GRANTABLE.
Reply tablePrivilegesReply()
{
    return Reply::rows(cols({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "GRANTOR", "GRANTEE", "PRIVILEGE",
                             "IS_GRANTABLE"}),
                       {{"Sales", "dbo", "訂單", "dbo", "會計", "SELECT", "NO"},
                        {"Sales", "dbo", "訂單", "dbo", "dbo", "INSERT", "YES"}});
}

// sp_column_privileges: ..., COLUMN_NAME, GRANTOR, GRANTEE, PRIVILEGE, IS_GRANTABLE.
Reply columnPrivilegesReply()
{
    return Reply::rows(cols({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME", "GRANTOR", "GRANTEE",
                             "PRIVILEGE", "IS_GRANTABLE"}),
                       {{"Sales", "dbo", "訂單", "金額", "dbo", "會計", "UPDATE", "YES"}});
}

// sp_datatype_info with @ODBCVer=3: the 19 ODBC columns and USERTYPE.
Reply typesReply()
{
    QList<Column> c;
    c << col("TYPE_NAME") << col("DATA_TYPE", ColumnType::Int) << col("PRECISION", ColumnType::Int)
      << cols({"LITERAL_PREFIX", "LITERAL_SUFFIX", "CREATE_PARAMS"}, ColumnType::VarChar)
      << cols({"NULLABLE", "CASE_SENSITIVE", "SEARCHABLE", "UNSIGNED_ATTRIBUTE", "MONEY", "AUTO_INCREMENT"},
              ColumnType::Int)
      << col("LOCAL_TYPE_NAME")
      << cols({"MINIMUM_SCALE", "MAXIMUM_SCALE", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "NUM_PREC_RADIX",
               "INTERVAL_PRECISION", "USERTYPE"},
              ColumnType::Int);
    return Reply::rows(c, {{"int", 4, 10, null, null, null, 1, 0, 2, 0, 0, 0, "int", 0, 0, 4, null, 10, null, 7},
                           {"nvarchar", -9, 4000, "N'", "'", "max length", 1, 0, 3, null, 0, null, "nvarchar", null,
                            null, -9, null, null, null, 0},
                           {"decimal", 3, 38, null, null, "precision,scale", 1, 0, 2, 0, 0, 0, "decimal", 0, 38, 3,
                            null, 10, null, 24}});
}

// sp_statistics: the table's own statistics row carries CARDINALITY.
Reply statisticsReply()
{
    QList<Column> c = cols({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME"});
    c << col("NON_UNIQUE", ColumnType::Int) << col("INDEX_QUALIFIER") << col("INDEX_NAME")
      << cols({"TYPE", "SEQ_IN_INDEX"}, ColumnType::Int) << col("COLUMN_NAME") << col("COLLATION", ColumnType::VarChar, 1)
      << cols({"CARDINALITY", "PAGES"}, ColumnType::Int) << col("FILTER_CONDITION", ColumnType::VarChar);
    return Reply::rows(c, {{"Sales", "dbo", "訂單", null, null, null, 0, null, null, null, 42, 3, null},
                           {"Sales", "dbo", "訂單", 0, "訂單", "PK_訂單", 1, 1, "id", "A", 42, 3, null}});
}

// One line per request: "proc @name=value ..." for RPCs, the statement and its
// parameter values for parameterised queries.
QStringList describe(const QList<Request> &requests)
{
    QStringList out;
    for (const Request &q : requests) {
        QString line = q.kind == Request::Rpc ? q.procedure : QStringLiteral("batch");
        if (q.procedure.compare(QLatin1String("sp_executesql"), Qt::CaseInsensitive) == 0 ||
            q.procedure.compare(QLatin1String("sp_prepexec"), Qt::CaseInsensitive) == 0 || q.kind == Request::Batch)
            line += QStringLiteral(": ") + q.text;
        for (int i = 0; i < q.params.size(); ++i)
            line += QLatin1Char(' ') + q.paramNames.value(i) + QLatin1Char('=') +
                    (q.params[i].isValid() ? q.params[i].toString() : QStringLiteral("NULL"));
        out << line;
    }
    return out;
}

QStringList fieldNames(const Dataset &d)
{
    QStringList out;
    for (int i = 0; i < d.FieldCount(); ++i)
        out << d.Fields(i)->FieldName();
    return out;
}

QStringList layoutNames(const QString &rowset)
{
    QStringList out;
    if (const SchemaLayout *layout = findSchemaLayout(rowset))
        for (const ColumnInfo &c : layout->columns)
            out << c.name;
    return out;
}

} // namespace

class TstSqlServerRowsets : public QObject {
    Q_OBJECT

    TdsPeer peer;
    std::unique_ptr<Connection> conn; // outlives the test's datasets, which point at it

    void scriptCatalog()
    {
        peer.onProcedure(QStringLiteral("sp_tables"), tablesReply());
        peer.onProcedure(QStringLiteral("sp_stored_procedures"), proceduresReply());
        peer.onProcedure(QStringLiteral("sp_sproc_columns"), procedureColumnsReply());
        peer.onProcedure(QStringLiteral("sp_table_privileges"), tablePrivilegesReply());
        peer.onProcedure(QStringLiteral("sp_column_privileges"), columnPrivilegesReply());
        peer.onProcedure(QStringLiteral("sp_datatype_info"), typesReply());
        peer.onProcedure(QStringLiteral("sp_statistics"), statisticsReply());
    }

    void scriptInformationSchema()
    {
        const auto view = [](const char *name) {
            return QRegularExpression(QStringLiteral("FROM INFORMATION_SCHEMA\\.%1\\b").arg(QLatin1String(name)));
        };
        peer.onQuery(view("SCHEMATA"),
                     Reply::rows(cols({"CATALOG_NAME", "SCHEMA_NAME", "SCHEMA_OWNER", "DEFAULT_CHARACTER_SET_CATALOG",
                                       "DEFAULT_CHARACTER_SET_SCHEMA", "DEFAULT_CHARACTER_SET_NAME"}),
                                 {{"Sales", "a'b", "dbo", null, null, "cp950"}}));
        peer.onQuery(view("TABLE_CONSTRAINTS"),
                     Reply::rows(cols({"CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "TABLE_CATALOG",
                                       "TABLE_SCHEMA", "TABLE_NAME", "CONSTRAINT_TYPE", "IS_DEFERRABLE",
                                       "INITIALLY_DEFERRED"}, ColumnType::VarChar),
                                 {{"Sales", "dbo", "PK_訂單", "Sales", "dbo", "訂單", "PRIMARY KEY", "NO", "NO"}}));
        QList<Column> keyColumns = cols({"CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "TABLE_CATALOG",
                                         "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"});
        keyColumns << col("ORDINAL_POSITION", ColumnType::Int);
        peer.onQuery(view("KEY_COLUMN_USAGE"),
                     Reply::rows(keyColumns, {{"Sales", "dbo", "PK_a'b", "Sales", "dbo", "訂單", "id", 1}}));
        peer.onQuery(view("CHECK_CONSTRAINTS"),
                     Reply::rows(cols({"CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "CHECK_CLAUSE"}),
                                 {{"Sales", "dbo", "CK_金額", "([金額]>=(0))"}}));
        QList<Column> viewColumns = cols({"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME"});
        viewColumns << col("VIEW_DEFINITION", ColumnType::NVarChar, 4000) << cols({"CHECK_OPTION", "IS_UPDATABLE"}, ColumnType::VarChar);
        peer.onQuery(view("VIEWS"),
                     Reply::rows(viewColumns, {{"Sales", "dbo", "v_訂單", "CREATE VIEW v_訂單 AS SELECT 1", "CASCADE", "NO"}}));
    }

    // Opens the rowset on the test's connection; returns what reached the server.
    QStringList openRowset(const QString &rowset, const QVariantList &restrictions, Dataset &d, QString *error = nullptr)
    {
        if (!conn) {
            conn = std::make_unique<Connection>();
            openAsSa(*conn, peer);
        }
        peer.clearReceived();
        const std::vector<QVariant> r(restrictions.begin(), restrictions.end());
        const DatabaseError e = errorOf([&] { conn->OpenSchema(rowset, restrictions.isEmpty() ? nullptr : &r, d); });
        if (error)
            *error = e.message();
        else if (e.message() != QLatin1String("<no error>"))
            qWarning("%s", qPrintable(e.message()));
        return describe(peer.receivedStatements());
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
    void cleanup() { conn.reset(); }

    // What each rowset sends for its restrictions (pattern characters escaped the
    // SQL Server way), and that the answer comes back in the OLE DB layout.
    void catalogRowsets_data()
    {
        QTest::addColumn<QString>("rowset");
        QTest::addColumn<QVariantList>("restrictions");
        QTest::addColumn<QStringList>("calls"); // "proc @name=value ..." in order
        QTest::addColumn<int>("rows");
        const QVariant any;
        QTest::newRow("PROCEDURES, none")
            << "PROCEDURES" << QVariantList() << QStringList({"..sp_stored_procedures"}) << 2;
        QTest::newRow("PROCEDURES, schema and name")
            << "PROCEDURES" << QVariantList({any, "dbo", "usp_訂單"})
            << QStringList({"..sp_stored_procedures @sp_name=usp[_]訂單 @sp_owner=dbo"}) << 2;
        QTest::newRow("PROCEDURES, catalog")
            << "PROCEDURES" << QVariantList({"Sales"})
            << QStringList({"[Sales]..sp_stored_procedures @sp_qualifier=Sales"}) << 2;
        QTest::newRow("PROCEDURES, type keeps functions")
            << "PROCEDURES" << QVariantList({any, any, any, 3}) << QStringList({"..sp_stored_procedures"}) << 1;
        QTest::newRow("PROCEDURE_PARAMETERS, procedure")
            << "PROCEDURE_PARAMETERS" << QVariantList({any, any, "usp_訂單"})
            << QStringList({"sp_sproc_columns @procedure_name=usp[_]訂單 @ODBCVer=3"}) << 3;
        QTest::newRow("PROCEDURE_PARAMETERS, catalog and parameter")
            << "PROCEDURE_PARAMETERS" << QVariantList({"Sales", any, "usp_訂單", "@amount"})
            << QStringList({"sp_sproc_columns @procedure_qualifier=Sales @procedure_name=usp[_]訂單 "
                            "@column_name=@amount @ODBCVer=3"})
            << 3;
        QTest::newRow("TABLE_PRIVILEGES, none")
            << "TABLE_PRIVILEGES" << QVariantList() << QStringList({"sp_table_privileges @table_name=%"}) << 2;
        QTest::newRow("TABLE_PRIVILEGES, table and grantee")
            << "TABLE_PRIVILEGES" << QVariantList({any, "dbo", "訂單", any, "會計"})
            << QStringList({"sp_table_privileges @table_owner=dbo @table_name=訂單"}) << 1;
        QTest::newRow("COLUMN_PRIVILEGES, table and column")
            << "COLUMN_PRIVILEGES" << QVariantList({any, any, "訂單", "金額"})
            << QStringList({"sp_tables @table_name=訂單 @table_type='TABLE'",
                            "sp_column_privileges @table_qualifier=Sales @table_owner=dbo @table_name=訂單 "
                            "@column_name=金額"})
            << 1;
        QTest::newRow("COLUMN_PRIVILEGES, grantee filtered here")
            << "COLUMN_PRIVILEGES" << QVariantList({any, any, "訂單", any, any, "nobody"})
            << QStringList({"sp_tables @table_name=訂單 @table_type='TABLE'",
                            "sp_column_privileges @table_qualifier=Sales @table_owner=dbo @table_name=訂單"})
            << 0;
        QTest::newRow("STATISTICS, table")
            << "STATISTICS" << QVariantList({any, any, "訂單"})
            << QStringList({"sp_tables @table_name=訂單 @table_type='TABLE'",
                            "sp_statistics @table_qualifier=Sales @table_owner=dbo @table_name=訂單 @is_unique=N "
                            "@accuracy=E"})
            << 1;
        QTest::newRow("CATALOGS, none")
            << "CATALOGS" << QVariantList()
            << QStringList({"sp_tables @table_name= @table_owner= @table_qualifier=%"}) << 2;
        QTest::newRow("CATALOGS, name without case")
            << "CATALOGS" << QVariantList({"sales"})
            << QStringList({"sp_tables @table_name= @table_owner= @table_qualifier=%"}) << 1;
    }
    void catalogRowsets()
    {
        QFETCH(QString, rowset);
        QFETCH(QVariantList, restrictions);
        QFETCH(QStringList, calls);
        QFETCH(int, rows);
        scriptCatalog();
        if (rowset == QLatin1String("CATALOGS"))
            peer.onProcedure(QStringLiteral("sp_tables"), catalogsReply());
        Dataset d;
        QString error;
        const QStringList sent = openRowset(rowset, restrictions, d, &error);
        QCOMPARE(error, QStringLiteral("<no error>"));
        QCOMPARE(sent, calls);
        QVERIFY(d.Active());
        QCOMPARE(fieldNames(d), layoutNames(rowset));
        QCOMPARE(d.RecordCount(), rows);
    }

    // Every catalog call goes to the server: an unscripted peer's error reaches the caller.
    void unscriptedCatalogCallFails_data()
    {
        QTest::addColumn<QString>("rowset");
        QTest::addColumn<QString>("request");
        QTest::newRow("PROCEDURES") << "PROCEDURES" << "rpc ..sp_stored_procedures";
        QTest::newRow("PROCEDURE_PARAMETERS") << "PROCEDURE_PARAMETERS" << "rpc sp_sproc_columns";
        QTest::newRow("TABLE_PRIVILEGES") << "TABLE_PRIVILEGES" << "rpc sp_table_privileges";
        QTest::newRow("COLUMN_PRIVILEGES") << "COLUMN_PRIVILEGES" << "rpc sp_tables";
        QTest::newRow("STATISTICS") << "STATISTICS" << "rpc sp_tables";
        QTest::newRow("CATALOGS") << "CATALOGS" << "rpc sp_tables";
    }
    void unscriptedCatalogCallFails()
    {
        QFETCH(QString, rowset);
        QFETCH(QString, request);
        Dataset d;
        QString error;
        openRowset(rowset, {}, d, &error);
        QVERIFY2(error.contains(QStringLiteral("TdsPeer has no answer for ") + request), qPrintable(error));
        QVERIFY(!d.Active());
    }

    // The ODBC answers' values in the OLE DB columns.
    void catalogValues()
    {
        scriptCatalog();
        Dataset d;
        openRowset(QStringLiteral("PROCEDURES"), {}, d);
        QCOMPARE(d.RecordCount(), 2);
        QCOMPARE(d.FieldByName(QStringLiteral("PROCEDURE_CATALOG"))->AsString(), QStringLiteral("Sales"));
        QCOMPARE(d.FieldByName(QStringLiteral("PROCEDURE_NAME"))->AsString(), QStringLiteral("usp_訂單;1"));
        QCOMPARE(d.FieldByName(QStringLiteral("PROCEDURE_TYPE"))->AsInteger(), 2); // DB_PT_PROCEDURE
        QCOMPARE(d.FieldByName(QStringLiteral("DESCRIPTION"))->AsString(), QStringLiteral("下單"));
        d.Next();
        QCOMPARE(d.FieldByName(QStringLiteral("PROCEDURE_TYPE"))->AsInteger(), 3); // DB_PT_FUNCTION
        QVERIFY(d.FieldByName(QStringLiteral("DESCRIPTION"))->IsNull());

        openRowset(QStringLiteral("PROCEDURE_PARAMETERS"), {QVariant(), QVariant(), QStringLiteral("usp_訂單")}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_NAME"))->AsString(), QStringLiteral("@RETURN_VALUE"));
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_TYPE"))->AsInteger(), 4); // DBPARAMTYPE_RETURNVALUE
        QCOMPARE(d.FieldByName(QStringLiteral("DATA_TYPE"))->AsInteger(), int(DBTYPE_I4));
        QCOMPARE(d.FieldByName(QStringLiteral("IS_NULLABLE"))->AsString(), QStringLiteral("False"));
        d.Next();
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_NAME"))->AsString(), QStringLiteral("@客戶"));
        QCOMPARE(d.FieldByName(QStringLiteral("ORDINAL_POSITION"))->AsInteger(), 1);
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_TYPE"))->AsInteger(), 1); // DBPARAMTYPE_INPUT
        QCOMPARE(d.FieldByName(QStringLiteral("DATA_TYPE"))->AsInteger(), int(DBTYPE_WSTR));
        QCOMPARE(d.FieldByName(QStringLiteral("CHARACTER_MAXIMUM_LENGTH"))->AsInteger(), 20);
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_HASDEFAULT"))->AsString(), QStringLiteral("True"));
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_DEFAULT"))->AsString(), QStringLiteral("N'無'"));
        d.Next();
        QCOMPARE(d.FieldByName(QStringLiteral("PARAMETER_TYPE"))->AsInteger(), 2); // DBPARAMTYPE_INPUTOUTPUT
        QCOMPARE(d.FieldByName(QStringLiteral("NUMERIC_PRECISION"))->AsInteger(), 18);
        QCOMPARE(d.FieldByName(QStringLiteral("NUMERIC_SCALE"))->AsInteger(), 2);
        QVERIFY(d.FieldByName(QStringLiteral("CHARACTER_MAXIMUM_LENGTH"))->IsNull());

        openRowset(QStringLiteral("TABLE_PRIVILEGES"), {}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("GRANTEE"))->AsString(), QStringLiteral("會計"));
        QCOMPARE(d.FieldByName(QStringLiteral("PRIVILEGE_TYPE"))->AsString(), QStringLiteral("SELECT"));
        QCOMPARE(d.FieldByName(QStringLiteral("IS_GRANTABLE"))->AsString(), QStringLiteral("False"));
        d.Next();
        QCOMPARE(d.FieldByName(QStringLiteral("IS_GRANTABLE"))->AsString(), QStringLiteral("True"));

        openRowset(QStringLiteral("COLUMN_PRIVILEGES"), {}, d);
        QCOMPARE(d.RecordCount(), 1);
        QCOMPARE(d.FieldByName(QStringLiteral("TABLE_NAME"))->AsString(), QStringLiteral("訂單"));
        QCOMPARE(d.FieldByName(QStringLiteral("COLUMN_NAME"))->AsString(), QStringLiteral("金額"));
        QCOMPARE(d.FieldByName(QStringLiteral("PRIVILEGE_TYPE"))->AsString(), QStringLiteral("UPDATE"));
        QCOMPARE(d.FieldByName(QStringLiteral("IS_GRANTABLE"))->AsString(), QStringLiteral("True"));

        openRowset(QStringLiteral("STATISTICS"), {}, d);
        QCOMPARE(d.RecordCount(), 1);
        QCOMPARE(d.FieldByName(QStringLiteral("TABLE_SCHEMA"))->AsString(), QStringLiteral("dbo"));
        QCOMPARE(d.FieldByName(QStringLiteral("CARDINALITY"))->AsInteger(), 42);

        peer.onProcedure(QStringLiteral("sp_tables"), catalogsReply());
        openRowset(QStringLiteral("CATALOGS"), {}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("CATALOG_NAME"))->AsString(), QStringLiteral("master"));
        QVERIFY(d.FieldByName(QStringLiteral("DESCRIPTION"))->IsNull());
        d.Next();
        QCOMPARE(d.FieldByName(QStringLiteral("DESCRIPTION"))->AsString(), QStringLiteral("銷售"));
    }

    // FreeTDS 1.3's SQLGetTypeInfoW jumps to the exported SQLGetTypeInfo, which binds to
    // the driver manager's own entry point; it rejects the driver's statement handle, so
    // SQLGetTypeInfo never reaches the server through unixODBC.
    void providerTypes()
    {
        scriptCatalog();
        Dataset d;
        QString error;
        const QStringList sent = openRowset(QStringLiteral("PROVIDER_TYPES"), {}, d, &error);
        QCOMPARE(error, QStringLiteral("<no error>"));
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.first().contains(QStringLiteral("sp_datatype_info")), qPrintable(sent.first()));
        QCOMPARE(fieldNames(d), layoutNames(QStringLiteral("PROVIDER_TYPES")));
        QCOMPARE(d.RecordCount(), 3);
    }

    // The INFORMATION_SCHEMA rowsets: restriction values travel as parameters, never
    // inside the statement text.
    void informationSchema_data()
    {
        QTest::addColumn<QString>("rowset");
        QTest::addColumn<QVariantList>("restrictions");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QVariantList>("params");
        const QVariant any;
        QTest::newRow("SCHEMATA, none")
            << "SCHEMATA" << QVariantList()
            << "SELECT CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER, DEFAULT_CHARACTER_SET_CATALOG, "
               "DEFAULT_CHARACTER_SET_SCHEMA, DEFAULT_CHARACTER_SET_NAME FROM INFORMATION_SCHEMA.SCHEMATA "
               "ORDER BY CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER"
            << QVariantList();
        QTest::newRow("SCHEMATA, quote in schema")
            << "SCHEMATA" << QVariantList({any, "a'b"})
            << "SELECT CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER, DEFAULT_CHARACTER_SET_CATALOG, "
               "DEFAULT_CHARACTER_SET_SCHEMA, DEFAULT_CHARACTER_SET_NAME FROM INFORMATION_SCHEMA.SCHEMATA "
               "WHERE SCHEMA_NAME = @P1 ORDER BY CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER"
            << QVariantList({"a'b"});
        QTest::newRow("TABLE_CONSTRAINTS, table and type")
            << "TABLE_CONSTRAINTS" << QVariantList({any, any, any, any, "dbo", "訂單", "PRIMARY KEY"})
            << "SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_CATALOG, TABLE_SCHEMA, "
               "TABLE_NAME, CONSTRAINT_TYPE, IS_DEFERRABLE, INITIALLY_DEFERRED FROM "
               "INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE TABLE_SCHEMA = @P1 AND TABLE_NAME = @P2 AND "
               "CONSTRAINT_TYPE = @P3 ORDER BY CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, "
               "TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, CONSTRAINT_TYPE"
            << QVariantList({"dbo", "訂單", "PRIMARY KEY"});
        QTest::newRow("KEY_COLUMN_USAGE, constraint")
            << "KEY_COLUMN_USAGE" << QVariantList({any, any, "PK_a'b"})
            << "SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_CATALOG, TABLE_SCHEMA, "
               "TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE WHERE "
               "CONSTRAINT_NAME = @P1 ORDER BY CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, "
               "TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME"
            << QVariantList({"PK_a'b"});
        QTest::newRow("CHECK_CONSTRAINTS, catalog")
            << "CHECK_CONSTRAINTS" << QVariantList({"Sales"})
            << "SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, CHECK_CLAUSE FROM "
               "INFORMATION_SCHEMA.CHECK_CONSTRAINTS WHERE CONSTRAINT_CATALOG = @P1 ORDER BY CONSTRAINT_CATALOG, "
               "CONSTRAINT_SCHEMA, CONSTRAINT_NAME"
            << QVariantList({"Sales"});
        QTest::newRow("VIEWS, schema and name")
            << "VIEWS" << QVariantList({any, "dbo", "v_a'b"})
            << "SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE FROM "
               "INFORMATION_SCHEMA.VIEWS WHERE TABLE_SCHEMA = @P1 AND TABLE_NAME = @P2 ORDER BY TABLE_CATALOG, "
               "TABLE_SCHEMA, TABLE_NAME"
            << QVariantList({"dbo", "v_a'b"});
    }
    void informationSchema()
    {
        QFETCH(QString, rowset);
        QFETCH(QVariantList, restrictions);
        QFETCH(QString, statement);
        QFETCH(QVariantList, params);
        scriptInformationSchema();
        Dataset d;
        QString error;
        openRowset(rowset, restrictions, d, &error);
        QCOMPARE(error, QStringLiteral("<no error>"));
        const QList<Request> sent = peer.receivedStatements();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].text, statement);
        QCOMPARE(sent[0].kind, params.isEmpty() ? Request::Batch : Request::Rpc);
        QCOMPARE(sent[0].params, params);
        QVERIFY(!sent[0].text.contains(QLatin1Char('\'')));
        QVERIFY(d.Active());
        QCOMPARE(fieldNames(d), layoutNames(rowset));
        QCOMPARE(d.RecordCount(), 1);
    }

    void informationSchemaValues()
    {
        scriptInformationSchema();
        Dataset d;
        openRowset(QStringLiteral("VIEWS"), {}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("TABLE_NAME"))->AsString(), QStringLiteral("v_訂單"));
        QCOMPARE(d.FieldByName(QStringLiteral("VIEW_DEFINITION"))->AsString(), QStringLiteral("CREATE VIEW v_訂單 AS SELECT 1"));
        QCOMPARE(d.FieldByName(QStringLiteral("CHECK_OPTION"))->AsString(), QStringLiteral("True")); // CASCADE
        QCOMPARE(d.FieldByName(QStringLiteral("IS_UPDATABLE"))->AsString(), QStringLiteral("False"));
        openRowset(QStringLiteral("TABLE_CONSTRAINTS"), {}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("CONSTRAINT_TYPE"))->AsString(), QStringLiteral("PRIMARY KEY"));
        QCOMPARE(d.FieldByName(QStringLiteral("IS_DEFERRABLE"))->AsString(), QStringLiteral("False"));
        openRowset(QStringLiteral("KEY_COLUMN_USAGE"), {}, d);
        QCOMPARE(d.FieldByName(QStringLiteral("ORDINAL_POSITION"))->AsInteger(), 1);
        QVERIFY(d.FieldByName(QStringLiteral("COLUMN_GUID"))->IsNull());
    }

    void informationSchemaErrorNamesRowset()
    {
        Dataset d;
        QString error;
        openRowset(QStringLiteral("CHECK_CONSTRAINTS"), {}, d, &error);
        QVERIFY2(error.startsWith(QStringLiteral("資料來源無法提供結構描述資料列集 CHECK_CONSTRAINTS：")),
                 qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("TdsPeer has no answer for batch SELECT")), qPrintable(error));
    }

    // Rowsets ODBC has no source for fail by name without a word to the server.
    void unsupportedRowsets_data()
    {
        QTest::addColumn<QString>("rowset");
        QTest::newRow("SQL_LANGUAGES") << "SQL_LANGUAGES";
        QTest::newRow("TRANSLATIONS") << "TRANSLATIONS";
    }
    void unsupportedRowsets()
    {
        QFETCH(QString, rowset);
        Dataset d;
        QString error;
        const QStringList sent = openRowset(rowset, {}, d, &error);
        QVERIFY2(error.contains(QStringLiteral("不提供結構描述資料列集 ") + rowset), qPrintable(error));
        QCOMPARE(sent, QStringList());
        QVERIFY(!d.Active());
    }
};

QTEST_GUILESS_MAIN(TstSqlServerRowsets)
#include "tst_sqlserver_rowsets.moc"
