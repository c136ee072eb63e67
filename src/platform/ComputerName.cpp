#include "ComputerName.h"
#include <unistd.h>

namespace platform {

QString netbiosFormOf(const QByteArray &hostName)
{
    constexpr int kNetbiosLength = 15;
    QByteArray name = hostName;
    const int nul = name.indexOf('\0');
    if (nul >= 0)
        name.truncate(nul);
    const int dot = name.indexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    for (char &c : name)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    name.truncate(kNetbiosLength);
    return QString::fromLatin1(name);
}

QByteArray hostName()
{
    // Same buffer size as the program has always used for the name.
    char buffer[128] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return QByteArray();
    buffer[sizeof buffer - 1] = '\0';
    return QByteArray(buffer);
}

QString computerName()
{
    return netbiosFormOf(hostName());
}

} // namespace platform
