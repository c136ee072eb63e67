#include "SqlBrowserResponder.h"
#include <QRandomGenerator>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tds {

namespace {

constexpr uint8_t kUnicastInstance = 0x04, kUnicastAll = 0x03, kServerResponse = 0x05;

QString instanceRecord(const QString &name, int port)
{
    return QStringLiteral("ServerName;SQLPEER;InstanceName;%1;IsClustered;No;Version;16.0.1000.6;tcp;%2;;").arg(name).arg(port);
}

} // namespace

SqlBrowserResponder::~SqlBrowserResponder() { stop(); }

bool SqlBrowserResponder::start()
{
    auto *random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
        const QString address = QStringLiteral("127.%1.%2.%3")
                                    .arg(random->bounded(1, 255)).arg(random->bounded(0, 256)).arg(random->bounded(1, 255));
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(1434);
        inet_pton(AF_INET, address.toLatin1().constData(), &addr.sin_addr);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
            fd_ = fd;
            address_ = address;
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    if (fd_ < 0)
        return false;
    stopping_ = false;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void SqlBrowserResponder::stop()
{
    if (fd_ < 0)
        return;
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    ::close(fd_);
    fd_ = -1;
}

void SqlBrowserResponder::addInstance(const QString &name, int tcpPort)
{
    std::lock_guard g(mutex_);
    instances_.append({name, tcpPort});
}

QStringList SqlBrowserResponder::requestedInstances() const
{
    std::lock_guard g(mutex_);
    return requested_;
}

void SqlBrowserResponder::serve()
{
    while (!stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[1024];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n <= 0)
            continue;
        const QByteArray answer = answerFor(QByteArray(buffer, int(n)));
        if (!answer.isEmpty() && !silent_)
            ::sendto(fd_, answer.constData(), size_t(answer.size()), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
    }
}

QByteArray SqlBrowserResponder::answerFor(const QByteArray &request)
{
    QString records;
    std::lock_guard g(mutex_);
    if (request.startsWith(char(kUnicastInstance))) {
        // The name runs to its terminating zero, at most 32 bytes.
        const QString wanted = QString::fromLocal8Bit(request.mid(1).split('\0').value(0));
        requested_ << wanted;
        for (const auto &[name, port] : instances_)
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                records = instanceRecord(name, port);
    } else if (request.startsWith(char(kUnicastAll))) {
        requested_ << QString();
        for (const auto &[name, port] : instances_)
            records += instanceRecord(name, port);
    }
    if (records.isEmpty())
        return QByteArray();
    const QByteArray data = records.toLatin1();
    QByteArray answer;
    answer.append(char(kServerResponse));
    answer.append(char(data.size() & 0xFF));
    answer.append(char(data.size() >> 8));
    return answer + data;
}

} // namespace tds
