// Data-link (.udl) files on real files: the encodings they come in, files that must be
// refused without hanging or exhausting memory, and a connection opened through one
// on a real SQLite file.
#include "data/core/Connection.h"
#include "data/core/DataLinkFile.h"
#include "data/core/DatabaseError.h"
#include "platform/Big5Codec.h"
#include "support/FailAlone.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace data;

namespace {

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray utf16LE(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

const QString kString = QStringLiteral("Provider=SQLite.1;Data Source=C:\\資料\\demo.db");
const QString kText = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") + kString +
                      QStringLiteral("\r\n");

} // namespace

class TestDataLinkFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-16le with mark") << QByteArray("\xFF\xFE") + utf16LE(kText);
        QTest::newRow("utf-16le without mark") << utf16LE(kText);
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + kText.toUtf8();
        QTest::newRow("utf-8") << kText.toUtf8();
        QTest::newRow("code page 950") << platform::big5Encode(kText);
        QTest::newRow("lf only, blank lines") << platform::big5Encode(QStringLiteral("[oledb]\n\n; c\n\n") + kString);
    }
    void encodings()
    {
        testsupport::failAlone([&] {
            QFETCH(QByteArray, bytes);
            const QString udl = path(QStringLiteral("enc.udl"));
            writeAll(udl, bytes);
            QCOMPARE(readDataLinkFile(udl), kString);
        });
    }

    void refused_data()
    {
        QTest::addColumn<QString>("file"); // a name in the folder, or an absolute path
        QTest::addColumn<QByteArray>("bytes"); // written to the name; null: made by the case
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.udl" << QByteArray() << "找不到資料連結檔";
        QTest::newRow("empty") << "empty.udl" << QByteArray("") << "不是資料連結檔 (沒有 [oledb] 標頭)";
        QTest::newRow("no header") << "garbage.udl" << QByteArray("garbage\r\nProvider=x\r\n")
                                   << "不是資料連結檔 (沒有 [oledb] 標頭)";
        QTest::newRow("no string") << "nostring.udl" << QByteArray("[oledb]\r\n; only a comment\r\n")
                                   << "資料連結檔中沒有連線字串";
        QTest::newRow("utf-16 of odd length") << "odd.udl" << QByteArray("\xFF\xFE") + utf16LE(kText) + "P"
                                              << "資料連結檔已損壞 (UTF-16 文字的位元組數為奇數)";
        QTest::newRow("too large") << "big.udl"
                                   << QByteArray("[oledb]\r\n" + QByteArray(kMaxDataLinkFileSize, ';') + "\r\nProvider=x")
                                   << "資料連結檔過大";
        QTest::newRow("device") << "/dev/zero" << QByteArray() << "不是資料連結檔 (不是一般檔案)";
        QTest::newRow("fifo") << "fifo.udl" << QByteArray() << "不是資料連結檔 (不是一般檔案)";
        QTest::newRow("folder") << "folder.udl" << QByteArray() << "不是資料連結檔 (不是一般檔案)";
    }
    void refused()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, file);
            QFETCH(QByteArray, bytes);
            QFETCH(QString, message);
            const QString udl = file.startsWith(QLatin1Char('/')) ? file : path(file);
            if (!bytes.isNull())
                writeAll(udl, bytes);
            if (file == QLatin1String("fifo.udl"))
                QCOMPARE(::mkfifo(QFile::encodeName(udl).constData(), 0600), 0);
            if (file == QLatin1String("folder.udl"))
                QVERIFY(QDir(dir.path()).mkdir(file));
            try {
                readDataLinkFile(udl);
                QFAIL("no error");
            } catch (const DatabaseError &e) {
                QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
                QVERIFY2(e.message().endsWith(udl), qPrintable(e.message()));
            }
        });
    }

    // The largest file allowed is still read.
    void largestAllowed()
    {
        testsupport::failAlone([&] {
            const QByteArray head = "[oledb]\r\n";
            const QByteArray tail = "\r\n" + kString.toUtf8();
            const QString udl = path(QStringLiteral("largest.udl"));
            writeAll(udl, head + QByteArray(kMaxDataLinkFileSize - head.size() - tail.size(), ';') + tail);
            QCOMPARE(QFileInfo(udl).size(), kMaxDataLinkFileSize);
            QCOMPARE(readDataLinkFile(udl), kString);
        });
    }

    // Written as UTF-16LE with its mark, replacing the file whole.
    void writeAndReadBack()
    {
        testsupport::failAlone([&] {
            const QString udl = path(QStringLiteral("written.udl"));
            writeAll(udl, QByteArray(100000, 'x'));
            writeDataLinkFile(udl, kString);
            QFile f(udl);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("\xFF\xFE") + utf16LE(kText));
            QCOMPARE(readDataLinkFile(udl), kString);
        });
    }

    // A file in code page 950 naming a database in a Chinese folder opens it.
    void connectsThroughAnAnsiFile()
    {
        testsupport::failAlone([&] {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("資料")));
            const QString db = path(QStringLiteral("資料/示範.db"));
            sqlite3 *handle = nullptr;
            QCOMPARE(sqlite3_open(db.toUtf8().constData(), &handle), SQLITE_OK);
            QCOMPARE(sqlite3_exec(handle, "CREATE TABLE 客戶 (id INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(handle);
            const QString udl = path(QStringLiteral("ansi.udl"));
            writeAll(udl, platform::big5Encode(QStringLiteral("[oledb]\r\n; x\r\nProvider=SQLite.1;Data Source=%1\r\n").arg(db)));
            Connection conn;
            conn.setConnectionString(QStringLiteral("FILE NAME=") + udl);
            conn.Open();
            QStringList tables;
            conn.GetTableNames(tables);
            QCOMPARE(tables, QStringList{QStringLiteral("客戶")});
        });
    }
};

QTEST_GUILESS_MAIN(TestDataLinkFile)
#include "tst_datalinkfile.moc"
