// The background fill against SQL Server through FreeTDS (the scripted TDS peer): a
// connection there carries one active result, so everything else sent on it while rows
// still arrive must wait until the result is read; FreeTDS refuses a second statement
// otherwise. The key of a table still filling is asked for at the first write.
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QtTest>

using namespace data;
using namespace tds;
using testsupport::requestTexts;
using testsupport::tdsColumn;

namespace {

constexpr int kRows = 3000;

Reply bigTable()
{
    QList<QVariantList> rows;
    for (int i = 1; i <= kRows; ++i)
        rows.append({i, QStringLiteral("名稱%1").arg(i)});
    Column id = tdsColumn(QStringLiteral("id"), ColumnType::Int);
    id.nullable = false;
    return Reply::rows({id, tdsColumn(QStringLiteral("name"), ColumnType::NVarChar, 40)}, rows);
}

// sp_pkeys: TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, COLUMN_NAME, KEY_SEQ, PK_NAME.
Reply bigTableKey()
{
    return Reply::rows({tdsColumn(QStringLiteral("TABLE_QUALIFIER"), ColumnType::NVarChar, 128),
                        tdsColumn(QStringLiteral("TABLE_OWNER"), ColumnType::NVarChar, 128),
                        tdsColumn(QStringLiteral("TABLE_NAME"), ColumnType::NVarChar, 128),
                        tdsColumn(QStringLiteral("COLUMN_NAME"), ColumnType::NVarChar, 128),
                        tdsColumn(QStringLiteral("KEY_SEQ"), ColumnType::Int), tdsColumn(QStringLiteral("PK_NAME"), ColumnType::NVarChar, 128)},
                       {{"Sales", "dbo", "大表", "id", 1, "PK_大表"}});
}

} // namespace

class TestDatasetFillTds : public QObject {
    Q_OBJECT
    TdsPeer peer;
    Connection conn;

    void open(Dataset &ds)
    {
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 大表"));
        ds.Open();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(testsupport::startWithSaLogin(peer));
        Dataset::setFillBudgets({10, {}}, {10, {}});
    }
    void cleanupTestCase()
    {
        Dataset::setFillBudgets({2000, std::chrono::milliseconds(50)}, {0, std::chrono::milliseconds(20)});
        conn.Close();
        peer.stop();
    }
    void init()
    {
        conn.Close();
        peer.clearScript();
        peer.onQuery(QStringLiteral("Select * From 大表"), bigTable());
        peer.onProcedure(QStringLiteral("sp_pkeys"), bigTableKey());
        testsupport::openAsSa(conn, peer);
        peer.clearReceived();
    }

    void anotherStatementWaitsForTheResult()
    {
        peer.onQuery(QStringLiteral("UPDATE 其他 SET x = 1"), Reply::count(4));
        Dataset ds;
        open(ds);
        QVERIFY(ds.Fetching());
        QVERIFY(ds.RecordCount() < kRows);
        QCOMPARE(conn.session().execute(QStringLiteral("UPDATE 其他 SET x = 1")), 4LL);
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ds.valueAt(kRows - 1, 1).toString(), QStringLiteral("名稱3000"));
        QCOMPARE(requestTexts(peer.receivedStatements()),
                 QStringList({"batch: Select * From 大表", "batch: UPDATE 其他 SET x = 1"}));
    }

    void fillsFromTheTimerToTheEnd()
    {
        Dataset ds;
        open(ds);
        QVERIFY(ds.Fetching());
        QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 60000);
        QCOMPARE(ds.RecordCount(), kRows);
        for (int row = 0; row < kRows; row += 499)
            QCOMPARE(ds.valueAt(row, 0).toLongLong(), row + 1);
        // Nothing asked for the key while the rows arrived.
        QCOMPARE(requestTexts(peer.receivedStatements()), QStringList({"batch: Select * From 大表"}));
    }

    void postWhileFillingReadsTheRestThenAsksTheKey()
    {
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), Reply::count(1));
        Dataset ds;
        open(ds);
        QVERIFY(ds.Fetching());
        ds.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("改過"));
        ds.Post();
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.State(), dsBrowse);
        const QStringList sent = requestTexts(peer.receivedStatements());
        QVERIFY2(sent.size() >= 3, qPrintable(sent.join('\n')));
        QCOMPARE(sent.at(0), QStringLiteral("batch: Select * From 大表"));
        QCOMPARE(sent.at(1), QStringLiteral("rpc: sp_pkeys"));
        QVERIFY2(sent.filter(QStringLiteral("UPDATE [大表] SET [name] = @P1 WHERE [id] = @P2")).size() == 1,
                 qPrintable(sent.join('\n')));
    }

    void stopFreesTheConnection()
    {
        peer.onQuery(QStringLiteral("SELECT 1"), Reply::rows({tdsColumn(QStringLiteral("one"), ColumnType::Int)}, {{1}}));
        Dataset ds;
        open(ds);
        const int kept = ds.RecordCount();
        ds.StopFill();
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), kept);
        Dataset other;
        other.setConnection(&conn);
        other.setCommandText(QStringLiteral("SELECT 1"));
        other.Open();
        QCOMPARE(other.Fields(0)->Value().toLongLong(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDatasetFillTds)
#include "tst_dataset_fill_tds.moc"
