#pragma once
// Ports on the loopback interface for tests that need a server to be missing.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

// A loopback TCP port nobody listens on: bound for a moment to learn a free one.
inline int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

} // namespace testsupport
