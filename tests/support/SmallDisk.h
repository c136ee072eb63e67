#pragma once
// A small tmpfs mounted in a temporary folder, to make writes fail with a full disk.
// Needs root (CI and the test machines run as root); mounted() is false where mounting
// is not possible, and the test then skips.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class SmallDisk {
public:
    explicit SmallDisk(int kilobytes)
    {
        if (!dir_.isValid())
            return;
        mounted_ = QProcess::execute(QStringLiteral("mount"),
                                     {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                      QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), dir_.path()}) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {dir_.path()});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return mounted_; }
    QString path(const QString &name) const { return dir_.filePath(name); }
    QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    // Fills what is left of the disk but `leaveBytes`.
    void fill(qint64 leaveBytes = 0)
    {
        QFile f(path(QStringLiteral("filler")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (f.write(block) == block.size()) {
        }
        f.close();
        if (leaveBytes > 0)
            f.resize(f.size() - leaveBytes);
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};
