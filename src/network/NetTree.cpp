#include "NetTree.h"
#include "DiscoveryBackend.h"
#include <QStringList>

namespace network {

int machineLevel(NetTreeMode mode)
{
    return mode == NetTreeMode::Neighbourhood ? 1 : 0;
}

QString trimmedHostName(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= u' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {

KeepWaiting keepWaitingOf(NetTreeSink &sink)
{
    return [&sink] { return sink.keepWaiting(); };
}

// "網路資源" at level, its shares one level below (none once a stop was asked for).
void addShares(const QString &computer, int level, DiscoveryBackend &discovery, NetTreeSink &sink)
{
    sink.addNode(level, kSharesNodeText);
    QStringList shares;
    if (sink.stopRequested() || !discovery.netShares(computer, shares))
        return;
    for (const QString &share : shares)
        sink.addNode(level + 1, share);
}

void addComputer(const QString &computer, DiscoveryBackend &discovery, NetTreeSink &sink)
{
    sink.addNode(1, computer);
    ComputerLookup lookup(discovery, computer, keepWaitingOf(sink));
    const QString ip = sink.stopRequested() ? QString() : discovery.hostToIP(computer);
    sink.addNode(2, ip);
    const bool askAdapter = !ip.trimmed().isEmpty() && !sink.stopRequested();
    sink.addNode(2, askAdapter ? discovery.ipToMAC(ip) : QString());
    addShares(computer, 2, discovery, sink);
    sink.computerDone();
}

} // namespace

void buildNeighbourhood(DiscoveryBackend &discovery, NetTreeSink &sink)
{
    QStringList groups;
    discovery.netGroups(groups);
    for (const QString &group : groups) {
        QStringList computers;
        discovery.netComputers(group, computers);
        sink.addNode(0, group);
        for (const QString &computer : computers) {
            addComputer(computer, discovery, sink);
            if (sink.stopRequested())
                return;
        }
    }
}

void addSqlClient(const SqlClientRow &row, DiscoveryBackend &discovery, NetTreeSink &sink)
{
    const QString host = trimmedHostName(row.hostname);
    ComputerLookup lookup(discovery, host, keepWaitingOf(sink));
    sink.addNode(0, host);
    sink.addNode(1, kSqlInfoNodeText);
    sink.addNode(2, QStringLiteral("IP: ") + discovery.hostToIP(host));
    sink.addNode(2, QStringLiteral("NT_Domain: ") + row.ntDomain);
    sink.addNode(2, QStringLiteral("NT_UserName: ") + row.ntUserName);
    sink.addNode(2, QStringLiteral("LoginName: ") + row.loginName);
    sink.addNode(2, QStringLiteral("NetAddress: ") + row.netAddress);
    addShares(host, 1, discovery, sink);
}

} // namespace network
