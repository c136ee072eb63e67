#pragma once
// What the network page asks of the network, as an interface: the window uses the
// system's discovery (Discovery.h); tests put a scripted network in its place.
#include <QString>
#include <QStringList>

namespace network {

class DiscoveryBackend {
public:
    virtual ~DiscoveryBackend() = default;
    virtual QString hostToIP(const QString &host) = 0;
    virtual bool netGroups(QStringList &list) = 0;
    virtual bool netComputers(const QString &group, QStringList &list) = 0;
    virtual bool netShares(const QString &computer, QStringList &list) = 0;
    virtual QString ipToMAC(const QString &ip) = 0;
};

// The five functions of Discovery.h with their standard SMB options.
DiscoveryBackend &systemDiscovery();

} // namespace network
