// The record picker TwDSelect: what creation by code and creation during loading give,
// its owned lists (made on first use, assignments copied), the references it forgets
// when the query, focus control or data source is destroyed, and the main window's
// wDSelect1 with its stored settings.
#include "app/gui/MainWindow.h"
#include "components/wDSelect.h"
#include "data/core/CommandQuery.h"
#include "data/core/Dataset.h"
#include "support/ScriptedUi.h"
#include <QLineEdit>
#include <QtTest>
#include <memory>

using components::TwDSelect;
using List = TwDSelect::List;

namespace {

QString nameOf(List which)
{
    switch (which) {
    case List::OrderBy: return QStringLiteral("OrderBy");
    case List::OrderByLabel: return QStringLiteral("OrderByLabel");
    case List::DisplayBy: return QStringLiteral("DisplayBy");
    case List::DisplayByLabel: return QStringLiteral("DisplayByLabel");
    case List::Question: return QStringLiteral("Question");
    }
    return QString();
}

constexpr List kLists[] = {List::OrderBy, List::OrderByLabel, List::DisplayBy, List::DisplayByLabel, List::Question};

// The named accessors lead to the same lists as list(which).
QStringList &namedList(TwDSelect &picker, List which)
{
    switch (which) {
    case List::OrderBy: return picker.OrderBy();
    case List::OrderByLabel: return picker.OrderByLabel();
    case List::DisplayBy: return picker.DisplayBy();
    case List::DisplayByLabel: return picker.DisplayByLabel();
    case List::Question: return picker.Question();
    }
    return picker.Question();
}

void assignNamed(TwDSelect &picker, List which, const QStringList &lines)
{
    switch (which) {
    case List::OrderBy: picker.setOrderBy(lines); break;
    case List::OrderByLabel: picker.setOrderByLabel(lines); break;
    case List::DisplayBy: picker.setDisplayBy(lines); break;
    case List::DisplayByLabel: picker.setDisplayByLabel(lines); break;
    case List::Question: picker.setQuestion(lines); break;
    }
}

enum Referent { kQuery, kFocusControl, kDataSource };

} // namespace

class TestWDSelect : public QObject {
    Q_OBJECT
private slots:
    void createdByCode();
    void createdWhileLoading();
    void listsCopiedOnAssignment_data();
    void listsCopiedOnAssignment();
    void removalEmptiesReference_data();
    void removalEmptiesReference();
    void reassignedReferenceKept();
    void fixedDataSourceKeptWhileLoading();
    void queryAssignedTwiceWatchedOnce();
    void windowRecordPicker();
};

void TestWDSelect::createdByCode()
{
    QObject owner;
    auto *picker = new TwDSelect(&owner);
    QCOMPARE(picker->parent(), &owner);
    QVERIFY(!picker->Loading());
    QCOMPARE(picker->PhoneFieldName(), QStringLiteral("phonecode"));
    QCOMPARE(picker->LocateOptions(), data::TLocateOptions(data::loPartialKey));
    for (List which : {List::OrderBy, List::OrderByLabel, List::DisplayBy, List::DisplayByLabel})
        QVERIFY2(picker->hasList(which) && picker->list(which).isEmpty(), qPrintable(nameOf(which)));
    QVERIFY(!picker->hasList(List::Question));
    QCOMPARE(picker->Question(), QStringList());
    QVERIFY(picker->hasList(List::Question));
    QCOMPARE(picker->CharCase(), components::ecNormal);
    QCOMPARE(picker->HelpContext(), 0);
    QVERIFY(!picker->IsPhone());
    QCOMPARE(picker->DataLink().Control(), picker);
    QCOMPARE(picker->DataSource(), nullptr);
    QCOMPARE(picker->Query(), nullptr);
    QCOMPARE(picker->FocusControl(), nullptr);
    QVERIFY(picker->Fields().empty());

    TwDSelect alone; // no owner: as created by code
    QCOMPARE(alone.PhoneFieldName(), QStringLiteral("phonecode"));
    QVERIFY(alone.hasList(List::OrderBy));
}

void TestWDSelect::createdWhileLoading()
{
    QObject owner;
    TwDSelect picker(&owner, TwDSelect::Creation::Loading);
    QVERIFY(picker.Loading());
    QCOMPARE(picker.PhoneFieldName(), QString());
    QCOMPARE(picker.LocateOptions(), data::TLocateOptions(0));
    QCOMPARE(picker.DataLink().Control(), &picker);
    for (List which : kLists)
        QVERIFY2(!picker.hasList(which), qPrintable(nameOf(which)));
    QCOMPARE(picker.OrderBy(), QStringList()); // made on first use
    QVERIFY(picker.hasList(List::OrderBy));
    QVERIFY(!picker.hasList(List::DisplayBy));
    picker.Loaded();
    QVERIFY(!picker.Loading());
}

// Assigning copies the lines: afterwards the caller's list and the component's are two
// lists with equal lines, each changed without the other. A list the component did not
// have yet is made by the assignment.
void TestWDSelect::listsCopiedOnAssignment_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("loading");
    for (List which : kLists)
        for (bool loading : {false, true})
            QTest::addRow("%s%s", qPrintable(nameOf(which)), loading ? ", while loading" : "")
                << int(which) << loading;
}

void TestWDSelect::listsCopiedOnAssignment()
{
    QFETCH(int, which);
    QFETCH(bool, loading);
    QObject owner;
    TwDSelect picker(&owner, loading ? TwDSelect::Creation::Loading : TwDSelect::Creation::ByCode);
    const List list = List(which);
    QStringList mine{QStringLiteral("客戶編號"), QStringLiteral("name; DROP TABLE x"), QStringLiteral(" \"quoted\" ")};
    assignNamed(picker, list, mine);
    QVERIFY(picker.hasList(list));
    QCOMPARE(namedList(picker, list), mine);
    QCOMPARE(&namedList(picker, list), &picker.list(list));
    mine << QStringLiteral("added by the caller");
    QCOMPARE(picker.list(list).size(), 3);
    namedList(picker, list).removeFirst();
    QCOMPARE(mine.size(), 4);
    QCOMPARE(mine.first(), QStringLiteral("客戶編號"));
    // The other lists are untouched.
    for (List other : kLists)
        if (other != list && picker.hasList(other))
            QVERIFY(picker.list(other).isEmpty());
}

// Destroying the object a reference names empties that reference and no other.
void TestWDSelect::removalEmptiesReference_data()
{
    QTest::addColumn<int>("referent");
    QTest::newRow("query") << int(kQuery);
    QTest::newRow("focus control") << int(kFocusControl);
    QTest::newRow("data source") << int(kDataSource);
}

void TestWDSelect::removalEmptiesReference()
{
    QFETCH(int, referent);
    QObject owner;
    TwDSelect picker(&owner);
    auto query = std::make_unique<data::CommandQuery>();
    auto focus = std::make_unique<QLineEdit>();
    auto dataSource = std::make_unique<data::Dataset>();
    picker.setQuery(query.get());
    picker.setFocusControl(focus.get());
    picker.setDataSource(dataSource.get());
    picker.setDataField(QStringLiteral("客戶編號"));
    QCOMPARE(picker.Query(), query.get());
    QCOMPARE(picker.FocusControl(), focus.get());
    QCOMPARE(picker.DataSource(), dataSource.get());
    switch (referent) {
    case kQuery: query.reset(); break;
    case kFocusControl: focus.reset(); break;
    case kDataSource: dataSource.reset(); break;
    }
    QCOMPARE(picker.Query(), query.get());
    QCOMPARE(picker.FocusControl(), focus.get());
    QCOMPARE(picker.DataSource(), dataSource.get());
    QCOMPARE(picker.DataLink().DataSource(), dataSource.get());
    QCOMPARE(picker.DataField(), QStringLiteral("客戶編號"));
}

// A reference moved to another object is not emptied when the first one goes.
void TestWDSelect::reassignedReferenceKept()
{
    TwDSelect picker;
    auto first = std::make_unique<data::CommandQuery>();
    data::CommandQuery second;
    auto firstSource = std::make_unique<data::Dataset>();
    data::Dataset secondSource;
    auto firstFocus = std::make_unique<QLineEdit>();
    QLineEdit secondFocus;
    picker.setQuery(first.get());
    picker.setQuery(&second);
    picker.setDataSource(firstSource.get());
    picker.setDataSource(&secondSource);
    picker.setFocusControl(firstFocus.get());
    picker.setFocusControl(&secondFocus);
    first.reset();
    firstSource.reset();
    firstFocus.reset();
    QCOMPARE(picker.Query(), &second);
    QCOMPARE(picker.DataSource(), &secondSource);
    QCOMPARE(picker.FocusControl(), &secondFocus);
}

// While the owner is being loaded a fixed data source is not replaced; the destroyed
// source is still not read afterwards.
void TestWDSelect::fixedDataSourceKeptWhileLoading()
{
    QObject owner;
    TwDSelect picker(&owner, TwDSelect::Creation::Loading);
    auto fixed = std::make_unique<data::Dataset>();
    data::Dataset other;
    picker.setDataSource(fixed.get());
    picker.DataLink().setDataSourceFixed(true);
    picker.setDataSource(&other);
    QCOMPARE(picker.DataSource(), fixed.get());
    fixed.reset();
    QCOMPARE(picker.DataSource(), nullptr);
    picker.Loaded();
    picker.setDataSource(&other);
    QCOMPARE(picker.DataSource(), &other);
}

// Setting the same query again is no change; the notification still empties it once.
void TestWDSelect::queryAssignedTwiceWatchedOnce()
{
    struct Counting : TwDSelect {
        int removals = 0;
        void Notification(QObject *component, TOperation operation) override
        {
            if (operation == opRemove)
                ++removals;
            TwDSelect::Notification(component, operation);
        }
    };
    Counting picker;
    auto query = std::make_unique<data::CommandQuery>();
    picker.setQuery(query.get());
    picker.setQuery(query.get());
    picker.setDataSource(query.get()); // the same object as data source too
    picker.setDataSource(query.get());
    query.reset();
    QCOMPARE(picker.removals, 1);
    QCOMPARE(picker.Query(), nullptr);
    QCOMPARE(picker.DataSource(), nullptr);
}

// The window's picker: owned by the window, with the stored settings, loading finished.
void TestWDSelect::windowRecordPicker()
{
    testsupport::ScriptedUiScope ui;
    auto w = std::make_unique<gui::Tfm_ADO_Schema>();
    TwDSelect *picker = w->wDSelect1;
    QVERIFY(picker);
    QCOMPARE(picker->parent(), w.get());
    QCOMPARE(picker->objectName(), QStringLiteral("wDSelect1"));
    QCOMPARE(w->findChild<TwDSelect *>(QStringLiteral("wDSelect1")), picker);
    QVERIFY(!picker->Loading());
    QCOMPARE(picker->CharCase(), components::ecNormal);
    QCOMPARE(picker->HelpContext(), 0);
    QVERIFY(!picker->IsPhone());
    QCOMPARE(picker->LocateOptions(), data::TLocateOptions(data::loPartialKey));
    QCOMPARE(picker->PhoneFieldName(), QStringLiteral("phonecode"));
    QCOMPARE(picker->Query(), nullptr);
    QCOMPARE(picker->DataSource(), nullptr);
    QCOMPARE(picker->FocusControl(), nullptr);
    QCOMPARE(picker->Caption(), QString());
    QVERIFY(!picker->hasList(List::OrderBy)); // lists come with first use
    QPointer<TwDSelect> guard(picker);
    w.reset();
    QVERIFY(guard.isNull());
}

QTEST_MAIN(TestWDSelect)
#include "tst_wdselect.moc"
