// The window's XML document ("載入XML檔案"): well-formed files load in any encoding and
// size, malformed ones fail with the reader's text and position, external entities are
// never fetched, and entity expansion is bounded per entity and per file.
#include "exchange/XmlDocument.h"
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using exchange::XmlDocument;
using exchange::XmlDocumentError;

namespace {

QByteArray entityFlood(int entityLength, int references)
{
    return "<?xml version='1.0'?>\n<!DOCTYPE r [<!ENTITY big '" + QByteArray(entityLength, 'x') + "'>]>\n<r>" +
           QByteArray("&big;").repeated(references) + "</r>";
}

QByteArray laughs()
{
    QByteArray doc = "<?xml version='1.0'?>\n<!DOCTYPE l [\n<!ENTITY l0 'lol'>\n";
    for (int i = 1; i <= 9; ++i)
        doc += "<!ENTITY l" + QByteArray::number(i) + " '" + QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) +
               "'>\n";
    return doc + "]>\n<l>&l9;</l>";
}

QByteArray utf16(const QByteArray &utf8)
{
    QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return encoder.encode(QString::fromUtf8(utf8));
}

const QString kPerEntity = QStringLiteral("XML 檔案的實體展開超過上限 (4096 個字元)，不予載入!!");
const QString kPerFile = QStringLiteral("XML 檔案的實體展開超過上限 (1048576 個字元)，不予載入!!");

} // namespace

class TestXmlDocument : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QByteArray &bytes)
    {
        const QString file = dir.filePath(QStringLiteral("doc.xml"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return QString();
        return file;
    }

private slots:
    void wellFormedFilesLoad_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("root");
        QTest::addColumn<qint64>("elements");
        QTest::newRow("plain") << QByteArray("<xml><a/><b>t</b></xml>") << QStringLiteral("xml") << qint64(3);
        QTest::newRow("prefixed, Chinese") << QByteArray("<rs:資料 xmlns:rs='urn:x'><列 名稱='甲'/></rs:資料>")
                                           << QStringLiteral("rs:資料") << qint64(2);
        QTest::newRow("UTF-16 with BOM") << utf16("<?xml version='1.0' encoding='UTF-16'?><根><子/></根>")
                                         << QStringLiteral("根") << qint64(2);
        QTest::newRow("small entities used a little") << entityFlood(100, 100) << QStringLiteral("r") << qint64(1);
        QTest::newRow("external entity left alone")
            << QByteArray("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY ext SYSTEM 'file:///no/such/file.txt'>]><r>&ext;</r>")
            << QStringLiteral("r") << qint64(1);
        QTest::newRow("external DTD not fetched")
            << QByteArray("<?xml version='1.0'?><!DOCTYPE r SYSTEM 'http://127.0.0.1:9/none.dtd'><r/>")
            << QStringLiteral("r") << qint64(1);
        QByteArray rows = "<xml><rs:data xmlns:rs='urn:x' xmlns:z='#z'>";
        const QByteArray row = "<z:row a='1' b='客戶 &amp; 供應商' c='2024-03-09T14:05:06'/>\r\n";
        rows += row.repeated(200000) + "</rs:data></xml>";
        QTest::newRow("large file") << rows << QStringLiteral("xml") << qint64(200002);
    }

    void wellFormedFilesLoad()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, root);
        QFETCH(qint64, elements);
        const QString file = write(bytes);
        XmlDocument doc;
        try {
            doc.loadFromFile(file);
        } catch (const XmlDocumentError &e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(doc.isLoaded());
        QCOMPARE(doc.fileName(), file);
        QCOMPARE(doc.rootName(), root);
        QCOMPARE(doc.elementCount(), elements);
    }

    void badFilesFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("mismatched tag") << QByteArray("<a>\n  <b></a>")
                                        << QStringLiteral("XML 檔案格式錯誤：Opening and ending tag mismatch.\n\r第 2 行，第 10 欄");
        QTest::newRow("truncated") << QByteArray("<a><b>text")
                                   << QStringLiteral("XML 檔案格式錯誤：Premature end of document.\n\r第 1 行，第 11 欄");
        QTest::newRow("empty") << QByteArray()
                               << QStringLiteral("XML 檔案格式錯誤：Premature end of document.\n\r第 1 行，第 1 欄");
        QTest::newRow("two roots") << QByteArray("<a/><b/>")
                                   << QStringLiteral("XML 檔案格式錯誤：Extra content at end of document.\n\r第 1 行，第 9 欄");
        QTest::newRow("undeclared entity")
            << QByteArray("<a>&nope;</a>")
            << QStringLiteral("XML 檔案格式錯誤：Entity 'nope' not declared.\n\r第 1 行，第 10 欄");
        QTest::newRow("billion laughs") << laughs() << kPerEntity;
        QTest::newRow("entity defined through itself")
            << QByteArray("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY a '&b;'><!ENTITY b '&a;'>]><r>&a;</r>") << kPerEntity;
        QTest::newRow("one large entity repeated") << entityFlood(4000, 300) << kPerFile;
        QTest::newRow("repeated, UTF-16") << utf16(entityFlood(4000, 300)) << kPerFile;
        QTest::newRow("repeated in attributes")
            << QByteArray("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY big '" + QByteArray(4000, 'y') + "'>]><r>" +
                          QByteArray("<e v='&big;&big;'/>").repeated(200) + "</r>")
            << kPerFile;
    }

    void badFilesFail()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        XmlDocument doc;
        doc.loadFromFile(write(QByteArray("<ok/>")));
        QVERIFY(doc.isLoaded());
        const QString file = write(bytes);
        QString error;
        try {
            doc.loadFromFile(file);
        } catch (const XmlDocumentError &e) {
            error = e.message();
        }
        QCOMPARE(error, message);
        QCOMPARE(QString::fromUtf8(XmlDocumentError(message).what()), message);
        QVERIFY(!doc.isLoaded());
        QCOMPARE(doc.elementCount(), 0);
    }

    void missingFile()
    {
        XmlDocument doc;
        const QString file = dir.filePath(QStringLiteral("none.xml"));
        try {
            doc.loadFromFile(file);
            QFAIL("loaded a missing file");
        } catch (const XmlDocumentError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("無法開啟 \"%1\"：").arg(file)), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestXmlDocument)
#include "tst_xmldocument.moc"
