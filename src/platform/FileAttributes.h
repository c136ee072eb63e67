#pragma once
// Windows-style file attribute bits on a POSIX file system.
//
// Read-only is the file's write permission: a file is read-only when nobody may write
// it (no write bit in its mode), and clearing read-only gives the owner write permission
// back. Every other bit (hidden, system, archive, ...) has no POSIX counterpart and is
// kept with the file in the extended attribute "user.dosattrib" as decimal text; without
// the attribute the bits are 0. On a file system without user extended attributes the
// bits are kept in a hidden companion file "." + name + ".dosattrib" in the same folder.
#include <QString>

namespace platform {

enum FileAttributeBits : int {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
};

inline const char kDosAttributeName[] = "user.dosattrib";

// The attribute bits, or -1 (errorCode set from errno) when the file cannot be examined.
int fileGetAttr(const QString &path, int *errorCode = nullptr);
// Sets the bits; false with errorCode set when that fails.
bool fileSetAttr(const QString &path, int attributes, int *errorCode = nullptr);
// The system's message text for an error code.
QString systemErrorMessage(int errorCode);
// Gives `to` the permission bits and the stored attribute bits of `from` (used when a
// file is replaced by a rewritten copy). False when that fails.
bool copyFileAttributes(const QString &from, const QString &to);

} // namespace platform
