#include "VersionInfo.h"

// The build passes these; a part the project version leaves out is 0.
#ifndef ADO_VERSION_MAJOR
#define ADO_VERSION_MAJOR 0
#endif
#ifndef ADO_VERSION_MINOR
#define ADO_VERSION_MINOR 0
#endif
#ifndef ADO_VERSION_PATCH
#define ADO_VERSION_PATCH 0
#endif
#ifndef ADO_VERSION_TWEAK
#define ADO_VERSION_TWEAK 0
#endif

// An empty definition (CMake leaves PROJECT_VERSION_TWEAK empty when the version has
// fewer than four parts) turns "(x + 0)" into "( + 0)", a plain 0.
#define ADO_VERSION_PART(x) (x + 0)

namespace platform {

ProductVersion packVersion(const VersionNumbers &n)
{
    ProductVersion v;
    v.mostSignificant = quint32(n.major) << 16 | n.minor;
    v.leastSignificant = quint32(n.release) << 16 | n.build;
    return v;
}

VersionNumbers unpackVersion(const ProductVersion &v)
{
    VersionNumbers n;
    n.major = quint16(v.mostSignificant >> 16);
    n.minor = quint16(v.mostSignificant & 0xFFFFu);
    n.release = quint16(v.leastSignificant >> 16);
    n.build = quint16(v.leastSignificant & 0xFFFFu);
    return n;
}

VersionNumbers versionNumbers()
{
    VersionNumbers n;
    n.major = quint16(ADO_VERSION_PART(ADO_VERSION_MAJOR));
    n.minor = quint16(ADO_VERSION_PART(ADO_VERSION_MINOR));
    n.release = quint16(ADO_VERSION_PART(ADO_VERSION_PATCH));
    n.build = quint16(ADO_VERSION_PART(ADO_VERSION_TWEAK));
    return n;
}

ProductVersion productVersion()
{
    return packVersion(versionNumbers());
}

QString versionText()
{
    const VersionNumbers n = versionNumbers();
    return QStringLiteral("%1.%2.%3.%4").arg(n.major).arg(n.minor).arg(n.release).arg(n.build);
}

} // namespace platform
