// Name to IPv4 address through the system resolver.
#include "BoundedCall.h"
#include "Discovery.h"
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace network {

namespace {

std::string firstIPv4Of(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    return text;
}

} // namespace

QString HostToIP(const QString &host)
{
    const std::string name = host.toStdString();
    if (name.empty() || name.find('\0') != std::string::npos)
        return {};
    in_addr dotted{};
    if (inet_pton(AF_INET, name.c_str(), &dotted) == 1)
        return host;
    const std::string ip = boundedCall<std::string>([name] { return firstIPv4Of(name); },
                                                    kNetworkTimeoutMs, std::string());
    return QString::fromStdString(ip);
}

} // namespace network
