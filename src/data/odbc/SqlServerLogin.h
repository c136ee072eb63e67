#pragma once
// What an ADO-style SQL Server connection string asks of the login, read once for both
// the FreeTDS connection string and the messages a failed login gets: the server's
// address (host, port or named instance), encryption, the kind of login.
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"

namespace data {

struct SqlServerLogin {
    QString source;   // "Data Source" as written ("dbhost\SQLEXPRESS", "tcp:h,1500")
    QString host;     // "(local)" and "." become 127.0.0.1
    QString instance; // named instance, empty for the default one
    QString port;     // empty: the default port, or the instance's port from the browser
    QString database;
    QString user;
    bool encrypt = false;    // "Use Encryption for Data" or Encrypt=yes|true|mandatory|strict
    bool integrated = false; // Integrated Security / Trusted_Connection: Kerberos
    int timeoutSeconds = 0;  // "Connect Timeout"; 0 when not given

    bool asksBrowser() const { return !instance.isEmpty() && port.isEmpty(); }
    bool windowsAccount() const { return user.contains(QLatin1Char('\\')); } // DOMAIN\user: NTLM
};

SqlServerLogin sqlServerLogin(const ConnectionString &cs);

// Integrated logins go through Kerberos: without a ticket the login cannot succeed, so
// it fails before any traffic to the server with a message that says how to get one.
// A ticket that cannot get the server's service ticket (another realm without trust,
// a service the realm does not know) fails the same way, with the realm's reason.
void requireKerberosTicket(const SqlServerLogin &login);

// The service principal the client library asks a ticket for: MSSQLSvc/<host>:<port>,
// a host without a dot replaced by its canonical name when that one has a dot.
QString sqlServerServicePrincipal(const SqlServerLogin &login);

// The failed login's error with one Traditional Chinese sentence first saying what went
// wrong and what to check; the driver's or server's own text follows on the next line,
// and its SQLSTATE and native code are kept.
DatabaseError explainLoginFailure(const DatabaseError &error, const SqlServerLogin &login);

} // namespace data
