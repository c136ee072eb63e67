#pragma once
// A stand-in for the SMB messenger: a script named smbclient, first on the PATH, that
// records the arguments and the standard input of every run. The test process becomes a
// subreaper, so the detached runs stay its descendants: calls() waits for every one of
// them to end before it reads the records, and nothing is left to chance or to a clock.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace testsupport {

class StandInMessenger {
public:
    struct Call {
        QStringList arguments;
        QByteArray input;
        bool operator<(const Call &other) const { return arguments < other.arguments; }
    };

    StandInMessenger() : oldPath_(qgetenv("PATH"))
    {
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        QDir(dir_.path()).mkpath(QStringLiteral("bin"));
        QDir(dir_.path()).mkpath(QStringLiteral("empty"));
        QDir(dir_.path()).mkpath(QStringLiteral("calls"));
        const QString script = dir_.filePath(QStringLiteral("bin/smbclient"));
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("#!/bin/sh\n"
                                  "record=$(/usr/bin/mktemp \"%1/call.XXXXXX\")\n"
                                  "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$record.args\"\n"
                                  "/bin/cat > \"$record.input\"\n")
                       .arg(dir_.filePath(QStringLiteral("calls")))
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setInstalled(true);
    }
    ~StandInMessenger()
    {
        reapAll();
        qputenv("PATH", oldPath_);
    }

    // Installed: the stand-in is found first. Not installed: the PATH holds no messenger.
    void setInstalled(bool installed)
    {
        const QByteArray bin = dir_.filePath(installed ? QStringLiteral("bin") : QStringLiteral("empty")).toUtf8();
        qputenv("PATH", installed ? bin + ':' + oldPath_ : bin);
    }

    // Every run so far, after all have ended (sorted by arguments); forgets them.
    QList<Call> calls()
    {
        reapAll();
        QList<Call> out;
        QDir calls(dir_.filePath(QStringLiteral("calls")));
        for (const QString &name : calls.entryList({QStringLiteral("call.??????")}, QDir::Files)) {
            Call call;
            QFile args(calls.filePath(name + QStringLiteral(".args")));
            QFile input(calls.filePath(name + QStringLiteral(".input")));
            if (args.open(QIODevice::ReadOnly)) {
                const QByteArray all = args.readAll();
                for (const QByteArray &a : all.split('\0').mid(0, all.count('\0')))
                    call.arguments << QString::fromUtf8(a);
            }
            if (input.open(QIODevice::ReadOnly))
                call.input = input.readAll();
            out << call;
        }
        calls.removeRecursively();
        calls.mkpath(QStringLiteral("."));
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    static void reapAll()
    {
        while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
    }

    QTemporaryDir dir_;
    QByteArray oldPath_;
};

} // namespace testsupport
