// IPv4 address to adapter address through the kernel's neighbour table: a probe datagram
// makes the kernel resolve the address, then the table (/proc/net/arp, which shows the
// caller's own network namespace) tells what it found.
#include "Discovery.h"
#include <QFile>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace network {

namespace {

constexpr unsigned kCompleteFlag = 0x2; // ATF_COM: the hardware address is known
constexpr int kPollStepMs = 20;

struct NeighbourEntry {
    bool present = false;  // the kernel holds an entry for the address
    bool complete = false; // and knows its hardware address
    QString hardware;      // 12 upper-case hex digits when complete
};

NeighbourEntry lookUp(const QString &ip)
{
    QFile table(QStringLiteral("/proc/net/arp"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    table.readLine(); // titles
    NeighbourEntry found;
    while (!table.atEnd()) {
        const QStringList cells = QString::fromLatin1(table.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (cells.size() < 4 || cells.at(0) != ip)
            continue;
        found.present = true;
        bool ok = false;
        const unsigned flags = cells.at(2).toUInt(&ok, 16);
        if (ok && (flags & kCompleteFlag)) {
            found.complete = true;
            found.hardware = QString(cells.at(3)).remove(QLatin1Char(':')).toUpper();
            return found;
        }
    }
    return found;
}

// A datagram to the discard port: sending it makes the kernel resolve the address (an
// address on a local link gets an entry at once, still incomplete).
void probe(const in_addr &address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr = address;
    const char byte = 0;
    sendto(fd, &byte, 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    close(fd);
}

bool neverOnALink(const in_addr &address)
{
    const uint32_t host = ntohl(address.s_addr);
    return (host >> 24) == 127 || host == 0 || host == 0xFFFFFFFFu || IN_MULTICAST(host);
}

} // namespace

QString IPToMAC(const QString &ip)
{
    in_addr address{};
    if (inet_pton(AF_INET, ip.toLatin1().constData(), &address) != 1 || neverOnALink(address))
        return {};
    // The table's own spelling of the address, whatever leading zeros the text had.
    char canonical[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, canonical, sizeof canonical);
    const QString key = QString::fromLatin1(canonical);

    probe(address);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNetworkTimeoutMs);
    for (;;) {
        const NeighbourEntry entry = lookUp(key);
        if (entry.complete)
            return entry.hardware;
        // No entry after the probe: the address is routed through a gateway or is this
        // machine's own, so no adapter of a neighbour answers for it.
        if (!entry.present || std::chrono::steady_clock::now() >= deadline)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
}

} // namespace network
