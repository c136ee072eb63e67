#include "PgServer.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

// A port nobody listens on right now (the kernel's pick for an ephemeral bind).
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port == 5432 ? freePort() : port;
}

QString shellQuote(const QString &s)
{
    QString q = s;
    q.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"PGDATA", "PGHOST", "PGPORT", "PGUSER", "PGDATABASE", "PGPASSWORD",
                             "PGSERVICE", "PGOPTIONS"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8"));
    return env;
}

std::unique_ptr<PgServer> &sharedSlot()
{
    static std::unique_ptr<PgServer> server;
    return server;
}

QString &sharedErrorSlot()
{
    static QString error;
    return error;
}

bool &sharedTried()
{
    static bool tried = false;
    return tried;
}

} // namespace

QString PgServer::binDir()
{
    const QString fromEnv = qEnvironmentVariable("ADO_PG_BINDIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // Prefer 15, the version the tests were written against, then the newest.
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    if (versions.contains(QStringLiteral("15")))
        versions.prepend(QStringLiteral("15"));
    for (const QString &v : versions) {
        const QString bin = root.filePath(v + QStringLiteral("/bin"));
        if (QFileInfo::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return QString();
}

bool PgServer::binariesAvailable()
{
    const QString bin = binDir();
    return !bin.isEmpty() && QFileInfo::exists(bin + QStringLiteral("/initdb")) &&
           QFileInfo::exists(bin + QStringLiteral("/pg_ctl")) &&
           QFileInfo::exists(bin + QStringLiteral("/psql"));
}

bool PgServer::requiredByEnvironment()
{
    return qEnvironmentVariable("CI").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

PgServer *PgServer::shared()
{
    auto &slot = sharedSlot();
    if (slot)
        return slot.get();
    if (sharedTried())
        return nullptr;
    sharedTried() = true;
    if (!binariesAvailable()) {
        sharedErrorSlot() = QStringLiteral("PostgreSQL server programs not found (looked in /usr/lib/postgresql/*/bin)");
        return nullptr;
    }
    auto server = std::make_unique<PgServer>();
    if (!server->isRunning()) {
        sharedErrorSlot() = QStringLiteral("PostgreSQL test server did not start: ") + server->errorText();
        return nullptr;
    }
    slot = std::move(server);
    return slot.get();
}

QString PgServer::sharedError()
{
    return sharedErrorSlot();
}

void PgServer::shutdownShared()
{
    sharedSlot().reset();
}

PgServer::PgServer(const QString &database) : database_(database)
{
    if (!binariesAvailable()) {
        error_ = QStringLiteral("PostgreSQL server programs not found");
        return;
    }
    // A port found free can be taken by someone else before the server binds it.
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        if (start())
            break;
        stop();
    }
    if (running_ && !createDatabase(database_, &error_))
        stop();
}

PgServer::~PgServer()
{
    stop();
}

bool PgServer::runAsOwner(const QString &program, const QStringList &args, QString *output,
                          int timeoutMs) const
{
    QProcess p;
    p.setProcessEnvironment(cleanEnvironment());
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!dir_.isEmpty())
        p.setWorkingDirectory(dir_);
    if (asPostgresUser_) {
        QStringList all{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program};
        all += args;
        p.start(QStringLiteral("runuser"), all);
    } else {
        p.start(program, args);
    }
    const bool finished = p.waitForStarted(10000) && p.waitForFinished(timeoutMs);
    const QString text = QString::fromUtf8(p.readAll());
    if (output)
        *output = text;
    if (!finished) {
        p.kill();
        p.waitForFinished(2000);
        if (output)
            *output = QStringLiteral("%1 did not finish: %2 %3").arg(program, p.errorString(), text);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgServer::start()
{
    const QString bin = binDir();
    asPostgresUser_ = ::geteuid() == 0;
    struct passwd *pw = nullptr;
    if (asPostgresUser_) {
        pw = ::getpwnam("postgres");
        if (!pw) {
            error_ = QStringLiteral("running as root and there is no \"postgres\" user to run the server");
            return false;
        }
    }
    QByteArray templ = QDir::tempPath().toLocal8Bit() + "/adopg-XXXXXX";
    if (!::mkdtemp(templ.data())) {
        error_ = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    dir_ = QString::fromLocal8Bit(templ);
    if (pw && ::chown(templ.constData(), pw->pw_uid, pw->pw_gid) != 0) {
        error_ = QStringLiteral("cannot give %1 to the postgres user").arg(dir_);
        return false;
    }
    port_ = freePort();
    if (port_ == 0) {
        error_ = QStringLiteral("no free TCP port");
        return false;
    }

    QString out;
    const QString data = dir_ + QStringLiteral("/data");
    if (!runAsOwner(bin + QStringLiteral("/initdb"),
                    {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                     QStringLiteral("-U"), user(), QStringLiteral("-E"), QStringLiteral("UTF8"),
                     QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                    &out, 120000)) {
        error_ = QStringLiteral("initdb failed: ") + out;
        return false;
    }
    if (!pgCtlStart(&out)) {
        QFile log(dir_ + QStringLiteral("/log"));
        QString logText;
        if (log.open(QIODevice::ReadOnly))
            logText = QString::fromUtf8(log.readAll());
        error_ = QStringLiteral("pg_ctl start failed: ") + out + logText;
        running_ = true; // so stop() tries to bring down whatever did start
        return false;
    }
    running_ = true;
    startWatchdog();
    error_.clear();
    return true;
}

bool PgServer::pgCtlStart(QString *out)
{
    // Durability settings off: the cluster lives for one test run.
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off")
                                .arg(port_)
                                .arg(dir_);
    return runAsOwner(binDir() + QStringLiteral("/pg_ctl"),
                      {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-o"), options,
                       QStringLiteral("-l"), dir_ + QStringLiteral("/log"), QStringLiteral("-w"),
                       QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                      out, 90000);
}

bool PgServer::stopKeepingData()
{
    QString out;
    running_ = !runAsOwner(binDir() + QStringLiteral("/pg_ctl"),
                           {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-m"),
                            QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
                           &out, 60000);
    return !running_;
}

bool PgServer::startAgain()
{
    QString out;
    running_ = pgCtlStart(&out);
    if (!running_)
        error_ = QStringLiteral("pg_ctl start failed: ") + out;
    return running_;
}

// Stops the server and removes the folder once this process is gone, whatever way it
// ended; a normal stop() ends the watchdog first.
void PgServer::startWatchdog()
{
    const QString pgctl = binDir() + QStringLiteral("/pg_ctl");
    QString stopCmd = shellQuote(pgctl) + QStringLiteral(" -D ") + shellQuote(dir_ + QStringLiteral("/data")) +
                      QStringLiteral(" -m immediate stop");
    if (asPostgresUser_)
        stopCmd = QStringLiteral("runuser -u postgres -- ") + stopCmd;
    const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; %2; rm -rf %3")
                               .arg(::getpid())
                               .arg(stopCmd, shellQuote(dir_));
    QProcess p;
    p.setProgram(QStringLiteral("/bin/sh"));
    p.setArguments({QStringLiteral("-c"), script});
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.setWorkingDirectory(QStringLiteral("/"));
    qint64 pid = 0;
    if (p.startDetached(&pid))
        watchdogPid_ = pid;
}

void PgServer::stop()
{
    if (watchdogPid_ > 0) {
        ::kill(pid_t(watchdogPid_), SIGTERM);
        watchdogPid_ = 0;
    }
    if (running_) {
        QString out;
        runAsOwner(binDir() + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-m"),
                    QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
                   &out, 60000);
        running_ = false;
    }
    if (!dir_.isEmpty()) {
        QDir(dir_).removeRecursively();
        dir_.clear();
    }
}

QString PgServer::odbcConnectionString(const QString &database) const
{
    return QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2;DATABASE=%3;UID=%4")
        .arg(host())
        .arg(port_)
        .arg(database.isEmpty() ? database_ : database, user());
}

QString PgServer::adoConnectionString(const QString &database) const
{
    return QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"%1\"").arg(odbcConnectionString(database));
}

bool PgServer::exec(const QString &sql, QString *error, QString *output, const QString &database) const
{
    if (!running_) {
        if (error)
            *error = QStringLiteral("the PostgreSQL test server is not running");
        return false;
    }
    QProcess p;
    p.setProcessEnvironment(cleanEnvironment());
    p.start(binDir() + QStringLiteral("/psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
             QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), host(),
             QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"), user(),
             QStringLiteral("-d"), database.isEmpty() ? database_ : database, QStringLiteral("-f"),
             QStringLiteral("-")});
    if (!p.waitForStarted(10000)) {
        if (error)
            *error = p.errorString();
        return false;
    }
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(120000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (output)
        *output = out;
    if (error)
        *error = err;
    if (!finished) {
        p.kill();
        p.waitForFinished(2000);
        if (error)
            *error = QStringLiteral("psql did not finish");
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString PgServer::scalar(const QString &sql, const QString &database) const
{
    QString out;
    if (!exec(sql, nullptr, &out, database))
        return QString();
    return out.trimmed();
}

bool PgServer::createDatabase(const QString &name, QString *error) const
{
    QString n = name;
    n.replace(QLatin1String("\""), QLatin1String("\"\""));
    return exec(QStringLiteral("CREATE DATABASE \"%1\" ENCODING 'UTF8' TEMPLATE template0").arg(n), error,
                nullptr, QStringLiteral("postgres"));
}

} // namespace testsupport
