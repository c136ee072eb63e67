#include "PortProbe.h"
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace network {

namespace {

// A non-blocking connection attempt under way; -1 when it could not even start.
int startConnect(const in_addr &address, int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr = address;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0 || errno == EINPROGRESS)
        return fd;
    close(fd);
    return -1;
}

bool connected(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// Index of the first attempt known to have connected, -1 while none; attempts that
// failed are marked finished (fd -1 in `waiting`).
int settle(std::vector<pollfd> &waiting, std::vector<bool> &open)
{
    for (size_t i = 0; i < waiting.size(); ++i) {
        if (waiting[i].fd < 0 || waiting[i].revents == 0)
            continue;
        open[i] = connected(waiting[i].fd);
        waiting[i].fd = -1;
    }
    for (size_t i = 0; i < open.size(); ++i) {
        if (open[i])
            return int(i);
        if (waiting[i].fd >= 0)
            return -1; // an earlier port may still answer
    }
    return -1;
}

} // namespace

int firstOpenPort(const QString &ip, const QList<int> &ports, int timeoutMs)
{
    in_addr address{};
    if (inet_pton(AF_INET, ip.toLatin1().constData(), &address) != 1)
        return 0;
    std::vector<int> fds;
    std::vector<pollfd> waiting;
    for (int port : ports) {
        fds.push_back(startConnect(address, port));
        waiting.push_back({fds.back(), POLLOUT, 0});
    }
    std::vector<bool> open(ports.size(), false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int found = -1;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const bool anyWaiting = std::any_of(waiting.begin(), waiting.end(), [](const pollfd &p) { return p.fd >= 0; });
        if (!anyWaiting || left.count() <= 0 || poll(waiting.data(), waiting.size(), int(left.count())) < 0)
            break;
        if ((found = settle(waiting, open)) >= 0)
            break;
    }
    // Past the deadline, a port that did connect still counts.
    for (size_t i = 0; found < 0 && i < open.size(); ++i)
        if (open[i])
            found = int(i);
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
    return found < 0 ? 0 : ports.at(found);
}

} // namespace network
