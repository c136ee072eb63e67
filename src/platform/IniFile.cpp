#include "IniFile.h"
#include "FileAttributes.h"
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

IniWriteError::IniWriteError(const QString &path, int errorCode)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString()),
      message_(QStringLiteral("Unable to write to %1").arg(path)),
      reason_(errorCode != 0 ? systemErrorMessage(errorCode) : QString())
{
}

IniValueError::IniValueError(const QString &text)
    : std::invalid_argument(QStringLiteral("INI 檔中不能存放換行或 NUL 字元：%1")
                                .arg(QString(text).replace(QLatin1Char('\r'), QLatin1String("\\r"))
                                         .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                                         .replace(QChar(0), QLatin1String("\\0")))
                                .toStdString())
{
}

namespace {

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

struct FileModes {
    int newFile;    // -1: 0666 less the umask
    bool ownerOnly; // 0600 after every write
};

// Replaces the file by the bytes through a temporary copy in the same folder, renamed
// over it, so readers see the old or the new file and never a part of one.
void saveBytes(const QString &path, const QByteArray &bytes, FileModes modes)
{
    const QFileInfo info(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists) {
        // Read-only means no write permission for anybody, also for a superuser, who
        // would otherwise be let through.
        if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw IniWriteError(path, EACCES);
        if (::access(native.constData(), W_OK) != 0)
            throw IniWriteError(path, errno);
    }
    QByteArray tempName = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                                            QLatin1String(".XXXXXX"));
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        throw IniWriteError(path, errno);
    int failure = 0; // the first failing step's errno
    auto step = [&failure](bool ok) {
        if (!ok && failure == 0)
            failure = errno != 0 ? errno : EIO;
        return ok;
    };
    bool ok = true;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        errno = 0;
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = step(n > 0);
        done += ok ? n : 0;
    }
    ok = ok && step(::fsync(fd) == 0);
    ok = step(::close(fd) == 0) && ok;
    const QString temp = QFile::decodeName(tempName);
    if (ok && exists)
        ok = step(copyFileAttributes(path, temp));
    if (ok && (modes.ownerOnly || !exists)) {
        const mode_t mode = modes.ownerOnly      ? mode_t(0600)
                            : modes.newFile >= 0 ? mode_t(modes.newFile)
                                                 : (0666 & ~currentUmask());
        ok = step(::chmod(tempName.constData(), mode) == 0);
    }
    ok = ok && step(::rename(tempName.constData(), native.constData()) == 0);
    if (!ok) {
        ::unlink(tempName.constData());
        throw IniWriteError(path, failure);
    }
}

} // namespace

IniFile::IniFile(const QString &fileName) : fileName_(fileName) {}

IniDocument IniFile::Snapshot() const
{
    return IniDocument::loadOrEmpty(fileName_);
}

void IniFile::Update(const std::function<bool(IniDocument &)> &change)
{
    errno = 0;
    auto document = IniDocument::load(fileName_);
    if (!document)
        throw IniWriteError(fileName_, errno);
    if (change(*document))
        saveBytes(fileName_, document->bytes(), {newFileMode_, ownerOnly_});
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    return Snapshot().ReadString(section, key, defaultValue);
}

QByteArray IniFile::ReadRawString(const QString &section, const QString &key, const QByteArray &defaultValue) const
{
    return Snapshot().ReadRawString(section, key, defaultValue);
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    return Snapshot().ReadInteger(section, key, defaultValue);
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return Snapshot().ReadBool(section, key, defaultValue);
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    Update([&](IniDocument &d) { return d.setValue(section, key, value), true; });
}

void IniFile::WriteRawString(const QString &section, const QString &key, const QByteArray &value)
{
    Update([&](IniDocument &d) { return d.setRawValue(section, key, value), true; });
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::EraseSection(const QString &section)
{
    Update([&](IniDocument &d) { return d.eraseSection(section); });
}

void IniFile::DeleteKey(const QString &section, const QString &key)
{
    Update([&](IniDocument &d) { return d.deleteKey(section, key); });
}

QStringList IniFile::ReadSections() const
{
    return Snapshot().ReadSections();
}

QStringList IniFile::ReadSection(const QString &section) const
{
    return Snapshot().ReadSection(section);
}

bool IniFile::SectionExists(const QString &section) const
{
    return Snapshot().SectionExists(section);
}

bool IniFile::ValueExists(const QString &section, const QString &key) const
{
    return Snapshot().ValueExists(section, key);
}

} // namespace platform
