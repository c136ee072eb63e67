#include "NetReport.h"
#include "exchange/DatasetWorkbook.h"
#include "exchange/Worksheet.h"

namespace network {

namespace {

enum class Expecting { Address, Adapter, Nothing };

constexpr int kReportColumns = 4;
const QString kTitles[kReportColumns] = {QStringLiteral("群組"), QStringLiteral("電腦名稱"), QStringLiteral("IP"),
                                         QStringLiteral("網卡卡號")};

// An empty text leaves its cell empty.
void putNodeText(exchange::Worksheet &sheet, int row, int column, const QString &text)
{
    if (!text.isEmpty())
        sheet.putText(row, column, text);
}

} // namespace

QList<NetReportRow> netReportRows(const QList<NetTreeNode> &nodes)
{
    QList<NetReportRow> rows;
    NetReportRow current;
    Expecting expecting = Expecting::Nothing;
    for (const NetTreeNode &node : nodes) {
        if (node.level == 0) {
            current.group = node.text;
            expecting = Expecting::Address;
        } else if (node.level == 1) {
            current.computer = node.text;
            expecting = Expecting::Address;
        } else if (node.level == 2 && expecting == Expecting::Address) {
            current.ip = node.text;
            expecting = Expecting::Adapter;
        } else if (node.level == 2 && expecting == Expecting::Adapter) {
            current.adapter = node.text;
            rows << current;
            expecting = Expecting::Nothing;
        }
    }
    return rows;
}

void writeNetReport(const QString &path, const QList<NetTreeNode> &nodes, const QDateTime &when)
{
    const QList<NetReportRow> rows = netReportRows(nodes);
    exchange::Worksheet::checkFits(exchange::kSheetHeaderRows + rows.size(), kReportColumns);
    exchange::Worksheet sheet;
    exchange::putGeneratedAt(sheet, when);
    for (int c = 0; c < kReportColumns; ++c)
        sheet.putText(1, c, kTitles[c]);
    int r = int(exchange::kSheetHeaderRows);
    for (const NetReportRow &row : rows) {
        putNodeText(sheet, r, 0, row.group);
        putNodeText(sheet, r, 1, row.computer);
        putNodeText(sheet, r, 2, row.ip);
        putNodeText(sheet, r, 3, row.adapter);
        ++r;
    }
    for (int c = 0; c < kReportColumns; ++c)
        sheet.fitColumn(c, 1);
    sheet.save(path);
}

} // namespace network
