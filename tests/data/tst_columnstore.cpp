// The column store's text arena and arrays: values across block boundaries, values
// larger than a block, copies that stay independent, and promotion to text; integers in
// the narrowest width, repeated texts stored once, and the fill's room given back.
#include "data/core/ColumnStore.h"
#include "data/core/PageMemory.h"
#include "data/core/PodVector.h"
#include <QtTest>
#include <algorithm>
#include <climits>
#include <string>

using namespace data;

class TestColumnStore : public QObject {
    Q_OBJECT

private slots:
    // Sizes around the arena's block sizes (64 KiB doubling to 4 MiB) and one far beyond.
    void textSurvivesBlockBoundaries()
    {
        const std::vector<size_t> sizes = {0, 1, 65535, 2, 65536, 1, 131072, 4u << 20, 3, (4u << 20) + 1,
                                           9u << 20, 0, 17, (1u << 20) - 2, (1u << 20) - 1, 1u << 20, 5};
        ColumnStore cs(StorageKind::Text);
        std::vector<std::string> expected;
        for (size_t i = 0; i < sizes.size(); ++i) {
            expected.emplace_back(sizes[i], char('a' + i));
            cs.appendText(expected.back());
            if (i % 3 == 0)
                cs.appendNull();
        }
        size_t row = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            QCOMPARE(cs.textAt(row).size(), expected[i].size());
            QVERIFY(cs.textAt(row) == expected[i]);
            QVERIFY(!cs.isNull(row));
            ++row;
            if (i % 3 == 0) {
                QVERIFY(cs.isNull(row));
                QVERIFY(cs.textAt(row).empty());
                ++row;
            }
        }
        QCOMPARE(cs.size(), row);
    }

    // A copied store and its original go on growing apart without touching each other.
    void copiesAreIndependent()
    {
        ColumnStore a(StorageKind::Text);
        for (int i = 0; i < 1000; ++i)
            a.appendText(std::to_string(i) + std::string(100, 'x'));
        ColumnStore b = a;
        a.appendText("only in a");
        b.appendText("only in b");
        b.setValue(0, QStringLiteral("changed in b"));
        QCOMPARE(a.size(), size_t(1001));
        QCOMPARE(b.size(), size_t(1001));
        QVERIFY(a.textAt(1000) == "only in a");
        QVERIFY(b.textAt(1000) == "only in b");
        QVERIFY(a.textAt(0) == "0" + std::string(100, 'x'));
        QVERIFY(b.textAt(0) == "changed in b");
        QVERIFY(a.textAt(999) == b.textAt(999));

        ColumnStore ints(StorageKind::Int);
        for (int i = 0; i < 100000; ++i)
            ints.appendInt(i);
        ColumnStore moved = std::move(ints);
        ColumnStore copied = moved;
        copied.setValue(5, qint64(-5));
        QCOMPARE(moved.intAt(5), int64_t(5));
        QCOMPARE(copied.intAt(5), int64_t(-5));
        QCOMPARE(copied.intAt(99999), int64_t(99999));
    }

    // A text value arriving in a number column turns every earlier value into text.
    void promotionKeepsEveryValue()
    {
        ColumnStore cs(StorageKind::Int);
        for (int i = 0; i < 70000; ++i)
            i % 7 ? cs.appendInt(i) : cs.appendNull();
        cs.appendText("tail");
        QCOMPARE(cs.kind(), StorageKind::Text);
        QCOMPARE(cs.size(), size_t(70001));
        QVERIFY(cs.isNull(0));
        QVERIFY(cs.textAt(1) == "1");
        QVERIFY(cs.textAt(69999) == "69999");
        QVERIFY(cs.textAt(70000) == "tail");
    }

    // Arrays grow from the C library's memory into huge-page mappings and shrink back;
    // each step keeps every value.
    void arraysKeepValuesAcrossMappingSizes()
    {
        PodVector<uint32_t> v;
        const size_t large = pagememory::kLargeBytes / sizeof(uint32_t);
        for (uint32_t i = 0; i < 5 * large; ++i)
            v.push_back(i * 2654435761u);
        QCOMPARE(v.size(), 5 * large);
        for (size_t i = 0; i < v.size(); i += 997)
            QCOMPARE(v[i], uint32_t(i * 2654435761u));
        QCOMPARE(v[v.size() - 1], uint32_t((5 * large - 1) * 2654435761u));

        PodVector<uint32_t> copy = v;
        copy.resize(100, 0);
        for (uint32_t i = 0; i < 100; ++i)
            copy[i] = i;
        copy.shrink_to_fit(); // from a mapping back to the C library
        QCOMPARE(copy.capacity(), size_t(100));
        QCOMPARE(copy[99], 99u);
        QCOMPARE(v[12345], uint32_t(12345 * 2654435761u)); // the original untouched

        void *block = pagememory::allocate(3 * pagememory::kLargeBytes);
        std::memset(block, 7, 3 * pagememory::kLargeBytes);
        block = pagememory::resize(block, 3 * pagememory::kLargeBytes, 100);
        QCOMPARE(static_cast<unsigned char *>(block)[99], 7);
        pagememory::release(block, 100);
    }

    // NULL flags appear with the first NULL, wherever it comes, and setValue can make and
    // clear NULLs in a column that had none.
    void nullsFromTheFirstNullOn()
    {
        ColumnStore late(StorageKind::Int);
        for (int i = 0; i < 300000; ++i)
            late.appendInt(i);
        late.appendNull();
        late.appendInt(7);
        QVERIFY(!late.isNull(0) && !late.isNull(299999) && late.isNull(300000) && !late.isNull(300001));
        QVERIFY(!late.value(300000, ftInteger).isValid());

        ColumnStore none(StorageKind::Text);
        none.appendText("a");
        none.appendText("b");
        none.setValue(1, QVariant());
        QVERIFY(!none.isNull(0) && none.isNull(1));
        none.setValue(1, QStringLiteral("c"));
        QVERIFY(!none.isNull(1) && none.textAt(1) == "c");
        none.appendValue(QVariant());
        none.appendValue(QStringLiteral("d"));
        QCOMPARE(none.size(), size_t(4));
        QVERIFY(none.isNull(2) && !none.isNull(3));

        ColumnStore reals(StorageKind::Real);
        reals.appendReal(1.5);
        reals.appendNull();
        reals.appendText("x"); // promotion keeps the NULL where it was
        QVERIFY(!reals.isNull(0) && reals.isNull(1) && !reals.isNull(2));
        QVERIFY(reals.textAt(0) == "1.5");
    }

    // Each value pushes the column past one width (1, 2, 4, 8 bytes); every earlier value
    // reads back the same, appended or set, in the original and in a copy.
    void integersWidenKeepingEveryValue()
    {
        const std::vector<int64_t> values = {0, -128, 127, 128, -129, 32767, -32768, 40000, -70000,
                                             INT32_MAX, INT32_MIN, int64_t(INT32_MAX) + 1, INT64_MIN,
                                             INT64_MAX, 1, -1};
        ColumnStore cs(StorageKind::Int);
        for (int64_t v : values)
            cs.appendInt(v);
        for (size_t i = 0; i < values.size(); ++i)
            QCOMPARE(cs.intAt(i), values[i]);

        ColumnStore set(StorageKind::Int);
        for (size_t i = 0; i < values.size(); ++i)
            set.appendInt(1);
        for (size_t i = 0; i < values.size(); ++i)
            set.setValue(i, qint64(values[i]));
        ColumnStore copy = set;
        copy.setValue(0, qint64(-5));
        for (size_t i = 1; i < values.size(); ++i)
            QCOMPARE(copy.intAt(i), values[i]);
        QCOMPARE(set.intAt(0), int64_t(0));
        QCOMPARE(copy.intAt(0), int64_t(-5));

        ColumnStore money(StorageKind::Money);
        money.appendMoney(12345);
        money.appendMoney(int64_t(9e17));
        QVERIFY(money.value(0, ftCurrency).toString() == QStringLiteral("1.2345"));
        QCOMPARE(money.moneyAt(1), int64_t(9e17));
    }

    // Flags and small counts cost a byte a row, not eight.
    void smallIntegersTakeLittleRoom()
    {
        const size_t rows = 200000;
        ColumnStore flags(StorageKind::Int);
        for (size_t i = 0; i < rows; ++i)
            flags.appendInt(int64_t(i & 1));
        flags.releaseSlack();
        QVERIFY2(flags.memoryBytes() <= rows + 4096, qPrintable(QString::number(flags.memoryBytes())));
        QCOMPARE(flags.intAt(rows - 1), int64_t(1));
        QVERIFY(!flags.isNull(rows - 1));
    }

    // A column of five cities over many rows stores each city once; NULLs, empty texts,
    // a value set later and a copy that grows apart all read back right.
    void repeatedTextsStoredOnce()
    {
        const char *const cities[] = {"台北", "台中", "高雄", "Tainan", "新竹"};
        const size_t rows = 100000;
        ColumnStore cs(StorageKind::Text);
        for (size_t i = 0; i < rows; ++i) {
            if (i % 10 == 3)
                cs.appendNull();
            else if (i % 10 == 4)
                cs.appendText("");
            else
                cs.appendText(cities[i % 5]);
        }
        cs.releaseSlack();
        QVERIFY2(cs.memoryBytes() < rows * 2, qPrintable(QString::number(cs.memoryBytes())));
        cs.setValue(7, QStringLiteral("嘉義"));
        ColumnStore copy = cs;
        copy.appendText("台北");
        copy.appendText("only in the copy");
        cs.appendText("only in the original");
        for (size_t i = 0; i < rows; ++i) {
            const std::string expected = i == 7 ? "嘉義" : i % 10 == 3 || i % 10 == 4 ? "" : cities[i % 5];
            QVERIFY(cs.textAt(i) == expected);
            QVERIFY(copy.textAt(i) == expected);
            QCOMPARE(cs.isNull(i), i % 10 == 3);
        }
        QVERIFY(copy.textAt(rows) == "台北");
        QVERIFY(copy.textAt(rows + 1) == "only in the copy");
        QVERIFY(cs.textAt(rows) == "only in the original");
        QVERIFY(cs.value(1, ftWideString).toString() == QStringLiteral("台中"));
    }

    // Columns whose values do not repeat (all distinct; a long value among repeated ones;
    // many distinct values after a repetitive start) keep every value, set or appended.
    void variedTextsKeepEveryValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("repeatingRows"); // rows before the values start to differ
        QTest::addColumn<int>("longAt");        // row of a 300-byte value, -1 for none
        QTest::newRow("all distinct") << 20000 << 0 << -1;
        QTest::newRow("long value among repeated") << 5000 << 5000 << 1234;
        QTest::newRow("distinct after a repetitive start") << 150000 << 20000 << -1;
    }
    void variedTextsKeepEveryValue()
    {
        QFETCH(int, rows);
        QFETCH(int, repeatingRows);
        QFETCH(int, longAt);
        auto valueOf = [&](int i) {
            if (i == longAt)
                return std::string(300, 'L');
            return i < repeatingRows ? "same " + std::to_string(i % 3) : "value " + std::to_string(i);
        };
        ColumnStore cs(StorageKind::Text);
        for (int i = 0; i < rows; ++i)
            cs.appendText(valueOf(i));
        cs.setValue(1, QStringLiteral("set later"));
        cs.appendText("after");
        cs.releaseSlack();
        for (int i = 0; i < rows; ++i)
            QVERIFY(cs.textAt(size_t(i)) == (i == 1 ? std::string("set later") : valueOf(i)));
        QVERIFY(cs.textAt(size_t(rows)) == "after");
    }

    // At the end of a fill the room kept for more rows goes back; values stay and the
    // column can still grow.
    void releasingSlackKeepsValues()
    {
        ColumnStore ints(StorageKind::Int), texts(StorageKind::Text);
        const size_t rows = 700000;
        for (size_t i = 0; i < rows; ++i) {
            ints.appendInt(int64_t(i) * 1000);
            texts.appendText("row " + std::to_string(i));
            if (i % 100 == 0)
                texts.appendNull();
        }
        const size_t before = ints.memoryBytes() + texts.memoryBytes();
        ints.releaseSlack();
        texts.releaseSlack();
        QVERIFY(ints.memoryBytes() + texts.memoryBytes() < before);
        QVERIFY(ints.memoryBytes() < rows * 4 + (2u << 20));
        ints.appendInt(-1);
        texts.appendText("one more");
        QCOMPARE(ints.intAt(rows - 1), int64_t(rows - 1) * 1000);
        QCOMPARE(ints.intAt(rows), int64_t(-1));
        QVERIFY(texts.textAt(texts.size() - 2) == "row " + std::to_string(rows - 1));
        QVERIFY(texts.textAt(texts.size() - 1) == "one more");
        QVERIFY(texts.isNull(1) && texts.textAt(0) == "row 0");

        ColumnStore empty(StorageKind::Text);
        empty.releaseSlack();
        empty.appendText("first");
        QVERIFY(empty.textAt(0) == "first");
    }

    // NULL flags at word boundaries of their bits, set and cleared in any order.
    void nullFlagsAtWordBoundaries()
    {
        ColumnStore cs(StorageKind::Real);
        for (int i = 0; i < 200; ++i)
            cs.appendReal(i);
        const std::vector<size_t> rows = {63, 64, 0, 127, 128, 199};
        for (size_t r : rows)
            cs.setValue(r, QVariant());
        for (size_t r = 0; r < 200; ++r)
            QCOMPARE(cs.isNull(r), std::find(rows.begin(), rows.end(), r) != rows.end());
        cs.setValue(64, 2.5);
        QVERIFY(cs.isNull(63) && !cs.isNull(64) && cs.isNull(127));
        QCOMPARE(cs.realAt(64), 2.5);
        QVERIFY(!cs.isNull(500));
    }
};

QTEST_GUILESS_MAIN(TestColumnStore)
#include "tst_columnstore.moc"
