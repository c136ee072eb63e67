#pragma once
// The providers this layer knows, by the names connection strings use.
#include "data/core/ProviderSession.h"
#include <QString>
#include <QStringList>
#include <vector>

namespace data {

inline const QString kSqlServerProvider = QStringLiteral("SQLOLEDB.1"); // FreeTDS ODBC driver
inline const QString kOdbcProvider = QStringLiteral("MSDASQL.1");       // any ODBC source
inline const QString kSqliteProvider = QStringLiteral("SQLite.1");      // embedded default

struct ProviderProperty {
    QString name;
    QString defaultValue; // "" = empty, decimal integers, "True"/"False"
};

struct ProviderInfo {
    QString name;
    QString description;
    ProviderFactory open;
    // The provider's initialisation properties in the order the collection lists them.
    std::vector<ProviderProperty> properties;
};

const std::vector<ProviderInfo> &providers();
// Case-insensitive; a name without version ("SQLOLEDB") finds "SQLOLEDB.1".
// nullptr when unknown.
const ProviderInfo *findProvider(const QString &name);

// Factories (defined by each provider's source file).
std::unique_ptr<ProviderSession> openSqliteSession(const ConnectionString &cs);
std::unique_ptr<ProviderSession> openOdbcSession(const ConnectionString &cs);
std::unique_ptr<ProviderSession> openSqlServerSession(const ConnectionString &cs);

// The ODBC connection string used for "SQLOLEDB.1" through FreeTDS:
// DRIVER, SERVER, PORT or instance, DATABASE, UID, PWD, APP, WSID, TDS_Version=7.4,
// ClientCharset=UTF-8. driver is the registered name or the library's path.
QString freeTdsOdbcString(const ConnectionString &cs, const QString &driver);
// The FreeTDS driver: the name registered with unixODBC, else the library path found.
QString findFreeTdsDriver();
// The ODBC string for "MSDASQL.1": Extended Properties, DSN/DRIVER pairs passed through,
// Data Source as DSN, User ID/Password as UID/PWD.
QString odbcPassThroughString(const ConnectionString &cs);

} // namespace data
