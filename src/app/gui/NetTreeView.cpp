#include "NetTreeView.h"
#include "BatchStop.h"
#include <QCoreApplication>
#include <QTreeWidget>

namespace gui {

QString netScanProgressText(int computers)
{
    return QStringLiteral("搜尋網路中… 已完成 %1 台電腦").arg(computers);
}

QString netScanStoppedText(int computers)
{
    return QStringLiteral("網路搜尋已停止，已完成 %1 台電腦").arg(computers);
}

NetTreeView::NetTreeView(QTreeWidget *tree, BatchStop *stop) : tree_(tree), stop_(stop) {}

bool NetTreeView::stopRequested()
{
    return stop_ && stop_->requested();
}

bool NetTreeView::keepWaiting()
{
    if (!stop_)
        return true; // nothing keeps other input out, so no events are handled here
    QCoreApplication::processEvents();
    return !stop_->requested();
}

void NetTreeView::addNode(int level, const QString &text)
{
    QTreeWidgetItem *item = nullptr;
    if (level == 0)
        item = new QTreeWidgetItem(tree_, {text});
    else
        item = new QTreeWidgetItem(lastAtLevel_.value(level - 1), {text});
    lastAtLevel_.resize(level + 1);
    lastAtLevel_[level] = item;
}

void NetTreeView::computerDone()
{
    // Workgroups open, so that their computers show up one by one as the scan goes on.
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        tree_->topLevelItem(i)->setExpanded(true);
    tree_->viewport()->repaint();
    ++computers_;
    if (stop_)
        stop_->showProgress(netScanProgressText(computers_));
}

namespace {

void appendSubtree(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &out)
{
    out << item;
    for (int i = 0; i < item->childCount(); ++i)
        appendSubtree(item->child(i), out);
}

} // namespace

QList<QTreeWidgetItem *> netTreeItems(const QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        appendSubtree(tree->topLevelItem(i), items);
    return items;
}

int itemLevel(const QTreeWidgetItem *item)
{
    int level = 0;
    for (const QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        ++level;
    return level;
}

QList<network::NetTreeNode> netTreeNodes(const QTreeWidget *tree)
{
    QList<network::NetTreeNode> nodes;
    for (const QTreeWidgetItem *item : netTreeItems(tree))
        nodes << network::NetTreeNode{itemLevel(item), item->text(0)};
    return nodes;
}

} // namespace gui
