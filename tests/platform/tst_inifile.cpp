// INI files with Windows profile semantics on real files: placement of new sections and
// keys, in-place replacement, value trimming and limits, integers and Booleans, Big5
// bytes, listings, erasing, failed writes and the file's permissions.
#include "platform/Big5Codec.h"
#include "platform/FileAttributes.h"
#include "platform/IniFile.h"
#include "support/FileBytes.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using platform::IniFile;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path(const QString &name = QStringLiteral("test.ini")) const { return dir_.filePath(name); }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QFile::remove(path());
    }

    void writePlacesSectionsAndKeys_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray() << "S" << "K" << QByteArray("[S]\r\nK=v\r\n");
        QTest::newRow("new section at end, no final newline")
            << QByteArray("[A]\r\nx=1") << "B" << "K" << QByteArray("[A]\r\nx=1\r\n[B]\r\nK=v\r\n");
        QTest::newRow("replace in place, other case, rest untouched")
            << QByteArray("; note\r\n[A]\r\n  Key = old \r\nstray line\n[B]\r\nk=2\r\n") << "a" << "KEY"
            << QByteArray("; note\r\n[A]\r\n  Key =v\r\nstray line\n[B]\r\nk=2\r\n");
        QTest::newRow("new key after last line of its section")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n") << "A" << "K"
            << QByteArray("[A]\r\nx=1\r\nK=v\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("duplicate section: first copy written")
            << QByteArray("[A]\r\nx=1\r\n[a]\r\nx=2\r\n") << "A" << "x"
            << QByteArray("[A]\r\nx=v\r\n[a]\r\nx=2\r\n");
        QTest::newRow("duplicate key: first written")
            << QByteArray("[A]\r\nx=1\r\nX=2\r\n") << "A" << "x" << QByteArray("[A]\r\nx=v\r\nX=2\r\n");
    }
    void writePlacesSectionsAndKeys()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            writeAll(path(), before);
        IniFile ini(path());
        ini.WriteString(section, key, QStringLiteral("v"));
        QCOMPARE(readAll(path()), after);
        QCOMPARE(ini.ReadString(section, key, QStringLiteral("d")), QStringLiteral("v"));
    }

    void readValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks trimmed") << QByteArray("k=  a b \t") << "a b";
        QTest::newRow("double quotes") << QByteArray("k= \" a \" ") << " a ";
        QTest::newRow("single quotes") << QByteArray("k='x'") << "x";
        QTest::newRow("one quote kept") << QByteArray("k=\"x") << "\"x";
        QTest::newRow("mixed quotes kept") << QByteArray("k=\"x'") << "\"x'";
        QTest::newRow("empty") << QByteArray("k=") << "";
        QTest::newRow("equals in value") << QByteArray("k=a=b") << "a=b";
        QTest::newRow("key with blanks") << QByteArray("  k  =1") << "1";
        QTest::newRow("cut to 2047") << QByteArray("k=" + QByteArray(3000, 'x')) << QString(2047, QLatin1Char('x'));
        QTest::newRow("big5") << QByteArray("k=\xA4\xA4\xA4\xE5") << QStringLiteral("中文");
        QTest::newRow("bad bytes") << QByteArray("k=a\xFF") << QStringLiteral("a\uFFFD");
    }
    void readValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        writeAll(path(), "[S]\r\n" + line + "\r\n");
        QCOMPARE(IniFile(path()).ReadString(QStringLiteral("s"), QStringLiteral("K"), QStringLiteral("d")), expected);
    }

    void missingGivesDefault()
    {
        writeAll(path(), "[S]\r\nnoequals\r\n=x\r\n");
        IniFile ini(path());
        QCOMPARE(ini.ReadString("S", "noequals", "d"), QStringLiteral("d"));
        QCOMPARE(ini.ReadString("T", "k", "d"), QStringLiteral("d"));
        QCOMPARE(IniFile(path("absent.ini")).ReadString("S", "k", "d"), QStringLiteral("d"));
        QVERIFY(!ini.ValueExists("S", "noequals"));
        QVERIFY(ini.SectionExists("s"));
        // A folder in place of the file reads as an empty file.
        QCOMPARE(IniFile(dir_.path()).ReadSections(), QStringList());
    }

    void integersAndBooleans_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("integer"); // with default 7
        QTest::addColumn<bool>("boolean"); // with default true
        QTest::newRow("0") << QByteArray("0") << 0 << false;
        QTest::newRow("1") << QByteArray("1") << 1 << true;
        QTest::newRow("2") << QByteArray("2") << 2 << true;
        QTest::newRow("negative") << QByteArray("-5") << -5 << true;
        QTest::newRow("hex") << QByteArray("0x1A") << 26 << true;
        QTest::newRow("hex zero") << QByteArray("0X0") << 0 << false;
        QTest::newRow("hex wraps") << QByteArray("0xFFFFFFFF") << -1 << true;
        QTest::newRow("empty") << QByteArray("") << 7 << true;
        QTest::newRow("word") << QByteArray("False") << 7 << true;
        QTest::newRow("trailing junk") << QByteArray("12ab") << 7 << true;
        QTest::newRow("too large") << QByteArray("99999999999") << 7 << true;
    }
    void integersAndBooleans()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        writeAll(path(), "[S]\r\nk=" + text + "\r\n");
        IniFile ini(path());
        QCOMPARE(ini.ReadInteger("S", "k", 7), integer);
        QCOMPARE(ini.ReadBool("S", "k", true), boolean);
    }

    void writesBooleansAndIntegers()
    {
        IniFile ini(path());
        ini.WriteBool("S", "t", true);
        ini.WriteBool("S", "f", false);
        ini.WriteInteger("S", "i", -12);
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nt=1\r\nf=0\r\ni=-12\r\n"));
    }

    void listingsInFileOrder()
    {
        writeAll(path(), "top=1\r\n[Zeta]\r\nb=1\r\nstray\r\na=2\r\nB=3\r\n[alpha]\r\n[ZETA]\r\nc=4\r\n[\xA4\xA4]\r\n");
        IniFile ini(path());
        QCOMPARE(ini.ReadSections(), QStringList({"Zeta", "alpha", QStringLiteral("中")}));
        QCOMPARE(ini.ReadSection("zeta"), QStringList({"b", "a"}));
        QCOMPARE(ini.ReadSection("alpha"), QStringList());
        QCOMPARE(ini.ReadString(QStringLiteral("中"), "x", "d"), QStringLiteral("d"));
    }

    void eraseSectionAndDeleteKey()
    {
        writeAll(path(), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n");
        IniFile ini(path());
        ini.EraseSection("a");
        QCOMPARE(readAll(path()), QByteArray("[B]\r\ny=2\r\n"));
        ini.DeleteKey("b", "Y");
        QCOMPARE(readAll(path()), QByteArray("[B]\r\n"));
        ini.EraseSection("missing"); // nothing to do
        QCOMPARE(readAll(path()), QByteArray("[B]\r\n"));
    }

    void big5Bytes()
    {
        // Bytes that are not Big5 stay as they are when another line is written.
        writeAll(path(), "[S]\r\nbad=\xFF\xFE\x80\r\n");
        IniFile ini(path());
        ini.WriteString(QStringLiteral("設定"), QStringLiteral("名稱"), QStringLiteral("中文"));
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nbad=\xFF\xFE\x80\r\n[\xB3\x5D\xA9\x77]\r\n\xA6\x57\xBA\xD9=\xA4\xA4\xA4\xE5\r\n"));
        QCOMPARE(ini.ReadString(QStringLiteral("設定"), QStringLiteral("名稱"), QString()), QStringLiteral("中文"));
        QCOMPARE(ini.ReadRawString("S", "bad", QByteArray()), QByteArray("\xFF\xFE\x80"));
        ini.WriteRawString("S", "raw", QByteArray("\x01\xFF\x7F"));
        QCOMPARE(ini.ReadRawString("s", "RAW", QByteArray()), QByteArray("\x01\xFF\x7F"));
        QCOMPARE(platform::big5Encode(QStringLiteral("a😀b")), QByteArray("a?b"));
    }

    void failedWrites()
    {
        // A read-only file (no write permission, also for a superuser).
        writeAll(path(), "[S]\r\nk=1\r\n");
        QVERIFY(platform::fileSetAttr(path(), platform::faReadOnly));
        IniFile ini(path());
        try {
            ini.WriteString("S", "k", "2");
            QFAIL("no error");
        } catch (const platform::IniWriteError &e) {
            QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(path()));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nk=1\r\n"));
        QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, ini.EraseSection("S"));
        // A missing folder, and a folder in place of the file.
        QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, IniFile(dir_.filePath("no/such.ini")).WriteString("S", "k", "1"));
        QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, IniFile(dir_.path()).WriteString("S", "k", "1"));
        QVERIFY(platform::fileSetAttr(path(), 0));
        // No temporary copies are left behind.
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"test.ini"}));
    }

    void permissionsAndAttributesKept()
    {
        const mode_t old = ::umask(0);
        IniFile owner(path());
        owner.setNewFileMode(0600);
        owner.WriteString("S", "k", "1");
        QCOMPARE(modeOf(path()), mode_t(0600));
        ::umask(022);
        IniFile plain(path("plain.ini"));
        plain.WriteString("S", "k", "1");
        QCOMPARE(modeOf(path("plain.ini")), mode_t(0644));
        ::umask(old);

        QVERIFY(platform::fileSetAttr(path(), platform::faHidden | platform::faArchive));
        ::chmod(QFile::encodeName(path()).constData(), 0640);
        owner.WriteString("S", "k", "2");
        QCOMPARE(modeOf(path()), mode_t(0640));
        QCOMPARE(platform::fileGetAttr(path()), platform::faHidden | platform::faArchive);
        QCOMPARE(owner.ReadString("S", "k", ""), QStringLiteral("2"));
    }
    // The encoding is told by the byte-order mark; reads see the text, and a write
    // changes only its line and keeps the encoding.
    void encodingsByMark_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("utf-16le") << "UTF-16LE";
        QTest::newRow("utf-16be") << "UTF-16BE";
        QTest::newRow("utf-8") << "UTF-8";
        QTest::newRow("big5") << "Big5";
    }
    void encodingsByMark()
    {
        QFETCH(QString, encoding);
        auto encode = [&](const QString &text) -> QByteArray {
            if (encoding == QLatin1String("Big5"))
                return platform::big5Encode(text);
            const bool be = encoding == QLatin1String("UTF-16BE");
            if (encoding == QLatin1String("UTF-8"))
                return "\xEF\xBB\xBF" + text.toUtf8();
            QByteArray out = be ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
            for (QChar c : text) {
                const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
                out += be ? QByteArray(1, hi).append(lo) : QByteArray(1, lo).append(hi);
            }
            return out;
        };
        writeAll(path(), encode(QStringLiteral("[設定]\r\n名稱 = 中文 \r\nother=1\r\n[B]\r\nk=2\r\n")));
        IniFile ini(path());
        QCOMPARE(ini.ReadSections(), QStringList({QStringLiteral("設定"), "B"}));
        QCOMPARE(ini.ReadString(QStringLiteral("設定"), QStringLiteral("名稱"), "d"), QStringLiteral("中文"));
        QCOMPARE(ini.Snapshot().encoding() == platform::TextEncoding::Ansi, encoding == QLatin1String("Big5"));

        ini.WriteString(QStringLiteral("設定"), QStringLiteral("名稱"), QStringLiteral("新值"));
        ini.WriteString("C", "k", "3");
        QCOMPARE(readAll(path()), encode(QStringLiteral("[設定]\r\n名稱 =新值\r\nother=1\r\n[B]\r\nk=2\r\n[C]\r\nk=3\r\n")));
    }

    // A value ends at a NUL, as Windows reads it; line breaks and NUL are refused in
    // writes before anything is written.
    void nulEndsAValue()
    {
        writeAll(path(), QByteArray("[S]\r\nk= ab\0cd \r\nq=\"x\0\"\r\n", 23));
        IniFile ini(path());
        QCOMPARE(ini.ReadString("S", "k", "d"), QStringLiteral("ab"));
        QCOMPARE(ini.ReadRawString("S", "k", "d"), QByteArray("ab"));
        QCOMPARE(ini.ReadString("S", "q", "d"), QStringLiteral("\"x"));
    }

    void lineBreaksRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("value with a section") << "S" << "k" << QStringLiteral("a\r\n[Other]\r\nx=1");
        QTest::newRow("value with cr") << "S" << "k" << QStringLiteral("a\rb");
        QTest::newRow("value with nul") << "S" << "k" << QString(QStringLiteral("a%1b")).arg(QChar(0));
        QTest::newRow("key with lf") << "S" << "k\nj" << "v";
        QTest::newRow("section with lf") << "S\n" << "k" << "v";
    }
    void lineBreaksRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        writeAll(path(), "[S]\r\nk=1\r\n");
        IniFile ini(path());
        QVERIFY_THROWS_EXCEPTION(platform::IniValueError, ini.WriteString(section, key, value));
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nk=1\r\n"));
        QVERIFY_THROWS_EXCEPTION(platform::IniValueError, ini.WriteRawString(section, key, value.toLatin1()));
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nk=1\r\n"));
    }

    // A section name holding "]" (an IPv6 address, a port after it) reads back whole.
    void sectionNameWithBracket()
    {
        IniFile ini(path());
        ini.WriteString(QStringLiteral("[::1],1433.master"), "k", "v");
        QCOMPARE(readAll(path()), QByteArray("[[::1],1433.master]\r\nk=v\r\n"));
        QCOMPARE(ini.ReadSections(), QStringList({QStringLiteral("[::1],1433.master")}));
        QCOMPARE(ini.ReadString(QStringLiteral("[::1],1433.master"), "k", "d"), QStringLiteral("v"));
    }

    // Names read from the file lose the blanks around them, so the names asked for do
    // too: a value stored under a table called " lead" reads back, and a second write
    // goes to the same section instead of adding another one.
    void blanksAroundNames_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("leading blank in the section") << " lead" << "n.DisplayLabel";
        QTest::newRow("trailing blank in the section") << "trail " << "n.DisplayLabel";
        QTest::newRow("blanks around the key") << "S" << " n.DisplayLabel\t";
    }
    void blanksAroundNames()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        IniFile ini(path());
        ini.WriteString(section, key, "first");
        ini.WriteString(section, key, "second");
        QCOMPARE(ini.ReadString(section, key, "d"), QStringLiteral("second"));
        QCOMPARE(ini.ReadSection(section).size(), 1);
        QCOMPARE(ini.ReadSections().size(), 1);
    }

    // Bytes that are not characters come back byte for byte: raw values (a scrambled
    // password) and the rest of a file around a changed line. UTF-8 cannot carry two
    // such bytes that would read back as one character: that write is refused.
    void rawBytesKept_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("refused");
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != '\n' && b != ' ' && b != '\t' && b != '"' && b != '\'')
                all += char(b);
        all += "\xF9\xF9\xA2\xA4\x80\xFF\xA4"; // a pair mapped twice, single high bytes, a lone lead
        QTest::newRow("big5") << QByteArray("[S]\r\n") << all << false;
        QTest::newRow("utf-16le") << QByteArray("\xFF\xFE[\0S\0]\0\r\0\n\0", 12) << all << false;
        QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF[S]\r\n") << QByteArray("\x01\xB1\x4B\xBD\x58\x80\xFF\xA4") << false;
        QTest::newRow("utf-8, bytes forming a character") << QByteArray("\xEF\xBB\xBF[S]\r\n") << QByteArray("a\xC2\xA0") << true;
    }
    void rawBytesKept()
    {
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, value);
        QFETCH(bool, refused);
        writeAll(path(), start);
        IniFile ini(path());
        QCOMPARE(ini.Snapshot().holdsRawExactly(value), !refused);
        if (refused) {
            QVERIFY_THROWS_EXCEPTION(platform::IniValueError, ini.WriteRawString("S", "raw", value));
            QCOMPARE(readAll(path()), start);
            return;
        }
        ini.WriteRawString("S", "raw", value);
        QCOMPARE(ini.ReadRawString("S", "raw", ""), value);
        const QByteArray before = readAll(path());
        QVERIFY(before.startsWith(start));
        ini.WriteString("T", "k", "v");
        QVERIFY(readAll(path()).startsWith(before));
        QCOMPARE(ini.ReadRawString("s", "RAW", ""), value);
    }

    // Anything but a regular file reads as empty at once (a FIFO would block a plain
    // open) and refuses writes.
    void fifoReadsAsEmpty()
    {
        const QString fifo = path(QStringLiteral("fifo.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        IniFile ini(fifo);
        QCOMPARE(ini.ReadString("S", "k", "d"), QStringLiteral("d"));
        QCOMPARE(ini.ReadSections(), QStringList());
        QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, ini.WriteString("S", "k", "v"));
        QFile::remove(fifo);
    }

    // Big files: every section and key listed once in file order, a huge value cut.
    void bigFiles()
    {
        QByteArray text;
        for (int i = 0; i < 100000; ++i)
            text += "[Section" + QByteArray::number(i) + "]\r\nk=" + QByteArray::number(i) + "\r\n";
        text += "[section5]\r\nk=dup\r\n[Keys]\r\n";
        for (int i = 0; i < 20000; ++i)
            text += "Key" + QByteArray::number(i) + "=v\r\nKEY" + QByteArray::number(i) + "=dup\r\n";
        text += "[Huge]\r\nv=\"" + QByteArray(3 * 1024 * 1024, '\xA4') + "\"\r\n";
        writeAll(path(), text);
        IniFile ini(path());
        const platform::IniDocument file = ini.Snapshot();
        const QStringList sections = file.ReadSections();
        QCOMPARE(sections.size(), 100002);
        QCOMPARE(sections.at(5), QStringLiteral("Section5"));
        QCOMPARE(sections.at(99999), QStringLiteral("Section99999"));
        QCOMPARE(sections.mid(100000), QStringList({"Keys", "Huge"}));
        QCOMPARE(file.ReadString("SECTION5", "k", "d"), QStringLiteral("5"));
        const QStringList keys = file.ReadSection("keys");
        QCOMPARE(keys.size(), 20000);
        QCOMPARE(keys.last(), QStringLiteral("Key19999"));
        // Its enclosing quotes are removed, then it is cut.
        QCOMPARE(file.ReadString("Huge", "v", "d"), QString(2047, QChar(0x4E2D)));
        QCOMPARE(file.ReadRawString("Huge", "v", "d").size(), 2047);
    }

    void ownerOnlyAfterEveryWrite()
    {
        writeAll(path(), "[S]\r\nk=1\r\n");
        ::chmod(QFile::encodeName(path()).constData(), 0664);
        QVERIFY(platform::fileSetAttr(path(), platform::faHidden));
        ::chmod(QFile::encodeName(path()).constData(), 0664);
        IniFile ini(path());
        ini.setOwnerOnly(true);
        ini.WriteString("S", "k", "2");
        QCOMPARE(modeOf(path()), mode_t(0600));
        QCOMPARE(platform::fileGetAttr(path()), int(platform::faHidden));
        QCOMPARE(readAll(path()), QByteArray("[S]\r\nk=2\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
