#include "FileAttributes.h"
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString companionPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".dosattrib");
}

bool xattrUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// The stored bits (everything but read-only); -1 with errno on failure.
int readStoredBits(const QString &path)
{
    char buffer[32];
    const ssize_t n = getxattr(nativePath(path).constData(), kDosAttributeName, buffer, sizeof buffer - 1);
    if (n >= 0) {
        buffer[n] = 0;
        return int(std::strtol(buffer, nullptr, 10)) & ~faReadOnly;
    }
    if (errno == ENODATA)
        return 0;
    if (!xattrUnsupported(errno))
        return -1;
    QFile companion(companionPath(path));
    if (!companion.open(QIODevice::ReadOnly))
        return 0;
    return companion.readAll().trimmed().toInt() & ~faReadOnly;
}

bool writeStoredBits(const QString &path, int bits)
{
    const QByteArray text = QByteArray::number(bits & ~faReadOnly);
    const QByteArray native = nativePath(path);
    if (setxattr(native.constData(), kDosAttributeName, text.constData(), size_t(text.size()), 0) == 0)
        return true;
    if (!xattrUnsupported(errno))
        return false;
    QFile companion(companionPath(path));
    if (!companion.open(QIODevice::WriteOnly | QIODevice::Truncate) || companion.write(text) != text.size()) {
        errno = EIO;
        return false;
    }
    return true;
}

} // namespace

int fileGetAttr(const QString &path, int *errorCode)
{
    struct stat st {};
    if (::stat(nativePath(path).constData(), &st) != 0) {
        if (errorCode)
            *errorCode = errno;
        return -1;
    }
    const int stored = readStoredBits(path);
    if (stored < 0) {
        if (errorCode)
            *errorCode = errno;
        return -1;
    }
    int bits = stored & ~faDirectory;
    if ((st.st_mode & kWriteBits) == 0)
        bits |= faReadOnly;
    if (S_ISDIR(st.st_mode))
        bits |= faDirectory;
    return bits;
}

bool fileSetAttr(const QString &path, int attributes, int *errorCode)
{
    const QByteArray native = nativePath(path);
    struct stat st {};
    auto fail = [&] {
        if (errorCode)
            *errorCode = errno;
        return false;
    };
    if (::stat(native.constData(), &st) != 0)
        return fail();
    const mode_t current = st.st_mode & 07777;
    mode_t mode = current;
    if (attributes & faReadOnly)
        mode &= ~kWriteBits;
    else if ((mode & kWriteBits) == 0)
        mode |= S_IWUSR;
    // User extended attributes can only be written while the file may be written: lend
    // the owner write permission for that step when the file is read-only now.
    if ((current & kWriteBits) == 0 && ::chmod(native.constData(), current | S_IWUSR) != 0)
        return fail();
    if (!writeStoredBits(path, attributes & ~(faReadOnly | faDirectory))) {
        const int error = errno;
        ::chmod(native.constData(), current);
        errno = error;
        return fail();
    }
    if (::chmod(native.constData(), mode) != 0)
        return fail();
    return true;
}

QString systemErrorMessage(int errorCode)
{
    return QString::fromLocal8Bit(std::strerror(errorCode));
}

bool copyFileAttributes(const QString &from, const QString &to)
{
    struct stat st {};
    if (::stat(nativePath(from).constData(), &st) != 0)
        return false;
    char buffer[32];
    const ssize_t n = getxattr(nativePath(from).constData(), kDosAttributeName, buffer, sizeof buffer);
    if (n >= 0 && setxattr(nativePath(to).constData(), kDosAttributeName, buffer, size_t(n), 0) != 0)
        return false;
    // Without the attribute there is nothing to copy; the companion file of the
    // fallback follows the name, not the file.
    return ::chmod(nativePath(to).constData(), st.st_mode & 07777) == 0;
}

} // namespace platform
