#pragma once
// A folder made read-only for everyone, root included: the folder is bind-mounted onto
// itself and the bind remounted read-only. Write bits do not stop root, a read-only
// mount does. Needs root (mount); ok() says whether it worked. Unmounted when destroyed.
#include <QProcess>
#include <QString>

namespace testsupport {

class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const QString &folder) : folder_(folder)
    {
        mounted_ = runMount({QStringLiteral("--bind"), folder_, folder_});
        ok_ = mounted_ && runMount({QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), folder_});
    }
    ~ReadOnlyMount()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {folder_});
    }
    ReadOnlyMount(const ReadOnlyMount &) = delete;
    ReadOnlyMount &operator=(const ReadOnlyMount &) = delete;

    bool ok() const { return ok_; }

private:
    static bool runMount(const QStringList &arguments)
    {
        return QProcess::execute(QStringLiteral("mount"), arguments) == 0;
    }

    QString folder_;
    bool mounted_ = false;
    bool ok_ = false;
};

} // namespace testsupport
