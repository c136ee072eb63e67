// From OLE DB-style connection strings to ODBC ones, and the two ODBC-based providers'
// factories: "MSDASQL.1" (any ODBC source) and "SQLOLEDB.1" (SQL Server through FreeTDS).
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/odbc/OdbcSession.h"
#include "data/odbc/SqlServerLogin.h"
#include "data/core/Providers.h"
#include <QFileInfo>
#include <QSet>

namespace data {

namespace {

// ODBC values holding ";", braces, "=" or edge blanks go in braces, with "}" doubled.
QString odbcValue(const QString &v)
{
    const bool needs = v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('{')) ||
                       v.contains(QLatin1Char('}')) || v.contains(QLatin1Char('=')) || v != v.trimmed();
    if (!needs)
        return v;
    QString q = v;
    q.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + q + QLatin1Char('}');
}

void addPair(QStringList &parts, const QString &name, const QString &value)
{
    parts << name + QLatin1Char('=') + odbcValue(value);
}

// Keys of an ODBC connection string, upper-cased (values in braces may hold ";").
QSet<QString> odbcKeys(const QString &odbc)
{
    QSet<QString> keys;
    qsizetype i = 0;
    const qsizetype n = odbc.size();
    while (i < n) {
        const qsizetype eq = odbc.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString key = odbc.mid(i, eq - i).trimmed().toUpper();
        if (!key.isEmpty())
            keys.insert(key);
        i = eq + 1;
        while (i < n && odbc.at(i) == QLatin1Char(' '))
            ++i;
        if (i < n && odbc.at(i) == QLatin1Char('{')) {
            ++i;
            while (i < n) {
                if (odbc.at(i) == QLatin1Char('}')) {
                    if (i + 1 < n && odbc.at(i + 1) == QLatin1Char('}')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        }
        const qsizetype semi = odbc.indexOf(QLatin1Char(';'), i);
        i = semi < 0 ? n : semi + 1;
    }
    return keys;
}

// Names that belong to the OLE DB layer, not to the ODBC driver.
bool isOleDbName(const QString &name)
{
    static const QSet<QString> names = [] {
        QSet<QString> s;
        for (const auto &p : providers())
            for (const auto &prop : p.properties)
                s.insert(prop.name.toUpper());
        for (const char *extra : {"PROVIDER", "FILE NAME", "PERSIST SECURITY INFO", "EXTENDED PROPERTIES",
                                  "DATA SOURCE", "USER ID", "PASSWORD", "INITIAL CATALOG",
                                  "CONNECT TIMEOUT", "GENERAL TIMEOUT", "INTEGRATED SECURITY"})
            s.insert(QString::fromLatin1(extra));
        return s;
    }();
    return names.contains(name.trimmed().toUpper());
}

const QString kConnectTimeout = QStringLiteral("Connect Timeout");

// The profile's Connect Timeout, else the provider's default (a login must give up on
// a server that never answers). 0, written in the profile, waits without limit.
int connectTimeout(const ConnectionString &cs)
{
    bool ok = false;
    const int seconds = cs.value(kConnectTimeout).trimmed().toInt(&ok);
    if (ok)
        return std::max(seconds, 0);
    const ProviderInfo *provider = findProvider(cs.provider());
    for (const auto &property : provider ? provider->properties : std::vector<ProviderProperty>{})
        if (property.name == kConnectTimeout)
            return property.defaultValue.toInt();
    return 0;
}

// FreeTDS also bounds its transaction requests by the string's timeout (statements set
// their own), so the default is written into the string as well.
ConnectionString withConnectTimeout(ConnectionString cs)
{
    const int seconds = connectTimeout(cs);
    if (seconds > 0)
        cs.set(kConnectTimeout, QString::number(seconds));
    return cs;
}

} // namespace

QString freeTdsOdbcString(const ConnectionString &cs, const QString &driver)
{
    QStringList parts;
    QString driverName = driver.isEmpty() ? QStringLiteral("FreeTDS") : driver;
    driverName.replace(QLatin1String("}"), QLatin1String("}}"));
    parts << QStringLiteral("DRIVER={%1}").arg(driverName);

    const SqlServerLogin login = sqlServerLogin(cs);
    if (login.asksBrowser()) {
        // FreeTDS asks the server's browser service for the named instance's port.
        addPair(parts, QStringLiteral("SERVER"), login.host + QLatin1Char('\\') + login.instance);
    } else {
        addPair(parts, QStringLiteral("SERVER"), login.host);
        addPair(parts, QStringLiteral("PORT"), login.port.isEmpty() ? QStringLiteral("1433") : login.port);
    }

    const QString database = firstOf(cs, {"Initial Catalog", "Database"});
    if (!database.isEmpty())
        addPair(parts, QStringLiteral("DATABASE"), database);
    const bool integrated = login.integrated;
    if (!integrated) {
        const QString user = cs.contains(QStringLiteral("User ID")) ? cs.value(QStringLiteral("User ID"))
                                                                    : firstOf(cs, {"UID", "User"});
        if (!user.isEmpty())
            addPair(parts, QStringLiteral("UID"), user);
        const QString password = cs.contains(QStringLiteral("Password")) ? cs.value(QStringLiteral("Password"))
                                                                         : cs.value(QStringLiteral("PWD"));
        if (!password.isEmpty() || !user.isEmpty())
            addPair(parts, QStringLiteral("PWD"), password);
    }
    const QString app = cs.value(QStringLiteral("Application Name")).trimmed();
    if (!app.isEmpty())
        addPair(parts, QStringLiteral("APP"), app);
    const QString wsid = cs.value(QStringLiteral("Workstation ID")).trimmed();
    if (!wsid.isEmpty())
        addPair(parts, QStringLiteral("WSID"), wsid);
    const QString timeout = cs.value(QStringLiteral("Connect Timeout")).trimmed();
    if (!timeout.isEmpty())
        addPair(parts, QStringLiteral("Timeout"), timeout);
    if (integrated)
        parts << QStringLiteral("Trusted_Connection=Yes");
    // "require" refuses a server without encryption instead of logging in in plain text.
    if (login.encrypt)
        parts << QStringLiteral("Encryption=require");
    parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    return parts.join(QLatin1Char(';'));
}

QString findFreeTdsDriver()
{
    // The names unixODBC knows (odbcinst.ini), "FreeTDS" preferred.
    QString registered;
    SQLHENV env = SQL_NULL_HENV;
    if (odbc::succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLWCHAR name[256];
        SQLWCHAR attrs[2048];
        SQLSMALLINT nameLen = 0, attrsLen = 0;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (odbc::succeeded(SQLDriversW(env, direction, name, SQLSMALLINT(sizeof name / sizeof *name), &nameLen,
                                           attrs, SQLSMALLINT(sizeof attrs / sizeof *attrs), &attrsLen))) {
            direction = SQL_FETCH_NEXT;
            const QString driver = odbc::fromWide(name, std::min<qsizetype>(nameLen, 255));
            if (driver.compare(QLatin1String("FreeTDS"), Qt::CaseInsensitive) == 0) {
                registered = driver;
                break;
            }
            if (registered.isEmpty() && driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive))
                registered = driver;
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    if (!registered.isEmpty())
        return registered;
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
                             "/usr/lib/i386-linux-gnu/odbc/libtdsodbc.so", "/usr/lib64/libtdsodbc.so",
                             "/usr/lib/libtdsodbc.so", "/usr/local/lib/libtdsodbc.so",
                             "/opt/homebrew/lib/libtdsodbc.so"}) {
        if (QFileInfo::exists(QLatin1String(path)))
            return QString::fromLatin1(path);
    }
    return QString();
}

QString odbcPassThroughString(const ConnectionString &cs)
{
    QString base = cs.value(QStringLiteral("Extended Properties")).trimmed();
    QStringList parts;
    if (!base.isEmpty()) {
        while (base.endsWith(QLatin1Char(';')))
            base.chop(1);
        parts << base;
    }
    // ODBC pairs beside Extended Properties go through too: a profile read back from the
    // INI file joins its values unquoted, which splits "Extended Properties" at its ";".
    for (const auto &[name, value] : cs.items()) {
        if (isOleDbName(name) || odbcKeys(parts.join(QLatin1Char(';'))).contains(name.trimmed().toUpper()))
            continue;
        // A value already in ODBC braces ("DRIVER={SQLite3}") goes through as written.
        const QString v = value.trimmed();
        if (v.startsWith(QLatin1Char('{')) && v.endsWith(QLatin1Char('}')))
            parts << name.trimmed() + QLatin1Char('=') + v;
        else
            addPair(parts, name.trimmed(), value);
    }
    QSet<QString> keys = odbcKeys(parts.join(QLatin1Char(';')));
    const QString source = cs.value(QStringLiteral("Data Source")).trimmed();
    if (!source.isEmpty() && !keys.contains(QStringLiteral("DSN")) && !keys.contains(QStringLiteral("DRIVER")) &&
        !keys.contains(QStringLiteral("FILEDSN")))
        addPair(parts, QStringLiteral("DSN"), source);
    const QString user = cs.value(QStringLiteral("User ID"));
    if (!user.isEmpty() && !keys.contains(QStringLiteral("UID")))
        addPair(parts, QStringLiteral("UID"), user);
    const QString password = cs.value(QStringLiteral("Password"));
    if (!password.isEmpty() && !keys.contains(QStringLiteral("PWD")))
        addPair(parts, QStringLiteral("PWD"), password);
    return parts.join(QLatin1Char(';'));
}

std::unique_ptr<ProviderSession> openOdbcSession(const ConnectionString &cs)
{
    // An empty string is left to the driver manager, whose own message says what is missing.
    const QString odbc = odbcPassThroughString(cs);
    return std::make_unique<OdbcSession>(odbc, connectTimeout(cs), OdbcSession::Dialect::Generic);
}

std::unique_ptr<ProviderSession> openSqlServerSession(const ConnectionString &cs)
{
    const QString driver = findFreeTdsDriver();
    if (driver.isEmpty())
        throw DatabaseError(QStringLiteral("沒有安裝 FreeTDS ODBC 驅動程式 (libtdsodbc.so)"), QStringLiteral("IM002"));
    const SqlServerLogin login = sqlServerLogin(cs);
    if (login.integrated)
        requireKerberosTicket(login);
    try {
        return std::make_unique<OdbcSession>(freeTdsOdbcString(withConnectTimeout(cs), driver), connectTimeout(cs),
                                             OdbcSession::Dialect::SqlServer);
    } catch (const DatabaseError &e) {
        throw explainLoginFailure(e, login);
    }
}

} // namespace data
