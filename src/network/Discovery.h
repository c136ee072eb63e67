#pragma once
// The five discovery functions of the network page. They keep no state, show nothing and
// throw nothing: a failure is an empty text, a false result or a short list. Every call
// is bounded in time (kNetworkTimeoutMs per network wait; a host's SMB ports are tried at
// the same time), so a dead host costs seconds, not minutes.
//
// Lists are emptied first and then filled in the order the network delivers entries.
#include <QString>
#include <QStringList>

namespace network {

// Milliseconds one network wait (a name lookup, an SMB round trip, an address
// resolution) may take before the call gives up.
constexpr int kNetworkTimeoutMs = 3000;

// Milliseconds the lookups of one computer together (address, adapter address, shares)
// may take on the network page: a computer that never answers costs this, not the sum
// of its waits.
constexpr int kComputerLookupMs = 2 * kNetworkTimeoutMs;

// Where SMB browsing connects; tests point it at a server on a port of their own.
struct SmbOptions {
    int port = 0; // 0: the standard ports (445, then 139)
    int timeoutMs = kNetworkTimeoutMs;
};

// The IPv4 address of a host name in dotted form (the system resolver, IPv4 only); a
// dotted address gives itself; empty when the name does not resolve.
QString HostToIP(const QString &host);

// Workgroup and domain names of the network; false and an empty list when none can be
// browsed.
bool GetNetGroups(QStringList &list, const SmbOptions &options = {});

// Computer names of a workgroup; true and an empty list for a workgroup without
// computers; false (with the names gathered so far) when browsing fails or breaks off.
bool GetNetComputers(const QString &group, QStringList &list, const SmbOptions &options = {});

// Disk and printer shares of a computer, "computer\share", hidden shares ("...$") left
// out. "PC1" and "\\PC1" ask the same computer; no entry starts with "\\".
bool GetNetShares(const QString &computer, QStringList &list, const SmbOptions &options = {});

// The adapter address behind an IPv4 address on this machine's own links: 12 upper-case
// hex digits (00E04C6812AB); empty for loopback, an address off the local links, an
// address that does not answer, or anything that is not a dotted IPv4 address.
QString IPToMAC(const QString &ip);

} // namespace network
