#pragma once
// The network page's tree as the network library sees it: a sink that grows the tree node
// by node (repainting it after each computer), and the tree read back in its flat order.
#include "network/NetReport.h"
#include "network/NetTree.h"
#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

namespace gui {

class NetTreeView final : public network::NetTreeSink {
public:
    explicit NetTreeView(QTreeWidget *tree);
    void addNode(int level, const QString &text) override;
    void computerDone() override;

private:
    QTreeWidget *tree_;
    QList<QTreeWidgetItem *> lastAtLevel_; // the newest node of each level
};

// Every node with its level, parents before children.
QList<QTreeWidgetItem *> netTreeItems(const QTreeWidget *tree);
QList<network::NetTreeNode> netTreeNodes(const QTreeWidget *tree);
int itemLevel(const QTreeWidgetItem *item);

} // namespace gui
