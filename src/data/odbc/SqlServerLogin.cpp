#include "data/odbc/SqlServerLogin.h"
#include "data/odbc/GssStatusText.h"
#include <gssapi/gssapi.h>
#include <gssapi/gssapi_krb5.h>
#include <netdb.h>
#include <sys/socket.h>
#include <cstring>
#include <functional>

namespace data {

namespace {

bool isOneOf(const QString &value, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (value.trimmed().compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// "host", "host,port", "host\instance", "host\instance,port", "tcp:host,port";
// "(local)" and "." are this machine, reached over TCP.
void readAddress(SqlServerLogin &login)
{
    QString host = login.source;
    if (host.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        host = host.mid(4).trimmed();
    const qsizetype comma = host.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        login.port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    const qsizetype slash = host.indexOf(QLatin1Char('\\'));
    if (slash >= 0) {
        login.instance = host.mid(slash + 1).trimmed();
        host = host.left(slash).trimmed();
    }
    if (host.isEmpty() || host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("127.0.0.1");
    login.host = host;
}

// ---- failed logins ------------------------------------------------------------------

bool says(const DatabaseError &e, const char *text)
{
    return e.message().contains(QLatin1String(text), Qt::CaseInsensitive);
}

QString serverName(const SqlServerLogin &l)
{
    return l.source.isEmpty() ? l.host : l.source;
}

// FreeTDS's words when no server answered on the address (or the browser gave no port).
constexpr const char *kUnreachable = "Adaptive Server is unavailable";

struct LoginFailure {
    std::function<bool(const DatabaseError &, const SqlServerLogin &)> matches;
    std::function<QString(const SqlServerLogin &)> sentence;
};

// First match wins: the server's own refusals before what the client library saw.
const std::vector<LoginFailure> &loginFailures()
{
    static const std::vector<LoginFailure> table = {
        // The server follows 4060 with 18456: the database is what went wrong.
        {[](const DatabaseError &e, const SqlServerLogin &) { return e.nativeCode() == 4060 || says(e, "Cannot open database"); },
         [](const SqlServerLogin &l) {
             return QStringLiteral("無法開啟資料庫「%1」：伺服器上沒有這個資料庫，或這個帳號沒有使用它的權限。").arg(l.database);
         }},
        // 18452: the server could not accept the ticket (its service key, the realm's trust).
        {[](const DatabaseError &e, const SqlServerLogin &l) {
             return (e.nativeCode() == 18456 || e.nativeCode() == 18452 || says(e, "Login failed")) && l.integrated;
         },
         [](const SqlServerLogin &l) {
             const QString spn = l.asksBrowser() ? QStringLiteral("MSSQLSvc/%1:連接埠").arg(l.host) : sqlServerServicePrincipal(l);
             return QStringLiteral("以 Windows 整合驗證（Integrated Security=SSPI）登入 SQL Server「%1」失敗：伺服器不接受這張 "
                                   "Kerberos 票證，或票證的帳號沒有這台伺服器的登入權限。請確認伺服器的 SPN（%2）與帳號的登入權限。")
                 .arg(serverName(l), spn);
         }},
        {[](const DatabaseError &e, const SqlServerLogin &l) {
             return (e.nativeCode() == 18456 || says(e, "Login failed")) && l.windowsAccount();
         },
         [](const SqlServerLogin &l) {
             return QStringLiteral("Windows 帳號「%1」登入 SQL Server「%2」失敗：網域、帳號或密碼錯誤，或伺服器不接受這個帳號。")
                 .arg(l.user, serverName(l));
         }},
        {[](const DatabaseError &e, const SqlServerLogin &) { return e.nativeCode() == 18456 || says(e, "Login failed"); },
         [](const SqlServerLogin &l) {
             return QStringLiteral("帳號「%1」登入 SQL Server「%2」失敗：帳號或密碼錯誤。").arg(l.user, serverName(l));
         }},
        {[](const DatabaseError &e, const SqlServerLogin &) {
             return e.sqlState() == QLatin1String("HYT00") || says(e, "timed out") || says(e, "Timeout expired");
         },
         [](const SqlServerLogin &l) {
             const QString within = l.timeoutSeconds > 0 ? QStringLiteral("在 %1 秒內").arg(l.timeoutSeconds)
                                                         : QStringLiteral("在時限內");
             return QStringLiteral("登入 SQL Server「%1」逾時：伺服器%2沒有完成登入，可能忙碌或網路壅塞。").arg(serverName(l), within);
         }},
        {[](const DatabaseError &e, const SqlServerLogin &l) { return l.encrypt && !says(e, kUnreachable); },
         [](const SqlServerLogin &l) {
             return QStringLiteral("無法與 SQL Server「%1」建立加密連線：伺服器不支援加密或加密交握失敗。"
                                   "連線要求加密，因此沒有改用未加密的登入。")
                 .arg(serverName(l));
         }},
        {[](const DatabaseError &e, const SqlServerLogin &l) { return l.asksBrowser() && says(e, kUnreachable); },
         [](const SqlServerLogin &l) {
             return QStringLiteral("找不到 SQL Server 執行個體「%1\\%2」：主機 %1 的 SQL Server Browser（UDP 1434）沒有回應，"
                                   "或主機上沒有這個執行個體。請確認執行個體名稱，或在資料來源寫明連接埠（主機,連接埠）。")
                 .arg(l.host, l.instance);
         }},
        {[](const DatabaseError &e, const SqlServerLogin &) { return says(e, kUnreachable) || e.sqlState() == QLatin1String("08001"); },
         [](const SqlServerLogin &l) {
             return QStringLiteral("無法連線到 SQL Server「%1」：主機沒有回應或連接埠上沒有 SQL Server。請確認主機名稱、連接埠與網路。")
                 .arg(serverName(l));
         }},
    };
    return table;
}

} // namespace

SqlServerLogin sqlServerLogin(const ConnectionString &cs)
{
    SqlServerLogin login;
    login.source = firstOf(cs, {"Network Address", "Data Source", "Server", "Address", "Addr"});
    readAddress(login);
    login.database = firstOf(cs, {"Initial Catalog", "Database"});
    login.user = cs.contains(QStringLiteral("User ID")) ? cs.value(QStringLiteral("User ID")) : firstOf(cs, {"UID", "User"});
    login.encrypt = isOneOf(cs.value(QStringLiteral("Use Encryption for Data")), {"true", "yes", "1", "-1"}) ||
                    isOneOf(cs.value(QStringLiteral("Encrypt")), {"yes", "true", "mandatory", "strict"});
    login.integrated = !cs.value(QStringLiteral("Integrated Security")).trimmed().isEmpty() ||
                       isOneOf(cs.value(QStringLiteral("Trusted_Connection")), {"yes", "true"});
    bool ok = false;
    const int seconds = cs.value(QStringLiteral("Connect Timeout")).trimmed().toInt(&ok);
    login.timeoutSeconds = ok && seconds > 0 ? seconds : 0;
    return login;
}

QString sqlServerServicePrincipal(const SqlServerLogin &login)
{
    QString host = login.host;
    if (!host.contains(QLatin1Char('.'))) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_V4MAPPED | AI_ADDRCONFIG | AI_CANONNAME;
        addrinfo *found = nullptr;
        if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) == 0 && found->ai_canonname &&
            std::strchr(found->ai_canonname, '.'))
            host = QString::fromUtf8(found->ai_canonname);
        if (found)
            ::freeaddrinfo(found);
    }
    return QStringLiteral("MSSQLSvc/%1:%2").arg(host, login.port.isEmpty() ? QStringLiteral("1433") : login.port);
}

namespace {

DatabaseError noTicket(const QString &why)
{
    return DatabaseError(QStringLiteral("無法以 Windows 整合驗證（Integrated Security=SSPI）登入：這個使用者沒有有效的 Kerberos 票證。"
                                        "請先在終端機執行「kinit 帳號@網域」取得票證（klist 可查看票證），再重新連線；"
                                        "或改用「網域\\帳號」與密碼登入。\n\r") + why,
                         QStringLiteral("28000"));
}

QString gssReason(OM_uint32 major, OM_uint32 minor)
{
    const QString why = minor != 0 ? gssStatusText(minor, GSS_C_MECH_CODE) : QString();
    return why.isEmpty() ? gssStatusText(major, GSS_C_GSS_CODE) : why;
}

void requireTicketGrantingTicket()
{
    OM_uint32 minor = 0;
    OM_uint32 lifetime = 0;
    gss_cred_id_t credential = GSS_C_NO_CREDENTIAL;
    const OM_uint32 major = gss_acquire_cred(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, GSS_C_NO_OID_SET, GSS_C_INITIATE,
                                             &credential, nullptr, &lifetime);
    if (credential != GSS_C_NO_CREDENTIAL) {
        OM_uint32 ignored = 0;
        gss_release_cred(&ignored, &credential);
    }
    // A cache holding only an expired ticket still gives a credential, with no time left.
    if (major == GSS_S_COMPLETE && lifetime == 0)
        throw noTicket(gssReason(GSS_S_CREDENTIALS_EXPIRED, 0));
    if (major != GSS_S_COMPLETE)
        throw noTicket(gssReason(major, minor));
}

// Asks the realm for the service ticket the client library is about to ask for; the
// ticket lands in the user's cache, so the login itself reuses it.
void requireServiceTicket(const QString &servicePrincipal)
{
    const QByteArray name = servicePrincipal.toUtf8();
    gss_buffer_desc nameText{size_t(name.size()), const_cast<char *>(name.constData())};
    gss_name_t target = GSS_C_NO_NAME;
    OM_uint32 minor = 0, ignored = 0;
    OM_uint32 major = gss_import_name(&minor, &nameText, GSS_KRB5_NT_PRINCIPAL_NAME, &target);
    if (!GSS_ERROR(major)) {
        gss_ctx_id_t context = GSS_C_NO_CONTEXT;
        gss_buffer_desc token = GSS_C_EMPTY_BUFFER;
        major = gss_init_sec_context(&minor, GSS_C_NO_CREDENTIAL, &context, target, GSS_C_NO_OID,
                                     GSS_C_MUTUAL_FLAG | GSS_C_REPLAY_FLAG | GSS_C_INTEG_FLAG, 0, GSS_C_NO_CHANNEL_BINDINGS,
                                     GSS_C_NO_BUFFER, nullptr, &token, nullptr, nullptr);
        gss_release_buffer(&ignored, &token);
        if (context != GSS_C_NO_CONTEXT)
            gss_delete_sec_context(&ignored, &context, GSS_C_NO_BUFFER);
        gss_release_name(&ignored, &target);
    }
    if (GSS_ERROR(major))
        throw noTicket(servicePrincipal + QStringLiteral(": ") + gssReason(major, minor));
}

} // namespace

void requireKerberosTicket(const SqlServerLogin &login)
{
    requireTicketGrantingTicket();
    // A named instance's port comes from the browser during the login: no name to check.
    if (!login.asksBrowser())
        requireServiceTicket(sqlServerServicePrincipal(login));
}

DatabaseError explainLoginFailure(const DatabaseError &error, const SqlServerLogin &login)
{
    QString sentence = QStringLiteral("無法登入 SQL Server「%1」。").arg(serverName(login));
    for (const LoginFailure &f : loginFailures())
        if (f.matches(error, login)) {
            sentence = f.sentence(login);
            break;
        }
    return DatabaseError(sentence + QStringLiteral("\n\r") + error.message(), error.sqlState(), error.nativeCode());
}

} // namespace data
