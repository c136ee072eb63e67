#include "data/core/DataLinkFile.h"
#include "data/core/DatabaseError.h"
#include "platform/Big5Codec.h"
#include "platform/TextFileEncoding.h"
#include <QFile>
#include <QRegularExpression>
#include "platform/SaveFile.h"
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

namespace {

DatabaseError fileError(const QString &what, const QString &path)
{
    return DatabaseError(QStringLiteral("%1：%2").arg(what, path));
}

// The file's bytes. Opened without blocking, so that a FIFO cannot hang the program,
// and read no further than the size limit, so that a device cannot exhaust memory.
QByteArray readLimited(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            throw fileError(QStringLiteral("找不到資料連結檔"), path);
        throw fileError(QStringLiteral("無法讀取資料連結檔 (%1)").arg(QString::fromLocal8Bit(std::strerror(error))), path);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw fileError(QStringLiteral("不是資料連結檔 (不是一般檔案)"), path);
    if (st.st_size > kMaxDataLinkFileSize)
        throw fileError(QStringLiteral("資料連結檔過大 (%1 位元組，上限 %2 位元組)").arg(st.st_size).arg(kMaxDataLinkFileSize), path);
    QByteArray bytes(kMaxDataLinkFileSize + 1, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fileError(QStringLiteral("無法讀取資料連結檔 (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))), path);
        if (n == 0)
            break;
        done += n;
    }
    if (done > kMaxDataLinkFileSize)
        throw fileError(QStringLiteral("資料連結檔過大 (超過 %1 位元組)").arg(kMaxDataLinkFileSize), path);
    bytes.truncate(done);
    return bytes;
}

QString decodeUtf16LE(QByteArrayView bytes, const QString &path)
{
    if (bytes.size() % 2)
        throw fileError(QStringLiteral("資料連結檔已損壞 (UTF-16 文字的位元組數為奇數)"), path);
    QStringDecoder decode(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
    return decode(bytes);
}

// UTF-16LE by its mark or, without one, by a zero high byte in the first character
// (the "[" of "[oledb]"); UTF-8 by its mark or by being well-formed; else code page 950.
QString decodeDataLink(const QByteArray &bytes, const QString &path)
{
    if (bytes.startsWith("\xFF\xFE"))
        return decodeUtf16LE(QByteArrayView(bytes).sliced(2), path);
    if (bytes.size() >= 2 && bytes.at(0) != 0 && bytes.at(1) == 0)
        return decodeUtf16LE(bytes, path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    if (platform::isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return platform::big5Decode(bytes);
}

} // namespace

QString readDataLinkFile(const QString &path)
{
    const QString text = decodeDataLink(readLimited(path), path);
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    if (lines.isEmpty() || lines.first().trimmed().compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) != 0)
        throw fileError(QStringLiteral("不是資料連結檔 (沒有 [oledb] 標頭)"), path);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        return line;
    }
    throw fileError(QStringLiteral("資料連結檔中沒有連線字串"), path);
}

void writeDataLinkFile(const QString &path, const QString &connectionString)
{
    const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                         connectionString + QStringLiteral("\r\n");
    QStringEncoder encode(QStringConverter::Utf16LE);
    const QByteArray bytes = QByteArray("\xFF\xFE", 2) + QByteArray(encode(text));
    QSaveFile f(path);
    errno = 0;
    if (!platform::openForSave(f) || !platform::writeAll(f, bytes.constData(), bytes.size()) || !f.commit())
        throw DatabaseError(QStringLiteral("無法寫入資料連結檔 %1：%2").arg(path, platform::saveFailureReason(f, errno)));
}

} // namespace data
