// The table-name list reports every click a person makes, also after a double click
// whose closing release went to a box the double click opened.
#include "app/gui/TableListBox.h"
#include "support/GuiDriver.h"
#include <QMouseEvent>
#include <QtTest>

using gui::TableListBox;

class TestTableListBox : public QObject {
    Q_OBJECT
private slots:
    void clickAfterDoubleClick_data();
    void clickAfterDoubleClick();
};

namespace {

struct List {
    TableListBox box;
    QStringList events;
    List()
    {
        box.addItems({QStringLiteral("客戶"), QStringLiteral("訂單"), QStringLiteral("地區")});
        box.resize(200, 200);
        QObject::connect(&box, &TableListBox::userClicked, [this] {
            events << QStringLiteral("click ") + box.currentItem()->text();
        });
        QObject::connect(&box, &TableListBox::userDoubleClicked, [this] {
            events << QStringLiteral("double ") + box.currentItem()->text();
        });
    }
    QPoint at(int row) { return box.visualItemRect(box.item(row)).center(); }
};

} // namespace

void TestTableListBox::clickAfterDoubleClick_data()
{
    QTest::addColumn<bool>("boxTookRelease");
    QTest::newRow("the double click ends in the list") << false;
    QTest::newRow("a box opened by the double click took its release") << true;
}

void TestTableListBox::clickAfterDoubleClick()
{
    QFETCH(bool, boxTookRelease);
    List l;
    QVERIFY(drive::showActive(&l.box));
    QWidget *vp = l.box.viewport();
    // A double click on 客戶 as the window system delivers it: press, release, press,
    // double click, release.
    QTest::mousePress(vp, Qt::LeftButton, {}, l.at(0));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, l.at(0));
    QTest::mousePress(vp, Qt::LeftButton, {}, l.at(0));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, l.at(0), vp->mapToGlobal(l.at(0)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &dbl);
    if (!boxTookRelease)
        QTest::mouseRelease(vp, Qt::LeftButton, {}, l.at(0));
    QCOMPARE(l.events, (QStringList{"click 客戶", "double 客戶"}));
    // The next click, on 訂單, is a click.
    QTest::mouseClick(vp, Qt::LeftButton, {}, l.at(1));
    QCOMPARE(l.events, (QStringList{"click 客戶", "double 客戶", "click 訂單"}));
}

QTEST_MAIN(TestTableListBox)
#include "tst_tablelistbox.moc"
