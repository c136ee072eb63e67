#pragma once
// What the tests of the "SQLOLEDB.1" provider set up around the scripted TDS peer: the
// sa login the peer is started with, a connection opened on it through the real
// FreeTDS driver, result columns, and the requests it received as text.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
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

// Logs in to `server` as "SQLOLEDB.1" with `connectionString` and runs "select 1 as n"
// on the new connection; true when the login held and the row came back.
inline bool connectsAndSelectsOne(tds::TdsPeer &server, const QString &connectionString)
{
    server.onQuery(QStringLiteral("select 1 as n"),
                   tds::Reply::rows({{QStringLiteral("n"), tds::ColumnType::Int}}, {{1}}));
    data::Connection c;
    c.setProvider(QStringLiteral("SQLOLEDB.1"));
    c.setConnectionString(connectionString);
    c.Open();
    if (!c.Connected())
        return false;
    data::Dataset d;
    d.setConnection(&c);
    d.setCommandText(QStringLiteral("select 1 as n"));
    d.Open();
    return d.FieldByName(QStringLiteral("n"))->AsInteger() == 1;
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
