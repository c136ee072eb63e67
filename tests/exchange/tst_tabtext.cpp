// The text export's file against the data layer's display texts, value by value, for
// every kind of column the store holds (the export reads the store directly for speed),
// and its code page 950 bytes.
#include "data/core/ColumnStore.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "exchange/Cp950Encoder.h"
#include "exchange/ExportError.h"
#include "exchange/TabTextExport.h"
#include "platform/Big5Codec.h"
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace exchange;

namespace {

data::ColumnInfo column(const char *name, data::TFieldType type)
{
    data::ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    return c;
}

} // namespace

class TestTabText : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void fileMatchesDisplayTexts()
    {
        const std::vector<data::ColumnInfo> columns = {
            column("r", data::ftFloat),     column("dt", data::ftDateTime), column("d", data::ftDate),
            column("t", data::ftTime),      column("i", data::ftLargeint),  column("b", data::ftBoolean),
            column("s", data::ftWideString), column("n", data::ftBCD),      column("m", data::ftWideMemo),
        };
        const double reals[] = {0.0, -0.0, 1.0, -1.5, 0.1, 123.45, 1e15, 1e16, 1.5e-5, 1e-300, 1.7976931348623157e308,
                                123456789.123456789, 2.0 / 3.0, std::numeric_limits<double>::infinity(),
                                std::nan(""), 5e-324};
        const QDateTime times[] = {
            QDateTime(QDate(2024, 1, 5), QTime(13, 45, 10), Qt::UTC), QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(1899, 12, 31), QTime(23, 59, 59, 999), Qt::UTC), QDateTime(QDate(1969, 12, 31), QTime(12, 0), Qt::UTC),
            QDateTime(QDate(1, 1, 1), QTime(0, 0, 0, 500), Qt::UTC), QDateTime(QDate(999, 3, 4), QTime(1, 2, 3), Qt::UTC),
            QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC), QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC),
        };
        data::RowStore rows;
        for (const auto &c : columns)
            rows.columns.emplace_back(data::storageFor(c.type));
        const int count = 24;
        for (int r = 0; r < count; ++r) {
            auto &cs = rows.columns;
            const bool null = r % 7 == 6;
            auto put = [&](size_t c, const QVariant &v) { null ? cs[c].appendNull() : cs[c].appendValue(v); };
            put(0, reals[r % std::size(reals)]);
            const qint64 ms = data::ColumnStore::toEpochMsecs(times[r % std::size(times)]);
            put(1, QVariant::fromValue(data::ColumnStore::fromEpochMsecs(ms)));
            put(2, QVariant::fromValue(data::ColumnStore::fromEpochMsecs(ms).date()));
            put(3, QVariant::fromValue(data::ColumnStore::fromEpochMsecs(ms).time()));
            put(4, qint64(r % 2 ? std::numeric_limits<qint64>::min() + r : std::numeric_limits<qint64>::max() - r));
            put(5, r % 2 == 0);
            put(6, QStringLiteral("文字 %1 é 😀").arg(r));
            put(7, QStringLiteral("%1.50").arg(r));
            put(8, QStringLiteral("memo %1").arg(r));
        }
        data::Dataset ds;
        ds.OpenResult(columns, std::move(rows));
        QCOMPARE(ds.RecordCount(), count);
        std::vector<TextColumn> exported;
        for (int f = 0; f < ds.FieldCount(); ++f)
            exported.push_back({ds.Fields(f)->FieldName(), f});

        const QString file = dir.filePath(QStringLiteral("kinds.Txt"));
        const TextExportResult result = writeTabText(file, ds, exported, false);
        QString expected = QStringLiteral("r\tdt\td\tt\ti\tb\ts\tn\tm\r\n");
        for (int r = 0; r < count; ++r) {
            QStringList values;
            for (int f = 0; f < ds.FieldCount(); ++f)
                values << ds.displayTextAt(r, f);
            expected += values.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
        }
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        const QStringList got = platform::big5Decode(bytes).split(QStringLiteral("\r\n"));
        const QStringList want = QString(expected).replace(QStringLiteral("😀"), QStringLiteral("?")).replace(QChar(0xE9), QLatin1Char('?')).split(QStringLiteral("\r\n"));
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got[i], want[i]);
        QCOMPARE(bytes, platform::big5Encode(expected));
        QCOMPARE(result.rows, qint64(count));
        QCOMPARE(result.valuesWithReplacements, qint64(count - count / 7)); // the emoji of each non-NULL text
    }

    void encoderAgreesWithTheCodec_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QByteArray>("bytes"); // empty: as the platform's codec encodes it
        QTest::newRow("ascii") << "abc 123 \t;\"'" << true << QByteArray();
        QTest::newRow("traditional chinese") << "產生日期時間：已產生檔案" << true << QByteArray();
        QTest::newRow("simplified only") << "简体字" << false << QByteArray();
        QTest::newRow("outside the BMP") << "a😀b" << false << QByteArray("a?b");
        // The character after a lone surrogate is kept.
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("x") << false << QByteArray("?x");
        QTest::newRow("latin-1 letters") << "café" << false << QByteArray("caf?");
        QTest::newRow("full-width forms") << "ＡＢ１２，" << true << QByteArray();
    }

    void encoderAgreesWithTheCodec()
    {
        QFETCH(QString, text);
        QFETCH(bool, exact);
        QFETCH(QByteArray, bytes);
        std::string out;
        QCOMPARE(Cp950Encoder::instance().append(text, out), exact);
        QCOMPARE(QByteArray::fromStdString(out), bytes.isEmpty() ? platform::big5Encode(text) : bytes);
        std::string fromUtf8;
        if (!text.contains(QChar(0xD800))) { // UTF-8 cannot hold a lone surrogate
            QCOMPARE(Cp950Encoder::instance().appendUtf8(text.toStdString(), fromUtf8), exact);
            QCOMPARE(fromUtf8, out);
        }
    }
};

QTEST_GUILESS_MAIN(TestTabText)
#include "tst_tabtext.moc"
