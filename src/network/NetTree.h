#pragma once
// The two layouts of the network tree, built node by node into a sink: the neighbourhood
// (workgroup, computer, its address, adapter address and shares) and the clients of the
// SQL Server (host, its connection details and shares). Nodes arrive in the tree's flat
// order, parents before children; a node's parent is the last node added one level up.
#include <QList>
#include <QString>

namespace network {

class DiscoveryBackend;

enum class NetTreeMode : quint8 { Neighbourhood = 0, SqlClients = 1 };

// The nodes the broadcast and the select buttons act on: computers in the neighbourhood
// (level 1), hosts among the SQL Server clients (level 0).
int machineLevel(NetTreeMode mode);

inline const QString kSharesNodeText = QStringLiteral("網路資源");
inline const QString kSqlInfoNodeText = QStringLiteral("MS SQL 連線資訊");

class NetTreeSink {
public:
    virtual ~NetTreeSink() = default;
    virtual void addNode(int level, const QString &text) = 0;
    // A computer and its children are complete (the view repaints here, so the tree
    // grows visibly during a scan).
    virtual void computerDone() {}
    // Asked between the lookups of a computer and after it: true ends the scan there
    // (the person stopped it).
    virtual bool stopRequested() { return false; }
    // Asked every few milliseconds while a lookup waits for the network (the view
    // paints and takes Esc here); false gives the lookup up.
    virtual bool keepWaiting() { return !stopRequested(); }
};

// Workgroups, then per workgroup its computers with address, adapter address (asked only
// when the address is not blank) and shares. No workgroups: nothing is added. When the
// sink asks to stop, the lookups of the computer at hand that are still to come are
// skipped (their nodes stay, empty) and the scan ends with that computer.
void buildNeighbourhood(DiscoveryBackend &discovery, NetTreeSink &sink);

// One row of the connected-clients query, values as the server returned them.
struct SqlClientRow {
    QString hostname;
    QString ntDomain;
    QString ntUserName;
    QString loginName;
    QString netAddress;
};

// The nodes of one row: the host name (trimmed) with its connection details and shares.
void addSqlClient(const SqlClientRow &row, DiscoveryBackend &discovery, NetTreeSink &sink);

// Blanks and control characters cut from both ends, as the host names need.
QString trimmedHostName(const QString &text);

} // namespace network
