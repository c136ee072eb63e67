#pragma once
// The program's own version, compiled in from the build's project version. It plays the
// part of the executable's version resource: four 16-bit parts (major, minor, release,
// build), also available packed as the two 32-bit product-version numbers, most
// significant first, that such a resource carries.
#include <QString>
#include <QtGlobal>

namespace platform {

struct ProductVersion {
    quint32 mostSignificant = 0;  // major << 16 | minor
    quint32 leastSignificant = 0; // release << 16 | build
};

struct VersionNumbers {
    quint16 major = 0;
    quint16 minor = 0;
    quint16 release = 0;
    quint16 build = 0;
};

// The product version of this program.
ProductVersion productVersion();
VersionNumbers versionNumbers();
// "major.minor.release.build".
QString versionText();

// Packing helpers, so that both halves of the conversion are tested with odd values.
ProductVersion packVersion(const VersionNumbers &numbers);
VersionNumbers unpackVersion(const ProductVersion &version);

} // namespace platform
