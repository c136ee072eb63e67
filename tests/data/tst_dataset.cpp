// Cursor, edit buffer, locate, sort and controls of a dataset over rows held in memory.
#include "data/core/ColumnStore.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include <QFile>
#include <functional>
#include <map>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace data;

namespace {

ColumnInfo column(const QString &name, TFieldType type, bool nullable = true)
{
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

// 編號 (int), 名稱 (text), 金額 (float), 日期 (date)
void openSample(Dataset &ds, Dataset::RowsMode mode = Dataset::RowsMode::InMemory)
{
    std::vector<ColumnInfo> cols = {column(QStringLiteral("編號"), ftInteger, false),
                                    column(QStringLiteral("名稱"), ftWideString),
                                    column(QStringLiteral("金額"), ftFloat),
                                    column(QStringLiteral("日期"), ftDate)};
    RowStore rows;
    for (const auto &c : cols)
        rows.columns.emplace_back(storageFor(c.type));
    const QList<QVariantList> data = {
        {1, QStringLiteral("台北"), 10.5, QDate(2004, 3, 9)},
        {2, QStringLiteral("Taichung"), QVariant(), QDate(2005, 1, 1)},
        {3, QStringLiteral("台南"), 7.25, QVariant()},
        {4, QStringLiteral("taipei east"), 100.0, QDate(2001, 12, 31)},
    };
    for (const auto &r : data)
        for (int c = 0; c < r.size(); ++c)
            rows.columns[size_t(c)].appendValue(r[c]);
    ds.OpenResult(std::move(cols), std::move(rows), mode);
}

// id (int) and three texts whose names hold a comma, brackets and blanks around.
void openOddNames(Dataset &ds)
{
    std::vector<ColumnInfo> cols = {column(QStringLiteral("id"), ftInteger), column(QStringLiteral("x,y"), ftWideString),
                                    column(QStringLiteral("]z["), ftWideString),
                                    column(QStringLiteral(" 前後 "), ftWideString)};
    RowStore rows;
    for (const auto &c : cols)
        rows.columns.emplace_back(storageFor(c.type));
    const QList<QVariantList> data = {{1, "b", "z2", "k2"}, {2, "c", "z0", "k1"}, {3, "a", "z1", "k1"}};
    for (const auto &r : data)
        for (int c = 0; c < r.size(); ++c)
            rows.columns[size_t(c)].appendValue(r[c]);
    ds.OpenResult(std::move(cols), std::move(rows), Dataset::RowsMode::InMemory);
}

QList<int> idsInOrder(Dataset &ds)
{
    QList<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << ds.Fields(0)->AsInteger();
    return ids;
}

} // namespace

class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void navigationAndEof()
    {
        Dataset ds;
        openSample(ds);
        QCOMPARE(ds.RecordCount(), 4);
        QVERIFY(!ds.Eof());
        int seen = 0;
        for (ds.First(); !ds.Eof(); ds.Next())
            ++seen;
        QCOMPARE(seen, 4);
        QCOMPARE(ds.RecNo(), 4);
        ds.Prior();
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("台南"));
        ds.Last();
        QVERIFY(ds.Eof());
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 4);
        QCOMPARE(ds.MoveBy(-10), -3);
        QVERIFY(ds.Bof());
    }

    void emptyResult()
    {
        Dataset ds;
        ds.OpenResult({column(QStringLiteral("a"), ftInteger)}, RowStore{}, Dataset::RowsMode::InMemory);
        QVERIFY(ds.IsEmpty());
        QVERIFY(ds.Eof());
        QCOMPARE(ds.RecNo(), 0);
        QVERIFY(ds.Fields(0)->IsNull());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Delete());
    }

    void displayTextsAndLabels()
    {
        Dataset ds;
        openSample(ds);
        Field *money = ds.FieldByName(QStringLiteral("金額"));
        Field *day = ds.FieldByName(QStringLiteral("日期"));
        QCOMPARE(money->DisplayText(), QStringLiteral("10.5"));
        QCOMPARE(day->DisplayText(), QStringLiteral("2004/03/09"));
        QCOMPARE(money->DisplayLabel(), QStringLiteral("金額"));
        money->setDisplayLabel(QStringLiteral("Amount"));
        QCOMPARE(money->DisplayLabel(), QStringLiteral("Amount"));
        money->setDisplayLabel(QStringLiteral("金額")); // the name itself removes the label
        money->setDisplayLabel(QString());
        QCOMPARE(money->DisplayLabel(), QStringLiteral("金額"));
        QVERIFY(ds.FieldByName(QStringLiteral("編號"))->Required());
        QVERIFY(!money->Required());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.FieldByName(QStringLiteral("missing")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.FieldByName(QStringLiteral("名稱"))->AsInteger());
    }

    void editPostCancel()
    {
        Dataset ds;
        openSample(ds);
        QList<TDataSetState> states;
        connect(&ds, &Dataset::stateChanged, this, [&] { states << ds.State(); });
        ds.Next();
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("台中"));
        QCOMPARE(ds.State(), dsEdit);
        QCOMPARE(ds.valueAt(1, 1).toString(), QStringLiteral("台中")); // the grid sees the buffer
        ds.Cancel();
        QCOMPARE(ds.State(), dsBrowse);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("Taichung"));
        ds.Edit();
        ds.FieldByName(QStringLiteral("金額"))->setAsString(QStringLiteral("12.75"));
        ds.Next(); // moving away posts the edit
        QCOMPARE(ds.State(), dsBrowse);
        QCOMPARE(ds.valueAt(1, 2).toDouble(), 12.75);
        // One notification per change of state, each seeing the state it announces.
        QCOMPARE(states, (QList<TDataSetState>{dsEdit, dsBrowse, dsEdit, dsBrowse}));
        ds.Edit();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.FieldByName(QStringLiteral("編號"))->setAsString(QStringLiteral("x")));
        QCOMPARE(ds.State(), dsEdit);
        ds.Cancel();
    }

    void appendRequiredAndDelete()
    {
        Dataset ds;
        openSample(ds);
        ds.Append();
        QCOMPARE(ds.State(), dsInsert);
        QCOMPARE(ds.visibleRowCount(), 5);
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("高雄"));
        // 編號 is not nullable: the post is refused and the typed value stays
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Post());
        QCOMPARE(ds.State(), dsInsert);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("高雄"));
        ds.FieldByName(QStringLiteral("編號"))->setAsInteger(5);
        ds.Post();
        QCOMPARE(ds.RecordCount(), 5);
        QCOMPARE(ds.RecNo(), 5);
        ds.First();
        ds.Delete();
        QCOMPARE(ds.RecordCount(), 4);
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 2);
    }

    void cancelOfAppendAndInsert()
    {
        // An appended row stands after the last record, so cancelling it leaves the
        // cursor on the last record, whichever was current before (as the platform's
        // data-aware datasets and grids behave). A row inserted before the current record
        // gives its place back to that record.
        Dataset ds;
        openSample(ds);
        QList<TDataSetState> states;
        connect(&ds, &Dataset::stateChanged, this, [&] { states << ds.State(); });
        QSignalSpy scrolls(&ds, &Dataset::afterScroll);
        QSignalSpy cancels(&ds, &Dataset::afterCancel);
        ds.setRecNo(2);
        scrolls.clear();
        ds.Append();
        QCOMPARE(ds.RecNo(), 5);
        ds.Cancel();
        QCOMPARE(ds.RecordCount(), 4);
        QCOMPARE(ds.RecNo(), 4);
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 4);
        QCOMPARE(states, (QList<TDataSetState>{dsInsert, dsBrowse}));
        QCOMPARE(cancels.count(), 1);
        QCOMPARE(scrolls.count(), 2); // onto the new row, back to the last record

        states.clear();
        ds.setRecNo(2);
        ds.Insert();
        QCOMPARE(ds.RecNo(), 2);
        ds.Cancel();
        QCOMPARE(ds.RecNo(), 2);
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 2);
        QCOMPARE(states, (QList<TDataSetState>{dsInsert, dsBrowse}));
        QCOMPARE(cancels.count(), 2);
    }

    void currencyStaysExactThroughDisplayEditAndSave()
    {
        // Values a double cannot carry: loaded, shown, edited, posted and saved exactly.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("金額.xml"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
                    " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'>"
                    "<s:ElementType name='row' content='eltOnly'><s:AttributeType name='M' rs:number='1' rs:nullable='true'>"
                    "<s:datatype dt:type='number' rs:dbtype='currency'/></s:AttributeType></s:ElementType></s:Schema>"
                    "<rs:data><z:row M='922337203685477.5807'/><z:row M='12345678901234.5678'/><z:row M='0.35'/></rs:data></xml>");
        }
        Dataset ds;
        ds.LoadFromFile(file);
        Field *m = ds.FieldByName(QStringLiteral("M"));
        QCOMPARE(m->DataType(), ftCurrency);
        QCOMPARE(m->DisplayText(), QStringLiteral("922337203685477.5807"));
        QCOMPARE(ds.displayTextAt(1, 0), QStringLiteral("12345678901234.5678"));
        QCOMPARE(ds.displayTextAt(2, 0), QStringLiteral("0.35"));

        ds.setRecNo(3);
        m->setAsString(QStringLiteral("-922337203685477.5808"));
        ds.Post();
        QCOMPARE(m->AsString(), QStringLiteral("-922337203685477.5808"));
        QCOMPARE(ds.store().columns[0].moneyAt(2), std::numeric_limits<int64_t>::min());

        // Too many decimals or beyond the range: refused while typing, the record kept.
        ds.setRecNo(2);
        const QString fiveDecimals = [&] {
            try {
                m->setAsString(QStringLiteral("1.23456"));
            } catch (const DatabaseError &e) {
                return e.message();
            }
            return QString();
        }();
        QCOMPARE(fiveDecimals, QStringLiteral("'1.23456' 的小數超過四位，欄位 'M' 存不下"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, m->setAsString(QStringLiteral("922337203685477.5808")));
        QCOMPARE(ds.State(), dsBrowse);
        QCOMPARE(m->AsString(), QStringLiteral("12345678901234.5678"));

        QVERIFY(ds.Locate(QStringLiteral("M"), QStringLiteral("0922337203685477.58070"), 0));
        QCOMPARE(ds.RecNo(), 1);

        ds.SaveToFile(file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.contains("<z:row M='922337203685477.5807'/>\r\n\t<z:row M='12345678901234.5678'/>\r\n"
                                "\t<z:row M='-922337203685477.5808'/>"),
                 saved.constData());
    }

    void readOnlyResult()
    {
        Dataset ds;
        openSample(ds, Dataset::RowsMode::ReadOnly);
        QVERIFY(!ds.CanModify());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Edit());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Append());
        QCOMPARE(ds.State(), dsBrowse);
    }

    void locate_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QVariant>("values");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("expectedId"); // 0 = not found
        QTest::newRow("int exact") << "編號" << QVariant(3) << 0 << 3;
        QTest::newRow("int as text") << "編號" << QVariant(QStringLiteral("4")) << 0 << 4;
        QTest::newRow("chinese") << "名稱" << QVariant(QStringLiteral("台南")) << 0 << 3;
        QTest::newRow("case differs") << "名稱" << QVariant(QStringLiteral("TAICHUNG")) << 0 << 0;
        QTest::newRow("case-insensitive") << "名稱" << QVariant(QStringLiteral("TAICHUNG")) << int(loCaseInsensitive) << 2;
        QTest::newRow("partial") << "名稱" << QVariant(QStringLiteral("台")) << int(loPartialKey) << 1;
        QTest::newRow("partial ci") << "名稱" << QVariant(QStringLiteral("TAIP")) << int(loPartialKey | loCaseInsensitive) << 4;
        QTest::newRow("two fields") << "編號;名稱" << QVariant(QVariantList{2, QStringLiteral("Taichung")}) << 0 << 2;
        QTest::newRow("two fields miss") << "編號;名稱" << QVariant(QVariantList{1, QStringLiteral("Taichung")}) << 0 << 0;
        QTest::newRow("null") << "金額" << QVariant() << 0 << 2;
        QTest::newRow("float") << "金額" << QVariant(QStringLiteral("7.25")) << 0 << 3;
        QTest::newRow("date") << "日期" << QVariant(QStringLiteral("2005/1/1")) << 0 << 2;
    }
    void locate()
    {
        QFETCH(QString, fields);
        QFETCH(QVariant, values);
        QFETCH(int, options);
        QFETCH(int, expectedId);
        Dataset ds;
        openSample(ds);
        ds.Last();
        const bool found = ds.Locate(fields, values, options);
        QCOMPARE(found, expectedId != 0);
        if (found)
            QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), expectedId);
        else
            QCOMPARE(ds.RecNo(), 4); // a failed search leaves the cursor alone
    }

    void sortKeepsCurrentRecord()
    {
        Dataset ds;
        openSample(ds);
        ds.setRecNo(2); // Taichung
        ds.setSort(QStringLiteral("名稱 DESC"));
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("Taichung"));
        ds.First();
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("台南"));
        ds.setSort(QStringLiteral("金額"));
        ds.First();
        QVERIFY(ds.FieldByName(QStringLiteral("金額"))->IsNull()); // NULL first
        ds.setSort(QString());
        ds.First();
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 1);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.setSort(QStringLiteral("nothing")));
    }

    // Exact decimals are held as text; they sort by value, not by their characters.
    void decimalsSortByValue()
    {
        Dataset ds;
        std::vector<ColumnInfo> cols = {column(QStringLiteral("id"), ftInteger), column(QStringLiteral("amount"), ftBCD)};
        RowStore rows;
        for (const auto &c : cols)
            rows.columns.emplace_back(storageFor(c.type));
        const QList<QVariantList> data = {{1, "10.5"}, {2, "9.25"}, {3, "-2"}, {4, "-10"}, {5, "100"},
                                          {6, "0.001"}, {7, QVariant()}, {8, "9.250"}, {9, "1E+3"}};
        for (const auto &r : data)
            for (int c = 0; c < r.size(); ++c)
                rows.columns[size_t(c)].appendValue(r[c]);
        ds.OpenResult(std::move(cols), std::move(rows), Dataset::RowsMode::InMemory);
        ds.setSort(QStringLiteral("amount"));
        QCOMPARE(idsInOrder(ds), QList<int>({7, 4, 3, 6, 2, 8, 1, 5, 9}));
        ds.setSort(QStringLiteral("amount DESC, id DESC"));
        QCOMPARE(idsInOrder(ds), QList<int>({9, 5, 1, 8, 2, 6, 3, 4, 7}));
    }

    void bookmarksAndControls()
    {
        Dataset ds;
        openSample(ds);
        ds.setRecNo(3);
        const Bookmark mark = ds.GetBookmark();
        QSignalSpy scrolls(&ds, &Dataset::afterScroll);
        QSignalSpy resets(&ds, &Dataset::dataReset);
        ds.DisableControls();
        for (ds.First(); !ds.Eof(); ds.Next()) {
        }
        QCOMPARE(scrolls.count(), 0);
        ds.GotoBookmark(mark);
        ds.EnableControls();
        QCOMPARE(scrolls.count(), 1);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(ds.RecNo(), 3);
        ds.Delete();
        QVERIFY(!ds.BookmarkValid(mark));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.GotoBookmark(mark));
    }

    // A name in brackets may hold commas, blanks and "]" (written "]]"); plain names split
    // at commas as before.
    void sortByAnyName_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QList<int>>("ids"); // empty: the sort is refused
        QTest::newRow("comma in brackets") << "[x,y]" << QList<int>{3, 1, 2};
        QTest::newRow("comma in brackets, DESC") << "[x,y] DESC" << QList<int>{2, 1, 3};
        QTest::newRow("brackets in the name") << "[]]z[]" << QList<int>{2, 3, 1};
        QTest::newRow("blanks kept, two keys") << "[ 前後 ] desc, [x,y]" << QList<int>{1, 3, 2};
        QTest::newRow("sortNameOf, comma") << Dataset::sortNameOf(QStringLiteral("x,y")) << QList<int>{3, 1, 2};
        QTest::newRow("sortNameOf, brackets") << Dataset::sortNameOf(QStringLiteral("]z[")) << QList<int>{2, 3, 1};
        QTest::newRow("plain id, DESC") << "id DESC" << QList<int>{3, 2, 1};
        QTest::newRow("comma outside brackets names two fields") << "x,y" << QList<int>{};
        QTest::newRow("unclosed bracket") << "[x,y" << QList<int>{};
        QTest::newRow("junk after the name") << "[x,y] sideways" << QList<int>{};
    }
    void sortByAnyName()
    {
        QFETCH(QString, sort);
        QFETCH(QList<int>, ids);
        Dataset ds;
        openOddNames(ds);
        if (ids.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.setSort(sort));
            QCOMPARE(idsInOrder(ds), (QList<int>{1, 2, 3}));
            return;
        }
        ds.setSort(sort);
        QCOMPARE(idsInOrder(ds), ids);
    }

    // Text typed into a control reaches the field before the dataset posts, moves or
    // closes, as the holder's result says: stored, the edit is posted; refused, the
    // operation throws the holder's error and the edit stays.
    void typedTextHolders_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("refuse");
        for (const char *op : {"Post", "Next", "Close", "setSort", "Locate", "Append"}) {
            QTest::addRow("%s, stored", op) << QString::fromLatin1(op) << false;
            QTest::addRow("%s, refused", op) << QString::fromLatin1(op) << true;
        }
    }
    void typedTextHolders()
    {
        QFETCH(QString, operation);
        QFETCH(bool, refuse);
        Dataset ds;
        openSample(ds);
        QObject editor;
        int asked = 0;
        ds.setTypedTextHolder(&editor, [&]() -> std::optional<DatabaseError> {
            ++asked;
            if (refuse)
                return DatabaseError(QStringLiteral("'x1' refused"));
            if (!ds.Fields(1)->AsString().startsWith(QLatin1String("typed")))
                ds.Fields(1)->setAsString(QStringLiteral("typed"));
            return std::nullopt;
        });
        QObject other; // a holder removed again is not asked
        ds.setTypedTextHolder(&other, [] { return std::optional<DatabaseError>(DatabaseError(QStringLiteral("gone"))); });
        ds.setTypedTextHolder(&other, {});
        ds.Edit();
        QSignalSpy posts(&ds, &Dataset::afterPost);
        const std::map<QString, std::function<void()>> operations = {
            {QStringLiteral("Post"), [&] { ds.Post(); }},
            {QStringLiteral("Next"), [&] { ds.Next(); }},
            {QStringLiteral("Close"), [&] { ds.Close(); }},
            {QStringLiteral("setSort"), [&] { ds.setSort(QStringLiteral("編號")); }},
            {QStringLiteral("Locate"), [&] { ds.Locate(QStringLiteral("編號"), 2, 0); }},
            {QStringLiteral("Append"), [&] { ds.Append(); }},
        };
        const std::function<void()> run = operations.at(operation);
        if (refuse) {
            try {
                run();
                QFAIL("the refused text did not stop the operation");
            } catch (const DatabaseError &e) {
                QCOMPARE(e.message(), QStringLiteral("'x1' refused"));
            }
            QCOMPARE(ds.State(), dsEdit);
            QCOMPARE(ds.RecNo(), 1);
            QCOMPARE(posts.count(), 0);
            QVERIFY(asked >= 1);
            return;
        }
        run();
        QCOMPARE(posts.count(), 1);
        if (ds.Active())
            QCOMPARE(ds.valueAt(0, 1).toString(), QStringLiteral("typed"));
    }

    void closeNotifies()
    {
        Dataset ds;
        openSample(ds);
        QSignalSpy closed(&ds, &Dataset::afterClose);
        ds.Close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(ds.State(), dsInactive);
        QCOMPARE(ds.FieldCount(), 0);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Next());
    }
};

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
