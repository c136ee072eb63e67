// The seek dialog's size and place on a 1280 x 800 screen: wide fields keep their
// length but not an edit wider than the screen, the dialog stays on the screen wherever
// its anchor points, and its width and height are the outer size, frame included.
#include "SeekTestDriver.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/ScriptedUi.h"
#include "support/SqliteDataset.h"
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

using namespace components;
using seektest::execute;

namespace {

constexpr QSize kScreen(1280, 800);

struct WideFields : testsupport::SqliteDataset {
    WideFields()
        : SqliteDataset(QStringLiteral("wide.db"),
                        "CREATE TABLE wide (n8 NVARCHAR(8), n20 NVARCHAR(20), n300 NVARCHAR(300),"
                        " n4000 NVARCHAR(4000));"
                        "INSERT INTO wide VALUES ('a', 'b', 'c', 'd');",
                        QStringLiteral("Select * From wide"))
    {
    }
};

} // namespace

class TestWSeekScreen : public QObject {
    Q_OBJECT
private slots:
    void theScreen()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(QPoint(0, 0), kScreen));
    }

    void fitsTheScreen_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("editWidth");
        QTest::addColumn<QPoint>("at"); // outer top-left; (-1, -1): centred
        const int widest = kScreen.width() - 70;
        QTest::newRow("nvarchar(8): as designed") << "n8" << 112 << 0 << 0 << 85 << QPoint(-1, -1);
        QTest::newRow("nvarchar(300): capped, centred") << "n300" << 112 << 0 << 0 << widest << QPoint(-1, -1);
        QTest::newRow("nvarchar(4000): capped, centred") << "n4000" << 112 << 0 << 0 << widest << QPoint(-1, -1);
        QTest::newRow("anchor beyond the right edge") << "n20" << 1200 << 100 << 300 << 205 << QPoint(-2, 100);
        QTest::newRow("anchor below the bottom") << "n20" << 1000 << 790 << 0 << 205 << QPoint(-3, -2);
        QTest::newRow("anchor left of the screen") << "n20" << 400 << -50 << -600 << 205 << QPoint(0, 0);
    }
    void fitsTheScreen()
    {
        QFETCH(QString, field);
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(int, editWidth);
        QFETCH(QPoint, at);
        testsupport::ScriptedUiScope ui;
        WideFields w;
        TwSeek seek;
        seek.setDataSet(&w.ds);
        seek.setSeekField(field);
        seek.setLeft(left);
        seek.setTop(top);
        seek.setWidth(width);
        const int displayWidth = w.ds.FieldByName(field)->DisplayWidth();
        QVERIFY(execute(seek, [&](TfmSeek *dialog) {
            SeekEdit *edit = dialog->edit(1);
            QCOMPARE(edit->width(), editWidth);
            QCOMPARE(edit->maxLength(), displayWidth);
            const QRect outer = dialog->frameGeometry();
            // Width and height are the outer size; the frame comes off the inside.
            QCOMPARE(outer.width(), dialog->Bevel1->width() + 30);
            QCOMPARE(outer.height(), dialog->ToolBar1->y() + dialog->ToolBar1->height() + 40);
            QVERIFY(dialog->size() != outer.size());
            QVERIFY2(QRect(QPoint(0, 0), kScreen).contains(outer),
                     qPrintable(QStringLiteral("%1,%2 %3x%4").arg(outer.x()).arg(outer.y())
                                    .arg(outer.width()).arg(outer.height())));
            const QRect exit(dialog->spdExit->mapToGlobal(QPoint(0, 0)), dialog->spdExit->size());
            QVERIFY(QRect(QPoint(0, 0), kScreen).contains(exit));
            const QPoint centred((kScreen.width() - outer.width()) / 2, (kScreen.height() - outer.height()) / 2);
            const QPoint expected(at.x() == -1 ? centred.x() : at.x() == -2 ? kScreen.width() - outer.width()
                                  : at.x() == -3 ? left + width - outer.width() : at.x(),
                                  at.y() == -1 ? centred.y() : at.y() == -2 ? kScreen.height() - outer.height()
                                                                            : at.y());
            QCOMPARE(outer.topLeft(), expected);
            drive::press(Qt::Key_Escape);
        }));
        QVERIFY(ui.messages().isEmpty());
    }
};

// The screen is the offscreen platform's, configured 1280 x 800 before the application
// starts.
int main(int argc, char **argv)
{
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QStringLiteral("{\"windowFrameMargins\": true, \"screens\": [{\"name\": \"S\", \"x\": 0, "
                                  "\"y\": 0, \"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                  "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                       .arg(kScreen.width())
                       .arg(kScreen.height())
                       .toUtf8()) < 0)
        return 2;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TestWSeekScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wseek_screen.moc"
