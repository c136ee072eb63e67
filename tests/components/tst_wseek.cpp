// The seek component and its dialog over a real SQLite table, driven by keys sent to
// whatever edit has the focus in the active dialog.
#include "SeekTestDriver.h"
#include "components/ImeSwitch.h"
#include "components/SeekFields.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/ScriptedUi.h"
#include "support/SqliteDataset.h"
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

using namespace components;
using seektest::execute;
using seektest::focusedEdit;

namespace {

const QString kNotANumber = QStringLiteral("輸入非數值字元");
const QString kNotADate = QStringLiteral("輸入非日期字元");

// 客戶: rows in an order where sorting by code changes which "B..." comes first.
struct Customers : testsupport::SqliteDataset {
    Customers()
        : SqliteDataset(
              QStringLiteral("seek.db"),
              "CREATE TABLE 客戶 (客戶編號 INTEGER PRIMARY KEY, Name NVARCHAR(20), code NVARCHAR(8),"
              " 生日 DATE, 金額 REAL CHECK (金額 >= 0), 備註 NVARCHAR(30), \"it's; \"\"odd\"\"\" NVARCHAR(10),"
              " \"nick name's\" NVARCHAR(10));"
              "INSERT INTO 客戶 VALUES (1, 'Carol', 'C03', '2022-03-07', 30.5, 'x', 'q;1', 'Ann2');"
              "INSERT INTO 客戶 VALUES (2, 'bobby', 'B04', '2023-04-08', 40, 'y', 'q;2', 'Ann1');"
              "INSERT INTO 客戶 VALUES (3, 'Alice', 'A01', '2020-01-05', 10.25, 'z', 'q;3', 'Kim');"
              "INSERT INTO 客戶 VALUES (4, 'Bob', 'B02', '2021-02-06', 20, 'w', 'q;4', 'Amy');",
              QStringLiteral("Select * From 客戶"))
    {
    }
    int currentId() const { return ds.FieldByName(QStringLiteral("客戶編號"))->AsInteger(); }
};

// The customers with a seek over them, on the fields `seekField` names.
struct CustomerSeek : Customers {
    TwSeek seek;

    explicit CustomerSeek(const QString &seekField)
    {
        seek.setDataSet(&ds);
        seek.setSeekField(seekField);
    }
};

// Columns whose names a ";"-list, a ","-list or trimming would get wrong, and dates.
struct OddNames : testsupport::SqliteDataset {
    OddNames()
        : SqliteDataset(
              QStringLiteral("odd.db"),
              "CREATE TABLE odd (id INTEGER PRIMARY KEY, \"a;b\" NVARCHAR(10), a NVARCHAR(10),"
              " \" \" NVARCHAR(10), \" 前後 \" NVARCHAR(10), \"x,y\" NVARCHAR(10), \"]z[\" NVARCHAR(10),"
              " d DATE, t DATETIME);"
              "INSERT INTO odd VALUES (1, 'm', 'p', 's1', 'f1', 'c3', 'q3', '2024-03-09', '2024-03-09 10:20:30');"
              "INSERT INTO odd VALUES (2, 'p', 'm', 's2', 'f2', 'c1', 'q1', '2023-11-20', '2023-11-20 00:00:00');"
              "INSERT INTO odd VALUES (3, 'n', 'n', 's3', 'f3', 'c2', 'q2', '2022-01-05', '2022-01-05 23:59:59');",
              QStringLiteral("Select * From odd"))
    {
    }
    int currentId() const { return ds.FieldByName(QStringLiteral("id"))->AsInteger(); }
    data::Field *field(const QString &name) const
    {
        for (int i = 0; i < ds.FieldCount(); ++i)
            if (ds.Fields(i)->FieldName() == name)
                return ds.Fields(i);
        return nullptr;
    }
};

// Types each text into the edit that has the focus, then Enter moves on (or searches
// from the last edit).
void enterEach(const QStringList &texts)
{
    for (const QString &text : texts) {
        drive::type(text);
        drive::press(Qt::Key_Return);
    }
}

QStringList labelsOf(TfmSeek *dialog)
{
    QStringList labels;
    for (int i = 1; i <= dialog->count(); ++i)
        labels << dialog->label(i)->text();
    return labels;
}

// Records which edits were given which input method.
class RecordingIme : public ImeSwitch {
public:
    QStringList uses;
    void useInputMethod(QWidget *edit, const QString &name) override
    {
        uses << edit->objectName() + QLatin1Char('=') + name;
    }
};

} // namespace

class TestWSeek : public QObject {
    Q_OBJECT
private slots:
    void defaults()
    {
        TwSeek seek;
        QCOMPARE(seek.LocateOptions(), data::TLocateOptions(data::loPartialKey));
        QCOMPARE(seek.CharCase(), ecNormal);
        QVERIFY(!seek.hasQuestion());
        QVERIFY(!seek.hasImeNameList());
        QCOMPARE(seek.Found(), false);
        seek.Question() << QStringLiteral("code");
        QVERIFY(seek.hasQuestion());
    }

    void forgetsADestroyedDataset()
    {
        TwSeek seek;
        auto *ds = new data::Dataset;
        seek.setDataSet(ds);
        delete ds;
        QCOMPARE(seek.DataSet(), nullptr);
    }

    void resolvesSeekFields_data()
    {
        QTest::addColumn<QString>("seekField");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("case-insensitive") << "NAME" << QStringList{"Name"};
        QTest::newRow("blanks trimmed") << " name ; code " << QStringList{"Name", "code"};
        QTest::newRow("earlier name matching nothing: nothing at all") << "nosuch;code" << QStringList{};
        QTest::newRow("later name matching nothing") << "code;nosuch" << QStringList{"code"};
        QTest::newRow("calculated field left out") << "name;備註" << QStringList{"Name"};
        QTest::newRow("name given twice") << "code;CODE" << QStringList{"code", "code"};
        QTest::newRow("Chinese field name") << "客戶編號" << QStringList{"客戶編號"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("more than nine: the first nine")
            << "code;code;code;code;code;code;code;code;code;name"
            << QStringList{"code", "code", "code", "code", "code", "code", "code", "code", "code"};
    }
    void resolvesSeekFields()
    {
        QFETCH(QString, seekField);
        QFETCH(QStringList, labels);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(seekField);
        c.ds.FieldByName(QStringLiteral("備註"))->setFieldKind(data::fkCalculated);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(labelsOf(dialog), labels);
            if (!labels.isEmpty())
                QCOMPARE(drive::focused(), dialog->edit(1));
            // Every control has its own name, whatever the field names are.
            QSet<QString> names;
            for (int i = 1; i <= dialog->count(); ++i)
                names << dialog->edit(i)->objectName();
            QCOMPARE(names.size(), dialog->count());
            drive::press(Qt::Key_Escape);
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), false);
    }

    // With no seek field any search closes the dialog; Up has nowhere to go.
    void noSeekFields()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("nosuch;code"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->count(), 0);
            drive::press(Qt::Key_Up);
            QVERIFY(dialog->isVisible());
            drive::press(Qt::Key_F9);
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), false);
        QVERIFY(ui.messages().isEmpty());
        QVERIFY(ui.questions().isEmpty());
    }

    void integerEditRefusesLetters()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("客戶編號;Name"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::type(QStringLiteral("12a"));
            drive::press(Qt::Key_Return); // checked, the focus stays
            QCOMPARE(ui.messageTexts(), QStringList{kNotANumber});
            QCOMPARE(drive::focused(), dialog->edit(1));
            drive::press(Qt::Key_Tab);
            QCOMPARE(drive::focused(), dialog->edit(2));
            drive::press(Qt::Key_F9); // the search checks every edit: the focus returns
            QCOMPARE(ui.messageTexts(), (QStringList{kNotANumber, kNotANumber}));
            QCOMPARE(drive::focused(), dialog->edit(1));
            QVERIFY(dialog->isVisible());
            drive::press(Qt::Key_Escape);
        }));
        QCOMPARE(c.seek.Found(), false);
        QVERIFY(ui.questions().isEmpty());
    }

    void emptyDateEditIsRefused()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;生日"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::type(QStringLiteral("Bob"));
            drive::press(Qt::Key_F9);
            QCOMPARE(ui.messageTexts(), QStringList{kNotADate});
            QCOMPARE(drive::focused(), dialog->edit(2));
            QVERIFY(dialog->isVisible());
            drive::press(Qt::Key_Escape);
        }));
        QCOMPARE(c.seek.Found(), false);
        QCOMPARE(c.currentId(), 1);
    }

    void allEditsEmptyClosesWithoutSearching()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;code"));
        c.ds.Last();
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::press(Qt::Key_F9);
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), false);
        QCOMPARE(c.currentId(), 4);
        QVERIFY(ui.questions().isEmpty());
    }

    void onlyTheSecondFieldFilledSortsThenLocates()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;code"));
        QVERIFY(execute(c.seek, [&](TfmSeek *) {
            drive::press(Qt::Key_Down);
            drive::type(QStringLiteral("B"));
            drive::press(Qt::Key_Return);
        }));
        QVERIFY(c.seek.Found());
        // In read order "B" first meets B04 (bobby); in code order B02 (Bob).
        QCOMPARE(c.ds.Sort(), QStringLiteral("[code]"));
        QCOMPARE(c.currentId(), 4);
        QCOMPARE(c.ds.FieldByName(QStringLiteral("code"))->AsString(), QStringLiteral("B02"));
    }

    void twoFieldsFilledLocateOnBoth()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;code"));
        QVERIFY(execute(c.seek, [&](TfmSeek *) {
            drive::type(QStringLiteral("Bo"));
            drive::press(Qt::Key_Down);
            drive::type(QStringLiteral("B0"));
            drive::press(Qt::Key_Down);
        }));
        QVERIFY(c.seek.Found());
        QCOMPARE(c.ds.Sort(), QString());
        QCOMPARE(c.currentId(), 4); // "bobby" does not begin with "Bo"
    }

    void notFoundAsksWhetherToGoOn_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("Yes: the first edit again, its text selected") << true;
        QTest::newRow("No: the dialog closes") << false;
    }
    void notFoundAsksWhetherToGoOn()
    {
        QFETCH(bool, goOn);
        testsupport::ScriptedUiScope ui;
        ui.queueAnswers({goOn});
        CustomerSeek c(QStringLiteral("Name;code"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::type(QStringLiteral("Zed"));
            drive::press(Qt::Key_Down);
            drive::press(Qt::Key_Down); // from the last edit: search
            QCOMPARE(ui.questions().size(), 1);
            QCOMPARE(ui.questions().first().title, QStringLiteral("程式執行確認"));
            QCOMPARE(ui.questions().first().text, QStringLiteral("查無該筆資料，是否繼續查詢"));
            QCOMPARE(dialog->isVisible(), goOn);
            if (!goOn)
                return;
            QCOMPARE(drive::focused(), dialog->edit(1));
            QCOMPARE(dialog->edit(1)->selectedText(), QStringLiteral("Zed"));
            drive::type(QStringLiteral("Ali")); // replaces the selection
            drive::press(Qt::Key_F9);
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), goOn);
        QCOMPARE(c.currentId(), goOn ? 3 : 1);
    }

    void keysWalkAndSearch_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("searched");
        QTest::addColumn<int>("focusedTag");
        QTest::newRow("Up in the first edit searches") << QList<int>{Qt::Key_Up} << true << 0;
        QTest::newRow("Enter in the last edit searches")
            << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return} << true << 0;
        QTest::newRow("Down in the last edit searches")
            << QList<int>{Qt::Key_Return, Qt::Key_Return, Qt::Key_Down} << true << 0;
        QTest::newRow("keypad Enter walks down") << QList<int>{Qt::Key_Enter} << false << 2;
        QTest::newRow("Up walks back") << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << false << 2;
        QTest::newRow("Esc closes without searching") << QList<int>{Qt::Key_Escape} << false << 0;
    }
    void keysWalkAndSearch()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, searched);
        QFETCH(int, focusedTag);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;code;金額"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::type(QStringLiteral("Ali"));
            for (int key : keys)
                drive::press(Qt::Key(key));
            if (focusedTag > 0) {
                QVERIFY(dialog->isVisible());
                QCOMPARE(focusedEdit()->Tag(), focusedTag);
                drive::press(Qt::Key_Escape);
            }
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), searched);
        QCOMPARE(c.currentId(), searched ? 3 : 1);
        QVERIFY(ui.messages().isEmpty());
    }

    void placement_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("centred");
        QTest::newRow("Left 112, Width 0: wider than 112, centred") << 112 << 0 << 0 << true;
        QTest::newRow("narrower than Left: right edge at Left + Width") << 500 << 40 << 300 << false;
    }
    void placement()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(bool, centred);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code"));
        c.seek.setLeft(left);
        c.seek.setTop(top);
        c.seek.setWidth(width);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            const QSize screen = dialog->screen()->geometry().size();
            const QSize size = dialog->frameGeometry().size(); // width and height are the outer size
            // code: display width 8, an edit 85 wide; the tool bar is narrower.
            const int widest = std::max({85, dialog->label(1)->width(), dialog->ToolBar1->width()});
            QCOMPARE(dialog->Bevel1->geometry(), QRect(13, 20, widest + 40, 90));
            QCOMPARE(size.width(), dialog->Bevel1->width() + 30);
            QCOMPARE(dialog->ToolBar1->pos(),
                     QPoint(size.width() - dialog->ToolBar1->width() - 20, 20 + 90 + 10));
            QCOMPARE(size.height(), 120 + dialog->ToolBar1->height() + 40);
            if (centred) {
                QVERIFY(size.width() > 112);
                QCOMPARE(dialog->pos(), QPoint((screen.width() - size.width()) / 2,
                                               (screen.height() - size.height()) / 2));
            } else {
                QCOMPARE(dialog->pos(), QPoint(left + width - size.width(), top));
            }
            drive::press(Qt::Key_Escape);
        }));
    }

    void editFollowsDisplayWidth()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code"));
        QCOMPARE(c.ds.FieldByName(QStringLiteral("code"))->DisplayWidth(), 8);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            SeekEdit *edit = dialog->edit(1);
            QCOMPARE(edit->width(), 85);
            QCOMPARE(edit->pos(), QPoint(20, 50));
            QCOMPARE(dialog->label(1)->pos(), QPoint(20, 30));
            drive::type(QStringLiteral("ABCDEFGHIJ"));
            QCOMPARE(edit->text(), QStringLiteral("ABCDEFGH"));
            drive::press(Qt::Key_Escape);
        }));
    }

    // What is typed into the one edit is searched: its field's own name labels it, the
    // edit shapes the text as configured, and Enter or the tick button searches.
    void typedValueIsFound_data()
    {
        QTest::addColumn<QString>("seekField");
        QTest::addColumn<int>("charCase");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("editMask"); // empty: left as it is
        QTest::addColumn<QString>("inputMask");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("tickButton"); // otherwise Enter
        QTest::addColumn<int>("foundId");
        const int partial = data::loPartialKey;
        QTest::newRow("Chinese field name") << "客戶編號" << int(ecNormal) << partial << "" << "" << "3" << "3"
                                            << false << 3;
        // exact and case-sensitive: only "A01" matches
        QTest::newRow("char case forces letters") << "code" << int(ecUpperCase) << 0 << "" << "" << "a01" << "A01"
                                                  << false << 3;
        QTest::newRow("date edit uses the date mask") << "生日" << int(ecNormal) << partial << "!9999/99/99;1;_"
                                                      << "0000/00/00;_" << "20210206" << "2021/02/06" << false << 4;
        QTest::newRow("tick button searches") << "Name" << int(ecNormal) << partial << "" << "" << "Car" << "Car"
                                              << true << 1;
    }
    void typedValueIsFound()
    {
        QFETCH(QString, seekField);
        QFETCH(int, charCase);
        QFETCH(int, options);
        QFETCH(QString, editMask);
        QFETCH(QString, inputMask);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, tickButton);
        QFETCH(int, foundId);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(seekField);
        c.seek.setCharCase(TEditCharCase(charCase));
        c.seek.setLocateOptions(options);
        if (!editMask.isEmpty())
            c.seek.setEditMask(editMask);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->label(1)->text(), seekField);
            QCOMPARE(focusedEdit()->fieldName(), seekField);
            QCOMPARE(focusedEdit()->inputMask(), inputMask);
            drive::type(typed);
            QCOMPARE(focusedEdit()->text(), shown);
            QCOMPARE(focusedEdit()->value(), shown);
            if (tickButton)
                QTest::mouseClick(dialog->spdSeek, Qt::LeftButton);
            else
                drive::press(Qt::Key_Return);
        }));
        QVERIFY(c.seek.Found());
        QCOMPARE(c.currentId(), foundId);
    }

    void questionButtonsAndF10()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name;code"));
        c.seek.Question() << QStringLiteral("CODE");
        QStringList calls;
        c.seek.OnQuestionClick = [&](QObject *sender, QToolButton *button, SeekEdit *edit) {
            calls << QStringLiteral("%1 %2 %3").arg(qobject_cast<TfmSeek *>(sender) ? "dialog" : "?",
                                                    button->objectName(), edit->fieldName());
            edit->setText(QStringLiteral("A01"));
        };
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->questionButton(1), nullptr);
            QToolButton *button = dialog->questionButton(2);
            QVERIFY(button);
            QCOMPARE(button->size(), QSize(22, 22));
            QCOMPARE(button->pos(), QPoint(dialog->edit(2)->x() + dialog->edit(2)->width() + 2, dialog->edit(2)->y()));
            drive::press(Qt::Key_F10); // the first field has no question button
            QVERIFY(calls.isEmpty());
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(calls, QStringList{"dialog qbSeek2 code"});
            QCOMPARE(dialog->edit(2)->text(), QStringLiteral("A01"));
            drive::press(Qt::Key_Down);
            dialog->edit(2)->clear();
            drive::press(Qt::Key_F10);
            QCOMPARE(calls.size(), 2);
            drive::press(Qt::Key_F9);
        }));
        QVERIFY(c.seek.Found());
        QCOMPARE(c.currentId(), 3);
    }

    void questionButtonsNeedAHandler()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code"));
        c.seek.Question() << QStringLiteral("code");
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->questionButton(1), nullptr);
            drive::press(Qt::Key_Escape);
        }));
    }

    void inputMethodForMarkedFields()
    {
        testsupport::ScriptedUiScope ui;
        RecordingIme ime;
        setImeSwitch(&ime);
        CustomerSeek c(QStringLiteral("Name;code;客戶編號"));
        c.seek.setImeNameList({QString(), QStringLiteral("1")});
        c.seek.setImeName(QStringLiteral("注音"));
        QVERIFY(execute(c.seek, [&](TfmSeek *) { drive::press(Qt::Key_Escape); }));
        c.seek.setImeName(QString());
        QVERIFY(execute(c.seek, [&](TfmSeek *) { drive::press(Qt::Key_Escape); }));
        setImeSwitch(nullptr);
        QCOMPARE(ime.uses, QStringList{"edSeek2=注音"});
    }

    void fieldEditMaskOnOtherFields()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code;生日"));
        c.ds.FieldByName(QStringLiteral("code"))->setEditMask(QStringLiteral(">L00;0;_"));
        c.seek.setEditMask(QString()); // no mask for dates
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->edit(1)->inputMask(), QStringLiteral(">A99;_"));
            QCOMPARE(dialog->edit(2)->inputMask(), QString());
            drive::type(QStringLiteral("b02"));
            QCOMPARE(dialog->edit(1)->value(), QStringLiteral("B02"));
            drive::press(Qt::Key_Escape);
        }));
    }

    void looksAsDesigned()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code"));
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("查詢"));
            QCOMPARE(dialog->palette().color(QPalette::Window), QColor(0x80, 0, 0));
            QCOMPARE(dialog->palette().color(QPalette::WindowText), QColor(Qt::yellow));
            QCOMPARE(dialog->font().pixelSize(), 20);
            QVERIFY2(QFontInfo(dialog->font()).family().contains(QLatin1String("Ming")),
                     qPrintable(QFontInfo(dialog->font()).family()));
            QCOMPARE(dialog->spdSeek->toolTip(), QStringLiteral("開始查詢"));
            QCOMPARE(dialog->spdExit->toolTip(), QStringLiteral("放棄查詢"));
            QCOMPARE(dialog->spdSeek->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(dialog->spdSeek->size(), QSize(30, 30));
            QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
            QTest::mouseClick(dialog->spdExit, Qt::LeftButton);
            QVERIFY(!dialog->isVisible());
        }));
        QCOMPARE(c.seek.Found(), false);
    }

    void locateOptions_data()
    {
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("id"); // 0: not found
        const int partial = data::loPartialKey, nocase = data::loCaseInsensitive;
        QTest::newRow("partial key") << partial << "Bo" << 4;
        QTest::newRow("partial key, case-insensitive") << (partial | nocase) << "BO" << 2;
        QTest::newRow("partial key, case matters") << partial << "BO" << 0;
        QTest::newRow("whole value") << 0 << "Bob" << 4;
        QTest::newRow("whole value, not a prefix") << 0 << "Bo" << 0;
        QTest::newRow("whole value, case-insensitive") << nocase << "BOBBY" << 2;
    }
    void locateOptions()
    {
        QFETCH(int, options);
        QFETCH(QString, typed);
        QFETCH(int, id);
        testsupport::ScriptedUiScope ui;
        ui.queueAnswers({false});
        CustomerSeek c(QStringLiteral("name"));
        c.seek.setLocateOptions(options);
        QVERIFY(execute(c.seek, [&](TfmSeek *) { enterEach({typed}); }));
        QCOMPARE(c.seek.Found(), id != 0);
        QCOMPARE(c.currentId(), id != 0 ? id : 1);
        QCOMPARE(ui.questions().size(), id != 0 ? 0 : 1);
    }

    // Field names with quotes, semicolons and blanks are searched like any other.
    void hostileFieldNames_data()
    {
        QTest::addColumn<QString>("seekField");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("sort");
        QTest::newRow("quote and semicolon: the whole text names it")
            << "IT'S; \"ODD\"" << QStringList{"q;3"} << 3 << "";
        QTest::newRow("blank and quote, found alone: sorted by it")
            << "code;nick name's" << QStringList{"", "Ann"} << 2 << "[nick name's]";
        QTest::newRow("blank and quote with another field")
            << "code;nick name's" << QStringList{"C", "Ann"} << 1 << "";
    }
    void hostileFieldNames()
    {
        QFETCH(QString, seekField);
        QFETCH(QStringList, typed);
        QFETCH(int, id);
        QFETCH(QString, sort);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(seekField);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->count(), typed.size());
            enterEach(typed);
        }));
        QCOMPARE(ui.messageTexts(), QStringList());
        QVERIFY(c.seek.Found());
        QCOMPARE(c.currentId(), id);
        QCOMPARE(c.ds.Sort(), sort);
    }

    // An error of the search itself (here: the pending change it must post first) is
    // reported; the dialog stays open for another try.
    void locateErrorIsReportedAndTheDialogStays()
    {
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("Name"));
        c.ds.Edit();
        c.ds.FieldByName(QStringLiteral("金額"))->setValue(-1.0);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::type(QStringLiteral("Bob"));
            drive::press(Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            QCOMPARE(ui.messages().size(), 1);
            QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
            QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
            QVERIFY2(ui.lastMessage().text.contains(QLatin1String("CHECK constraint failed")),
                     qPrintable(ui.lastMessage().text));
            QCOMPARE(drive::focused(), dialog->edit(1));
            drive::press(Qt::Key_Escape);
        }));
        QCOMPARE(c.seek.Found(), false);
        QVERIFY(ui.questions().isEmpty());
    }

    void f1ShowsTheHelpTopic_data()
    {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("requests");
        QTest::newRow("topic of the program's own help") << 8100 << "" << 1;
        QTest::newRow("topic of a help file") << 12 << "seek.hlp" << 1;
        QTest::newRow("no topic: nothing") << 0 << "" << 0;
    }
    void f1ShowsTheHelpTopic()
    {
        QFETCH(int, topic);
        QFETCH(QString, file);
        QFETCH(int, requests);
        testsupport::ScriptedUiScope ui;
        CustomerSeek c(QStringLiteral("code"));
        c.seek.setHelpContext(topic);
        c.seek.setHelpFile(file);
        QVERIFY(execute(c.seek, [&](TfmSeek *dialog) {
            drive::press(Qt::Key_F1);
            QVERIFY(dialog->isVisible());
            QCOMPARE(ui.helpRequests().size(), requests);
            if (requests) {
                QCOMPARE(ui.helpRequests().first().owner, static_cast<QObject *>(dialog));
                QCOMPARE(ui.helpRequests().first().topic, topic);
                QCOMPARE(ui.helpRequests().first().helpFile, file);
            }
            QCOMPARE(drive::focused(), dialog->edit(1));
            drive::press(Qt::Key_Escape);
        }));
    }

    // Fields handed over themselves, or named by text, whatever their names hold: each
    // gets its edit, and the value typed is searched in that very field (searching "a"
    // instead of "a;b" would find record 1). With one of two fields filled, the dataset
    // sorts by that field first, also when its name holds "," or "]".
    void fieldsOfAnyName_data()
    {
        QTest::addColumn<QStringList>("handedOver"); // fields given themselves
        QTest::addColumn<QString>("seekField");      // otherwise this text
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("typed");      // per edit, in order
        QTest::addColumn<int>("foundId");
        QTest::addColumn<QString>("sort");
        QTest::newRow("\"a;b\" handed over")
            << QStringList{"a;b"} << "" << QStringList{"a;b"} << QStringList{"p"} << 2 << "";
        QTest::newRow("\" \" by name") << QStringList{} << " " << QStringList{" "} << QStringList{"s2"} << 2 << "";
        QTest::newRow("\" 前後 \" by name")
            << QStringList{} << " 前後 " << QStringList{" 前後 "} << QStringList{"f2"} << 2 << "";
        QTest::newRow("\" 前後 \" handed over")
            << QStringList{" 前後 "} << "" << QStringList{" 前後 "} << QStringList{"f3"} << 3 << "";
        QTest::newRow("second of two filled, named with a comma")
            << QStringList{"a", "x,y"} << "" << QStringList{"a", "x,y"} << QStringList{"", "c"} << 2 << "[x,y]";
        QTest::newRow("second of two filled, named with brackets")
            << QStringList{"a;b", "]z["} << "" << QStringList{"a;b", "]z["} << QStringList{"", "q"} << 2
            << "[]]z[]";
    }
    void fieldsOfAnyName()
    {
        QFETCH(QStringList, handedOver);
        QFETCH(QString, seekField);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, typed);
        QFETCH(int, foundId);
        QFETCH(QString, sort);
        testsupport::ScriptedUiScope ui;
        OddNames o;
        o.ds.Last();
        TwSeek seek;
        seek.setDataSet(&o.ds);
        if (handedOver.isEmpty()) {
            seek.setSeekField(seekField);
        } else {
            std::vector<data::Field *> fields;
            for (const QString &name : handedOver)
                fields.push_back(o.field(name));
            seek.setSeekFields(fields);
            QCOMPARE(seek.SeekField(), handedOver.join(QLatin1Char(';')));
        }
        QVERIFY(execute(seek, [&](TfmSeek *dialog) {
            QCOMPARE(labelsOf(dialog), labels);
            enterEach(typed);
        }));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
        QVERIFY(seek.Found());
        QCOMPARE(o.currentId(), foundId);
        QCOMPARE(o.ds.Sort(), sort);
    }

    // Fields handed over are used only while the dataset still holds them: reopened with
    // other columns, the names are resolved as text.
    void handedOverFieldsOutlivedByTheDataset()
    {
        testsupport::ScriptedUiScope ui;
        OddNames o;
        TwSeek seek;
        seek.setDataSet(&o.ds);
        seek.setSeekFields({o.field(QStringLiteral("a;b"))});
        o.ds.Close();
        o.ds.setCommandText(QStringLiteral("Select a, id From odd"));
        o.ds.Open();
        QVERIFY(execute(seek, [&](TfmSeek *dialog) {
            QCOMPARE(labelsOf(dialog), QStringList{"a"}); // "a;b" read as a list: "a", then no "b"
            drive::press(Qt::Key_Escape);
        }));
    }

    // Every form the date check accepts finds the record holding that date, in a date
    // and in a date-time field (partial key: the day's first moment on).
    void acceptedDateFormsFind_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("foundId");
        QTest::newRow("date, one-digit month and day") << "d" << "2024/3/9" << 1;
        QTest::newRow("date, two digits") << "d" << "2024/03/09" << 1;
        QTest::newRow("date, one-digit month") << "d" << "2024/3/09" << 1;
        QTest::newRow("date, one-digit day") << "d" << "2024/03/9" << 1;
        QTest::newRow("date, blanks around") << "d" << " 2022/1/5 " << 3;
        QTest::newRow("date-time, one-digit day") << "t" << "2022/1/5" << 3;
        QTest::newRow("date-time at midnight") << "t" << "2023/11/20" << 2;
    }
    void acceptedDateFormsFind()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, foundId);
        testsupport::ScriptedUiScope ui; // an unanswered question (not found) fails the test
        OddNames o;
        o.ds.Next();
        TwSeek seek;
        seek.setDataSet(&o.ds);
        seek.setSeekField(field);
        QVERIFY(execute(seek, [&](TfmSeek *) { enterEach({typed}); }));
        QVERIFY(ui.questions().isEmpty());
        QVERIFY(seek.Found());
        QCOMPARE(o.currentId(), foundId);
    }
};

QTEST_MAIN(TestWSeek)
#include "tst_wseek.moc"
