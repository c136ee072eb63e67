#pragma once
// A file's bytes, read or written whole, for tests that check what lands on disk byte
// for byte or hand a component a file as another program left it.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace testsupport {

// Empty when the file cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file's content; a file that cannot be opened fails the test.
inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace testsupport
