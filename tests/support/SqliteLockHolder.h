#pragma once
// A SQLite file locked by another program (the sqlite3 shell), as a second user would.
#include <QProcess>
#include <QString>

namespace testsupport {

// A second program holding a lock on a SQLite file until it is closed: an exclusive
// one (nobody reads or writes), or a reader's (nobody commits).
class SqliteLockHolder {
public:
    SqliteLockHolder(const QString &file, bool exclusive)
    {
        process_.start(QStringLiteral("sqlite3"), {file});
        process_.waitForStarted();
        process_.write(exclusive ? "BEGIN EXCLUSIVE;\nSELECT 'held';\n" : "BEGIN;\nSELECT count(*) || 'held' FROM t;\n");
        process_.waitForReadyRead(10000);
        held_ = process_.readAll().contains("held");
    }
    ~SqliteLockHolder()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(2000);
    }
    bool held() const { return held_; }

private:
    QProcess process_;
    bool held_ = false;
};

} // namespace testsupport
