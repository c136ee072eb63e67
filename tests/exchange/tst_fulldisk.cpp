// Saving and exporting onto a full disk: the error carries the system's reason (not
// "Unknown error"), the file that was there stays as it was, and no temporary file is
// left beside it. Each writer is tried twice: with the disk full before it starts and
// with room for only part of the file, where the last buffered bytes are what fails.
#include "support/SmallDisk.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/rowsetxml/RowsetXml.h"
#include "exchange/CompoundFile.h"
#include "exchange/ExportError.h"
#include "exchange/TabTextExport.h"
#include <QtTest>
#include <functional>

namespace {

const QString kNoSpace = QStringLiteral("No space left on device");

struct Writer {
    const char *name;
    const char *file;
    std::function<void(const QString &path, const data::Dataset &rows)> write;
};

std::vector<uint32_t> allRows(size_t n)
{
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = uint32_t(i);
    return order;
}

const Writer kWriters[] = {
    {"rowset XML", "out.xml",
     [](const QString &path, const data::Dataset &ds) {
         data::rowsetxml::save(path, ds.columnInfos(), ds.store(), allRows(ds.store().rowCount()), false);
     }},
    {"tab text", "out.Txt",
     [](const QString &path, const data::Dataset &ds) {
         exchange::writeTabText(path, ds, {{QStringLiteral("Text"), 0}}, false);
     }},
    {"workbook container", "out.xls",
     [](const QString &path, const data::Dataset &ds) {
         std::string stream;
         for (size_t r = 0; r < ds.store().rowCount(); ++r)
             stream += ds.store().columns[0].textAt(r);
         exchange::writeCompoundFile(path, QStringLiteral("Workbook"), std::move(stream));
     }},
};

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const data::DatabaseError &e) {
        return e.message();
    } catch (const exchange::ExportError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestFullDisk : public QObject {
    Q_OBJECT

private slots:
    void failsWithTheSystemsReason_data()
    {
        QTest::addColumn<int>("writer");
        QTest::addColumn<qint64>("room");
        for (size_t w = 0; w < std::size(kWriters); ++w) {
            QTest::addRow("%s, disk full", kWriters[w].name) << int(w) << qint64(0);
            QTest::addRow("%s, room for part of it", kWriters[w].name) << int(w) << qint64(2048);
        }
    }

    void failsWithTheSystemsReason()
    {
        QFETCH(int, writer);
        QFETCH(qint64, room);
        const Writer &w = kWriters[writer];
        SmallDisk disk(512);
        if (!disk.mounted())
            QSKIP("cannot mount a tmpfs here (not root?)");
        data::Dataset ds;
        data::ColumnInfo text;
        text.name = QStringLiteral("Text");
        data::RowStore rows;
        rows.columns.emplace_back(data::StorageKind::Text);
        for (int r = 0; r < 40; ++r)
            rows.columns[0].appendText(std::string(100, char('a' + r % 26)));
        ds.OpenResult({text}, std::move(rows));

        const QString target = disk.path(QString::fromLatin1(w.file));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old file");
        old.close();
        disk.fill(room);

        const QString message = errorOf([&] { w.write(target, ds); });
        QVERIFY2(message.contains(kNoSpace), qPrintable(message));
        QVERIFY2(message.contains(target), qPrintable(message));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the old file"));
        QCOMPARE(disk.files(), (QStringList{QStringLiteral("filler"), QString::fromLatin1(w.file)}));
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
