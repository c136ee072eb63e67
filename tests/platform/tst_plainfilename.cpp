// Captions and table names made into file names: each result is one plain file name,
// and a file written under it in a folder lands in that folder.
#include "platform/PlainFileName.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using platform::plainFileName;

class TestPlainFileName : public QObject {
    Q_OBJECT
private slots:
    void reduces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Orders" << "Orders";
        QTest::newRow("Chinese with blanks") << " 客戶 資料 " << " 客戶 資料 ";
        QTest::newRow("schema and name keep their dot") << "dbo.Orders" << "dbo.Orders";
        QTest::newRow("extension stays") << "Orders.XML" << "Orders.XML";
        QTest::newRow("quotes and semicolon") << "a 'b'; \"c\"" << "a 'b'; \"c\"";
        QTest::newRow("climbs two folders") << "../../escape" << "______escape";
        QTest::newRow("absolute folder") << "/tmp/x" << "_tmp_x";
        QTest::newRow("backslashes") << "D:\\Out\\Orders" << "D:_Out_Orders";
        QTest::newRow("dot") << "." << "_";
        QTest::newRow("dot dot") << ".." << "__";
        QTest::newRow("hidden") << ".profile" << "_profile";
        QTest::newRow("dots inside stay") << "a..b." << "a..b.";
        QTest::newRow("separator only") << "/" << "_";
        QTest::newRow("control characters") << QStringLiteral("a\tb\nc\rd\x01" "e\x7f") << "a_b_c_d_e_";
        QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << "a_b";
        QTest::newRow("unpaired surrogate") << QString(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")) << "a_b";
        QTest::newRow("pair outside the BMP stays") << QStringLiteral("a😀b") << QStringLiteral("a😀b");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("long ASCII") << QString(300, QLatin1Char('x')) << QString(200, QLatin1Char('x'));
        QTest::newRow("long Chinese cut at a character") << QString(100, QChar(0x8868)) << QString(66, QChar(0x8868));
        QTest::newRow("long pairs never split") << QStringLiteral("😀").repeated(60) << QStringLiteral("😀").repeated(50);
    }
    void reduces()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(plainFileName(text), name);
    }

    // Written with a prefix and an extension, every reduced name is a file of the folder.
    void writesInsideTheFolder_data() { reduces_data(); }
    void writesInsideTheFolder()
    {
        QFETCH(QString, text);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("a/b/out")));
        const QString folder = root.filePath(QStringLiteral("a/b/out"));
        const QString path = folder + QLatin1Char('/') + QStringLiteral("Create_") + plainFileName(text) + QStringLiteral(".sql");
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
        file.close();
        QCOMPARE(QFileInfo(path).absolutePath(), folder);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(QDir(root.filePath(QStringLiteral("a/b"))).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }
};

QTEST_APPLESS_MAIN(TestPlainFileName)
#include "tst_plainfilename.moc"
