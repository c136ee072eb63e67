#pragma once
// The network page's tree as the network library sees it: a sink that grows the tree node
// by node (repainting it after each computer), and the tree read back in its flat order.
// netScanProgressText / netScanStoppedText are panel 3's texts during and after a scan.
#include "network/NetReport.h"
#include "network/NetTree.h"
#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

namespace gui {

class BatchStop;

class NetTreeView final : public network::NetTreeSink {
public:
    // With a stop, each finished computer counts in its panel and lets Esc or its button
    // end the scan; while a lookup waits the window paints and takes Esc.
    explicit NetTreeView(QTreeWidget *tree, BatchStop *stop = nullptr);
    void addNode(int level, const QString &text) override;
    void computerDone() override;
    bool stopRequested() override;
    bool keepWaiting() override;
    int computers() const { return computers_; }

private:
    QTreeWidget *tree_;
    BatchStop *stop_;
    int computers_ = 0;
    QList<QTreeWidgetItem *> lastAtLevel_; // the newest node of each level
};

// Every node with its level, parents before children.
QList<QTreeWidgetItem *> netTreeItems(const QTreeWidget *tree);
QList<network::NetTreeNode> netTreeNodes(const QTreeWidget *tree);
int itemLevel(const QTreeWidgetItem *item);

QString netScanProgressText(int computers);
QString netScanStoppedText(int computers);

} // namespace gui
