#pragma once
// Whether a host takes TCP connections on a port, asked of several ports at once: the
// SMB library tries a host's ports one after the other, each with the full timeout, so
// a host that never answers would cost the timeout once per port.
#include <QList>
#include <QString>

namespace network {

// The first of `ports` (in list order) that accepts a connection to the dotted IPv4
// address within timeoutMs, all tried at the same time; 0 when none does.
int firstOpenPort(const QString &ip, const QList<int> &ports, int timeoutMs);

} // namespace network
