// Windows-style attribute bits on real files: read-only is the write permission, the
// other bits live in an extended attribute of the file.
#include "platform/FileAttributes.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace platform;

class TestFileAttributes : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString file_;

    mode_t mode() const
    {
        struct stat st {};
        ::stat(QFile::encodeName(file_).constData(), &st);
        return st.st_mode & 07777;
    }

private slots:
    void init()
    {
        file_ = dir_.filePath(QStringLiteral("f.ini"));
        QFile::remove(file_);
        QFile f(file_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        ::chmod(QFile::encodeName(file_).constData(), 0644);
    }

    void freshFileHasNoBits()
    {
        QCOMPARE(fileGetAttr(file_), 0);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("bits");
        QTest::newRow("hidden") << int(faHidden);
        QTest::newRow("read-only") << int(faReadOnly);
        QTest::newRow("read-only, archive") << int(faReadOnly | faArchive);
        QTest::newRow("hidden, system, archive") << int(faHidden | faSysFile | faArchive);
        QTest::newRow("none") << 0;
    }
    void roundTrip()
    {
        QFETCH(int, bits);
        QVERIFY(fileSetAttr(file_, faHidden | faArchive | faReadOnly));
        QVERIFY(fileSetAttr(file_, bits));
        QCOMPARE(fileGetAttr(file_), bits);
        // Read-only is the write permission and nothing else.
        QCOMPARE((mode() & 0222) == 0, bool(bits & faReadOnly));
        if (!(bits & faReadOnly))
            QVERIFY(mode() & S_IWUSR);
    }

    void readOnlyFollowsPermission()
    {
        ::chmod(QFile::encodeName(file_).constData(), 0444);
        QCOMPARE(fileGetAttr(file_), int(faReadOnly));
        ::chmod(QFile::encodeName(file_).constData(), 0604);
        QCOMPARE(fileGetAttr(file_), 0);
    }

    void bitsAreInTheExtendedAttribute()
    {
        QVERIFY(fileSetAttr(file_, faHidden | faArchive));
        char buffer[16] = {};
        QVERIFY(getxattr(QFile::encodeName(file_).constData(), kDosAttributeName, buffer, sizeof buffer - 1) > 0);
        QCOMPARE(QByteArray(buffer), QByteArray("34"));
    }

    void copyKeepsModeAndBits()
    {
        QVERIFY(fileSetAttr(file_, faHidden | faArchive));
        ::chmod(QFile::encodeName(file_).constData(), 0640);
        const QString other = dir_.filePath(QStringLiteral("g.ini"));
        QFile::remove(other);
        QFile g(other);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.close();
        ::chmod(QFile::encodeName(other).constData(), 0606);
        QVERIFY(copyFileAttributes(file_, other));
        QCOMPARE(fileGetAttr(other), faHidden | faArchive);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(other).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
    }

    void missingFile()
    {
        int error = 0;
        QCOMPARE(fileGetAttr(dir_.filePath(QStringLiteral("none")), &error), -1);
        QCOMPARE(error, ENOENT);
        QVERIFY(!fileSetAttr(dir_.filePath(QStringLiteral("none")), faHidden, &error));
        QCOMPARE(error, ENOENT);
        QVERIFY(!systemErrorMessage(ENOENT).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileAttributes)
#include "tst_fileattributes.moc"
