// The network report's sheet: which tree nodes become rows, and the workbook as
// python3-xlrd reads it back (time row, titles, text cells, column B text-formatted,
// fitted widths, empty cells for empty texts, a file replaced whole).
#include "exchange/ExportError.h"
#include "exchange/XlrdWorkbook.h"
#include "network/NetReport.h"
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using network::NetReportRow;
using network::NetTreeNode;

namespace {

QList<NetTreeNode> nodes(std::initializer_list<std::pair<int, const char *>> list)
{
    QList<NetTreeNode> out;
    for (const auto &[level, text] : list)
        out << NetTreeNode{level, QString::fromUtf8(text)};
    return out;
}

// The neighbourhood tree of a small office, as the page builds it.
QList<NetTreeNode> officeTree()
{
    return nodes({{0, "WG1"},
                  {1, "PC1"}, {2, "10.0.0.1"}, {2, "001122334455"}, {2, "網路資源"}, {3, "PC1\\Public"},
                  {1, "PC2"}, {2, "10.0.0.2"}, {2, ""}, {2, "網路資源"},
                  {0, "EMPTY"},
                  {0, "工作群組"},
                  {1, "GHOST"}, {2, ""}, {2, ""}, {2, "網路資源"}});
}

} // namespace

class TestNetReport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void rows_data()
    {
        QTest::addColumn<QList<NetTreeNode>>("tree");
        QTest::addColumn<QList<NetReportRow>>("rows");
        QTest::newRow("office") << officeTree()
                                << QList<NetReportRow>{{"WG1", "PC1", "10.0.0.1", "001122334455"},
                                                       {"WG1", "PC2", "10.0.0.2", ""},
                                                       {"工作群組", "GHOST", "", ""}};
        QTest::newRow("workgroup without computers") << nodes({{0, "EMPTY"}}) << QList<NetReportRow>{};
        QTest::newRow("shares are not rows")
            << nodes({{0, "G"}, {1, "A"}, {2, "1.1.1.1"}, {2, "AA"}, {2, "網路資源"}, {3, "A\\x"}, {3, "A\\y"},
                      {1, "B"}, {2, "2.2.2.2"}, {2, "BB"}, {2, "網路資源"}})
            << QList<NetReportRow>{{"G", "A", "1.1.1.1", "AA"}, {"G", "B", "2.2.2.2", "BB"}};
        QTest::newRow("computer without its two address nodes") << nodes({{0, "G"}, {1, "A"}, {2, "1.1.1.1"}})
                                                                 << QList<NetReportRow>{};
        QTest::newRow("empty tree") << QList<NetTreeNode>{} << QList<NetReportRow>{};
    }

    void rows()
    {
        QFETCH(QList<NetTreeNode>, tree);
        QFETCH(QList<NetReportRow>, rows);
        QCOMPARE(network::netReportRows(tree), rows);
    }

    void workbookReadBack()
    {
        const QString path = dir.filePath(network::kNetReportFileName);
        network::writeNetReport(path, officeTree(), QDateTime(QDate(2024, 3, 9), QTime(7, 5, 59)));
        READ_XLS(book, path);
        QCOMPARE(book.rows, 5);
        QCOMPARE(book.columns, 4);
        auto text = [&book](int r, int c) {
            const testsupport::XlrdCell cell = book.cell(r, c);
            return cell.type == QLatin1String("text") ? cell.value.toString() : QStringLiteral("<%1>").arg(cell.type);
        };
        const QStringList expected[] = {
            {"產生日期時間：", "2024/03/09 07:05", "<>", "<>"},
            {"群組", "電腦名稱", "IP", "網卡卡號"},
            {"WG1", "PC1", "10.0.0.1", "001122334455"},
            {"WG1", "PC2", "10.0.0.2", "<>"},
            {"工作群組", "GHOST", "<>", "<>"},
        };
        for (int r = 0; r < 5; ++r)
            QCOMPARE((QStringList{text(r, 0), text(r, 1), text(r, 2), text(r, 3)}), expected[r]);
        QCOMPARE(book.columnInfo.value(1).format, QStringLiteral("@"));
        QCOMPARE(book.cell(1, 1).format, QStringLiteral("@"));
        QCOMPARE(book.cell(2, 1).format, QStringLiteral("@"));
        QCOMPARE(book.cell(2, 3).format, QStringLiteral("General"));
        // Widest cell + 1 character (CJK characters count two).
        QCOMPARE(book.columnInfo.value(0).width, (14 + 1) * 256); // 產生日期時間：
        QCOMPARE(book.columnInfo.value(1).width, (16 + 1) * 256); // 2024/03/09 07:05
        QCOMPARE(book.columnInfo.value(2).width, (8 + 1) * 256);  // 10.0.0.1
        QCOMPARE(book.columnInfo.value(3).width, (12 + 1) * 256); // 001122334455
    }

    void secondReportReplacesFirst()
    {
        const QString path = dir.filePath(QStringLiteral("again.xls"));
        network::writeNetReport(path, officeTree(), QDateTime::currentDateTime());
        network::writeNetReport(path, nodes({{0, "ONLY"}, {1, "ONE"}, {2, ""}, {2, ""}}), QDateTime::currentDateTime());
        READ_XLS(book, path);
        QCOMPARE(book.rows, 3);
        QCOMPARE(book.cell(2, 1).value.toString(), QStringLiteral("ONE"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"again.xls", network::kNetReportFileName}));
    }

    void unwritableFolderThrowsFileError()
    {
        const QString path = dir.filePath(QStringLiteral("no-such-folder/") + network::kNetReportFileName);
        QVERIFY_THROWS_EXCEPTION(exchange::ExportError, network::writeNetReport(path, officeTree(), QDateTime::currentDateTime()));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestNetReport)
#include "tst_netreport.moc"
