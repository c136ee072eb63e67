#pragma once
// A stand-in for the SQL Server Browser service: UDP port 1434 of one loopback address
// (127.x.y.z, picked at random so tests running at once do not meet), answering the
// resolution protocol's requests as the service does. CLNT_UCAST_INST (0x04 + instance
// name) gets SVR_RESP (0x05, size, "ServerName;...;InstanceName;...;tcp;PORT;;") for a
// known instance and no answer at all for an unknown one; CLNT_UCAST_EX (0x03) lists
// every instance. A silent responder receives and records but never answers.
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <thread>

namespace tds {

class SqlBrowserResponder {
public:
    SqlBrowserResponder() = default;
    ~SqlBrowserResponder();
    SqlBrowserResponder(const SqlBrowserResponder &) = delete;
    SqlBrowserResponder &operator=(const SqlBrowserResponder &) = delete;

    bool start();              // binds UDP 1434 on a free 127.x.y.z address
    void stop();
    QString address() const { return address_; }

    void addInstance(const QString &name, int tcpPort);
    void setSilent(bool silent) { silent_ = silent; }
    QStringList requestedInstances() const; // the names asked for, in order

private:
    void serve();
    QByteArray answerFor(const QByteArray &request);

    int fd_ = -1;
    QString address_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> silent_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    QList<QPair<QString, int>> instances_;
    QStringList requested_;
};

} // namespace tds
