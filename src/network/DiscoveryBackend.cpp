#include "DiscoveryBackend.h"
#include "Discovery.h"

namespace network {

namespace {

class SystemDiscovery final : public DiscoveryBackend {
public:
    QString hostToIP(const QString &host) override { return HostToIP(host); }
    bool netGroups(QStringList &list) override { return GetNetGroups(list); }
    bool netComputers(const QString &group, QStringList &list) override { return GetNetComputers(group, list); }
    bool netShares(const QString &computer, QStringList &list) override { return GetNetShares(computer, list); }
    QString ipToMAC(const QString &ip) override { return IPToMAC(ip); }
};

} // namespace

DiscoveryBackend &systemDiscovery()
{
    static SystemDiscovery discovery;
    return discovery;
}

} // namespace network
