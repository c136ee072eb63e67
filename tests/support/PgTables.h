#pragma once
// A test's own tables on the shared PostgreSQL server, and the connection through the
// ODBC provider that reaches them.
#include "data/core/Connection.h"
#include "support/PgServer.h"

namespace testsupport {

// Runs `script` on `pg`, then points `conn` at its database. psql's error text, or an
// empty string once the tables are there.
inline QString createTables(data::Connection &conn, const PgServer &pg, const QString &script)
{
    QString error;
    if (!pg.exec(script, &error))
        return error.isEmpty() ? QStringLiteral("psql failed") : error;
    conn.setConnectionString(pg.adoConnectionString());
    return QString();
}

// The end of a test program that used both: `conn` closed, the shared server stopped.
inline void closeAndStopShared(data::Connection &conn)
{
    conn.Close();
    PgServer::shutdownShared();
}

} // namespace testsupport
