#include "KerberosKdc.h"
#include "LoopbackPorts.h"
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

QString program(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                                                 QStringLiteral("/sbin"), QStringLiteral("/bin")});
}

bool writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

bool KerberosKdc::binariesAvailable()
{
    for (const char *name : {"krb5kdc", "kdb5_util", "kadmin.local", "kinit"})
        if (program(name).isEmpty())
            return false;
    return true;
}

KerberosKdc::KerberosKdc(const QStringList &realms) : realms_(realms)
{
    hadConfig_ = qEnvironmentVariableIsSet("KRB5_CONFIG");
    oldConfig_ = qgetenv("KRB5_CONFIG");
    if (!binariesAvailable()) {
        error_ = QStringLiteral("MIT Kerberos KDC programs (krb5-kdc, krb5-admin-server, krb5-user) are not installed");
        return;
    }
    if (!dir_.isValid() || realms_.isEmpty()) {
        error_ = QStringLiteral("no temporary folder for the realm");
        return;
    }
    port_ = closedPort();
    if (!writeConfiguration())
        return;
    qputenv("KRB5_CONFIG", dir_.filePath(QStringLiteral("krb5.conf")).toUtf8());
    for (const QString &realm : realms_)
        if (!createRealm(realm))
            return;
    startKdc();
}

KerberosKdc::~KerberosKdc()
{
    if (process_) {
        process_->terminate();
        if (!process_->waitForFinished(5000))
            process_->kill();
        process_->waitForFinished(2000);
        delete process_;
    }
    if (hadConfig_)
        qputenv("KRB5_CONFIG", oldConfig_);
    else
        qunsetenv("KRB5_CONFIG");
}

// Everything over TCP on one port, no DNS: the tests must not reach out of loopback.
bool KerberosKdc::writeConfiguration()
{
    const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(port_);
    QString client = QStringLiteral("[libdefaults]\n default_realm = %1\n dns_lookup_kdc = false\n dns_lookup_realm = false\n"
                                    " rdns = false\n dns_canonicalize_hostname = false\n udp_preference_limit = 1\n[realms]\n")
                         .arg(defaultRealm());
    QString server = QStringLiteral("[kdcdefaults]\n kdc_listen = %1\n kdc_tcp_listen = %1\n[realms]\n").arg(endpoint);
    for (const QString &realm : realms_) {
        client += QStringLiteral(" %1 = {\n  kdc = %2\n }\n").arg(realm, endpoint);
        server += QStringLiteral(" %1 = {\n  database_name = %2\n  key_stash_file = %3\n  acl_file = %4\n  max_life = 1h\n }\n")
                      .arg(realm, dir_.filePath(realm + QStringLiteral(".db")), dir_.filePath(realm + QStringLiteral(".stash")),
                           dir_.filePath(QStringLiteral("kadm5.acl")));
    }
    server += QStringLiteral("[logging]\n kdc = FILE:%1\n").arg(dir_.filePath(QStringLiteral("kdc.log")));
    if (writeFile(dir_.filePath(QStringLiteral("krb5.conf")), client) &&
        writeFile(dir_.filePath(QStringLiteral("kdc.conf")), server) && writeFile(dir_.filePath(QStringLiteral("kadm5.acl")), QString()))
        return true;
    error_ = QStringLiteral("cannot write the realm's configuration in %1").arg(dir_.path());
    return false;
}

bool KerberosKdc::createRealm(const QString &realm)
{
    return run(QStringLiteral("kdb5_util"), {QStringLiteral("create"), QStringLiteral("-s"), QStringLiteral("-r"), realm,
                                             QStringLiteral("-P"), QStringLiteral("throwaway-master-key")});
}

bool KerberosKdc::startKdc()
{
    auto *kdc = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KRB5_KDC_PROFILE"), dir_.filePath(QStringLiteral("kdc.conf")));
    kdc->setProcessEnvironment(env);
    kdc->setProcessChannelMode(QProcess::MergedChannels);
    // The KDC goes with the test process, even when that one is killed.
    kdc->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QStringList args{QStringLiteral("-n")};
    for (const QString &realm : realms_)
        args << QStringLiteral("-r") << realm;
    kdc->start(program("krb5kdc"), args);
    const QDeadlineTimer deadline(15000);
    while (kdc->state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (acceptsConnections(port_)) {
            process_ = kdc;
            return true;
        }
        QThread::msleep(50);
    }
    kdc->kill();
    kdc->waitForFinished(2000);
    QFile log(dir_.filePath(QStringLiteral("kdc.log")));
    log.open(QIODevice::ReadOnly);
    error_ = QStringLiteral("krb5kdc did not start on port %1: %2 %3")
                 .arg(port_)
                 .arg(QString::fromLocal8Bit(kdc->readAll()), QString::fromLocal8Bit(log.readAll()));
    delete kdc;
    return false;
}

bool KerberosKdc::run(const QString &name, const QStringList &args, const QByteArray &input)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KRB5_KDC_PROFILE"), dir_.filePath(QStringLiteral("kdc.conf")));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program(name.toLatin1().constData()), args);
    p.write(input);
    p.closeWriteChannel();
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    error_ = QStringLiteral("%1 %2: %3").arg(name, args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
    return false;
}

QString KerberosKdc::fullName(const QString &principal) const
{
    return principal.contains(QLatin1Char('@')) ? principal : principal + QLatin1Char('@') + defaultRealm();
}

bool KerberosKdc::addUser(const QString &principal, const QString &password)
{
    const QString name = fullName(principal);
    return run(QStringLiteral("kadmin.local"), {QStringLiteral("-r"), name.section(QLatin1Char('@'), -1), QStringLiteral("-q"),
                                                QStringLiteral("addprinc -pw \"%1\" %2").arg(password, name)});
}

bool KerberosKdc::addService(const QString &principal)
{
    const QString name = fullName(principal);
    const QStringList realm{QStringLiteral("-r"), name.section(QLatin1Char('@'), -1), QStringLiteral("-q")};
    return run(QStringLiteral("kadmin.local"), realm + QStringList{QStringLiteral("addprinc -randkey %1").arg(name)}) &&
           run(QStringLiteral("kadmin.local"), realm + QStringList{QStringLiteral("ktadd -k %1 %2").arg(keytab(), name)});
}

QString KerberosKdc::keytab() const
{
    return dir_.filePath(QStringLiteral("service.keytab"));
}

bool KerberosKdc::kinit(const QString &principal, const QString &password, const QString &lifetime, const QString &cache)
{
    QStringList args{QStringLiteral("-c"), cache.isEmpty() ? credentialCache() : cache};
    if (!lifetime.isEmpty())
        args << QStringLiteral("-l") << lifetime;
    args << fullName(principal);
    return run(QStringLiteral("kinit"), args, password.toUtf8() + '\n');
}

QString KerberosKdc::credentialCache(const QString &name) const
{
    return QStringLiteral("FILE:") + dir_.filePath(name);
}

} // namespace testsupport
