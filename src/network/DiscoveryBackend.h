#pragma once
// What the network page asks of the network, as an interface: the window uses the
// system's discovery (Discovery.h); tests put a scripted network in its place.
#include "BoundedCall.h"
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

    // The lookups of one computer that follow, until endComputer, share one time
    // budget; while one of them waits, keepWaiting is asked every few milliseconds and
    // its false gives the lookup up (it then answers as a failure would).
    virtual void beginComputer(const QString &computer, const KeepWaiting &keepWaiting)
    {
        Q_UNUSED(computer);
        Q_UNUSED(keepWaiting);
    }
    virtual void endComputer() {}
};

// Brackets the lookups of one computer (beginComputer / endComputer).
class ComputerLookup {
public:
    ComputerLookup(DiscoveryBackend &discovery, const QString &computer, const KeepWaiting &keepWaiting)
        : discovery_(discovery)
    {
        discovery_.beginComputer(computer, keepWaiting);
    }
    ~ComputerLookup() { discovery_.endComputer(); }
    ComputerLookup(const ComputerLookup &) = delete;
    ComputerLookup &operator=(const ComputerLookup &) = delete;

private:
    DiscoveryBackend &discovery_;
};

// The five functions of Discovery.h with their standard SMB options. A computer's
// lookups run on threads of their own within kComputerLookupMs, its shares listed while
// its addresses are looked up.
DiscoveryBackend &systemDiscovery();

} // namespace network
