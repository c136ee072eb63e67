#pragma once
// A throw-away Samba server for tests: smbd on 127.0.0.1 and a free unprivileged port,
// with its configuration, state and share folders in a temp folder of its own. The test
// process becomes a subreaper, so the RPC helpers smbd starts in sessions of their own
// stay its descendants; stop() ends every process that runs on this configuration (found
// by the configuration's unique path) and reaps them.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

struct SambaShare {
    QString name;
    bool printer = false;
};

class SambaServer {
public:
    SambaServer() = default;
    ~SambaServer() { stop(); }
    SambaServer(const SambaServer &) = delete;
    SambaServer &operator=(const SambaServer &) = delete;

    // Why no server can run here (not root, smbd not installed); empty when one can.
    static QString unavailableReason();

    // Starts smbd with the shares (disk shares guest-readable, printers printing to
    // nothing); true once it accepts connections. error() tells why not.
    bool start(const QList<SambaShare> &shares);
    void stop();
    int port() const { return port_; }
    QString error() const { return error_; }

private:
    QString configFile() const;
    QList<int> serverPids() const;

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess smbd_;
    int port_ = 0;
    QString error_;
};

} // namespace testsupport
