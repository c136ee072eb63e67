#pragma once
// The neighbourhood tree as a four-column sheet: row 1 the time it was made, row 2 the
// titles, then one row per computer with its workgroup, name, IPv4 text and adapter
// address, all kept as the text the tree shows (an address such as 001122334455 keeps
// its leading zeros). Column B is text-formatted; columns A to D are fitted to their
// content and widened by one character.
#include <QDateTime>
#include <QList>
#include <QString>

namespace network {

struct NetTreeNode {
    int level = 0;
    QString text;
};

struct NetReportRow {
    QString group, computer, ip, adapter;
    bool operator==(const NetReportRow &) const = default;
};

// One row per computer node, in tree order; the first two level-2 nodes under a computer
// are its address and adapter address; "網路資源" and the shares below are not read. A
// workgroup without computers gives no row.
QList<NetReportRow> netReportRows(const QList<NetTreeNode> &nodes);

// "網路資訊.xls"
inline const QString kNetReportFileName = QStringLiteral("網路資訊.xls");

// Builds the sheet and saves it at path (a temp file renamed over it). Throws
// exchange::ExportError with the file's own error text when it cannot be written.
void writeNetReport(const QString &path, const QList<NetTreeNode> &nodes, const QDateTime &when);

} // namespace network
