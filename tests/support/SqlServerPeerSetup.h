#pragma once
// What the tests of the "SQLOLEDB.1" provider set up around the scripted TDS peer: the
// sa login the peer is started with, a connection opened on it through the real
// FreeTDS driver, result columns, and the requests it received as text.
#include "data/core/Connection.h"
#include "support/TdsPeer.h"
#include <QStringList>

namespace testsupport {

// Starts `peer` on a free port and lets sa log in with "secret".
inline bool startWithSaLogin(tds::TdsPeer &peer)
{
    if (!peer.start())
        return false;
    peer.setPassword(QStringLiteral("sa"), QStringLiteral("secret"));
    return true;
}

// The connection string to `peer`'s `database` with the sa login.
inline QString saConnectionString(const tds::TdsPeer &peer, const QString &database)
{
    return peer.connectionString(database, QStringLiteral("sa"), QStringLiteral("secret"));
}

// Opens `c` as "SQLOLEDB.1" on `peer`'s `database`, logged in as sa.
inline void openAsSa(data::Connection &c, const tds::TdsPeer &peer, const QString &database = QStringLiteral("Sales"))
{
    c.setProvider(QStringLiteral("SQLOLEDB.1"));
    c.setConnectionString(saConnectionString(peer, database));
    c.Open();
}

inline tds::Column tdsColumn(const QString &name, tds::ColumnType type, int size = 50)
{
    tds::Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

// Each request as "batch: ", "rpc: " or "tran: " followed by its text.
inline QStringList requestTexts(const QList<tds::Request> &requests)
{
    QStringList out;
    for (const tds::Request &r : requests)
        out << (r.kind == tds::Request::Batch ? QStringLiteral("batch: ")
                : r.kind == tds::Request::Rpc ? QStringLiteral("rpc: ")
                                              : QStringLiteral("tran: ")) + r.text;
    return out;
}

} // namespace testsupport
