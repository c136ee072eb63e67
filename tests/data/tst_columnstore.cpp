// The column store's text arena and arrays: values across block boundaries, values
// larger than a block, copies that stay independent, and promotion to text.
#include "data/core/ColumnStore.h"
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
};

QTEST_GUILESS_MAIN(TestColumnStore)
#include "tst_columnstore.moc"
