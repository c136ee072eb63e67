#include "platform/SaveFile.h"
#include "platform/FileAttributes.h"
#include <cerrno>

namespace platform {

bool openForSave(QSaveFile &file)
{
    file.setDirectWriteFallback(false);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool writeAll(QSaveFile &file, const char *data, qint64 size)
{
    while (size > 0) {
        errno = 0;
        const qint64 written = file.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

QString saveFailureReason(const QFileDevice &file, int savedErrno)
{
    const bool known = file.error() != QFileDevice::NoError && file.errorString() != QLatin1String("Unknown error");
    if (known || savedErrno == 0)
        return file.errorString();
    return systemErrorMessage(savedErrno);
}

} // namespace platform
