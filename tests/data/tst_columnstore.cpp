// The column store's text arena and arrays: values across block boundaries, values
// larger than a block, copies that stay independent, and promotion to text.
#include "data/core/ColumnStore.h"
#include "data/core/PageMemory.h"
#include "data/core/PodVector.h"
#include <QtTest>
#include <string>

using namespace data;

class TestColumnStore : public QObject {
    Q_OBJECT

private slots:
    // Sizes around the arena's block sizes (64 KiB doubling to 4 MiB) and one far beyond.
    void textSurvivesBlockBoundaries()
    {
        const std::vector<size_t> sizes = {0, 1, 65535, 2, 65536, 1, 131072, 4u << 20, 3, (4u << 20) + 1,
                                           9u << 20, 0, 17};
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
};

QTEST_GUILESS_MAIN(TestColumnStore)
#include "tst_columnstore.moc"
