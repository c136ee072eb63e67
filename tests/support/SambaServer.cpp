#include "SambaServer.h"
#include <QDir>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

const QString kSmbd = QStringLiteral("/usr/sbin/smbd");

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port the kernel has just handed out, so no other server holds it.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    close(fd);
    return ok;
}

QString shareSection(const SambaShare &share, const QString &root)
{
    QString section = QStringLiteral("[%1]\n  path = %2\n  guest ok = yes\n  read only = yes\n").arg(share.name, root);
    if (share.printer)
        section += QStringLiteral("  printable = yes\n  printing = bsd\n  print command = /bin/true\n"
                                  "  lpq command = /bin/true\n  lprm command = /bin/true\n");
    return section;
}

} // namespace

QString SambaServer::unavailableReason()
{
    if (!QFile::exists(kSmbd))
        return QStringLiteral("smbd is not installed (Debian package samba)");
    if (geteuid() != 0)
        return QStringLiteral("smbd needs root to serve guests");
    return {};
}

QString SambaServer::configFile() const
{
    return dir_ ? dir_->filePath(QStringLiteral("smb.conf")) : QString();
}

bool SambaServer::start(const QList<SambaShare> &shares)
{
    error_ = unavailableReason();
    if (!error_.isEmpty())
        return false;
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/ado-samba-XXXXXX"));
    const QDir root(dir_->path());
    for (const char *sub : {"private", "lock", "state", "cache", "pid", "ncalrpc", "share", "log"})
        root.mkpath(QString::fromLatin1(sub));
    // Guests may read the share folder.
    QFile::setPermissions(root.path(), QFile::permissions(root.path()) | QFile::ExeOther | QFile::ReadOther);
    port_ = freePort();
    QString config = QStringLiteral("[global]\n"
                                    "  workgroup = ADOTEST\n  netbios name = ADOTESTSRV\n"
                                    "  server role = standalone server\n  smb ports = %1\n"
                                    "  interfaces = lo\n  bind interfaces only = yes\n  disable netbios = yes\n"
                                    "  map to guest = Bad User\n  load printers = no\n  printcap name = /dev/null\n"
                                    "  disable spoolss = yes\n")
                         .arg(port_);
    const std::pair<const char *, const char *> folders[] = {
        {"private dir", "private"}, {"lock directory", "lock"}, {"state directory", "state"},
        {"cache directory", "cache"}, {"pid directory", "pid"}, {"ncalrpc dir", "ncalrpc"}};
    for (const auto &[key, sub] : folders)
        config += QStringLiteral("  %1 = %2\n").arg(QString::fromLatin1(key), root.filePath(QString::fromLatin1(sub)));
    config += QStringLiteral("  log file = %1\n").arg(root.filePath(QStringLiteral("log/smbd.log")));
    for (const SambaShare &share : shares)
        config += shareSection(share, root.filePath(QStringLiteral("share")));
    QFile file(configFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        error_ = QStringLiteral("cannot write %1").arg(configFile());
        return false;
    }
    file.close();

    smbd_.setProcessChannelMode(QProcess::MergedChannels);
    // smbd leads a process group of its own: on the way out it signals its whole group.
    smbd_.start(kSmbd, {QStringLiteral("--foreground"),
                        QStringLiteral("--debug-stdout"), QStringLiteral("--debuglevel=0"),
                        QStringLiteral("--configfile=") + configFile()});
    if (!smbd_.waitForStarted()) {
        error_ = smbd_.errorString();
        return false;
    }
    // Ready once the port answers; a server that dies first says why on its output.
    for (int attempt = 0; attempt < 600; ++attempt) {
        if (accepts(port_))
            return true;
        if (smbd_.waitForFinished(50)) {
            error_ = QStringLiteral("smbd ended: ") + QString::fromUtf8(smbd_.readAll());
            return false;
        }
    }
    error_ = QStringLiteral("smbd did not listen on port %1").arg(port_);
    return false;
}

QList<int> SambaServer::serverPids() const
{
    QList<int> pids;
    const QByteArray marker = configFile().toUtf8();
    if (marker.isEmpty())
        return pids;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric || pid == getpid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(marker))
            pids << pid;
    }
    return pids;
}

void SambaServer::stop()
{
    if (!dir_)
        return;
    for (int round = 0; round < 200; ++round) {
        const QList<int> pids = serverPids();
        if (pids.isEmpty())
            break;
        for (int pid : pids)
            kill(pid, round < 100 ? SIGTERM : SIGKILL);
        QThread::msleep(50);
        for (int pid : pids)
            waitpid(pid, nullptr, WNOHANG); // ours when reparented to this subreaper
    }
    smbd_.waitForFinished(5000);
    dir_.reset();
}

} // namespace testsupport
