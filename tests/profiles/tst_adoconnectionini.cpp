// The connection profile store on real INI files in temporary folders: reading and
// writing profiles, the profile choice, password scrambling, hiding the file, and the
// errors of bad files and folders. The dialogs are replaced by scripted answers.
#include "platform/CommonUtils.h"
#include "data/core/Connection.h"
#include "data/core/Providers.h"
#include "platform/Big5Codec.h"
#include "platform/FileAttributes.h"
#include "platform/IniFile.h"
#include "profiles/ADOConnectionINI.h"
#include "support/FailAlone.h"
#include "support/FileBytes.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using profiles::TADOConnectionINI;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

struct Chooser : profiles::ProfileChooser {
    std::optional<QString> answer;
    QStringList names;
    QString current;
    int calls = 0;
    std::optional<QString> ChooseProfile(const QStringList &n, const QString &c) override
    {
        ++calls;
        names = n;
        current = c;
        return answer;
    }
};

struct Builder : profiles::ConnectionStringBuilder {
    QString answer;
    QString initial;
    int calls = 0;
    QString BuildConnectionString(QObject *, const QString &i) override
    {
        ++calls;
        initial = i;
        return answer;
    }
};

struct Editor : profiles::ConnectionEditorRunner {
    int calls = 0;
    bool RunConnectionEditor(data::Connection &) override { return ++calls, false; }
};

} // namespace

class TestADOConnectionINI : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<data::Connection> conn_;
    std::unique_ptr<TADOConnectionINI> store_;
    Chooser chooser_;
    Builder builder_;
    Editor editor_;

    QString ini() const { return store_->IniFilePath(); }

private slots:
    void init()
    {
        testsupport::failAlone([&] {
            dir_ = std::make_unique<QTemporaryDir>();
            conn_ = std::make_unique<data::Connection>();
            store_ = std::make_unique<TADOConnectionINI>();
            store_->setInitialDir(dir_->path());
            store_->setADOConnection(conn_.get());
            chooser_ = Chooser();
            builder_ = Builder();
            editor_ = Editor();
            store_->setProfileChooser(&chooser_);
            store_->setConnectionStringBuilder(&builder_);
            store_->setConnectionEditorRunner(&editor_);
        });
    }

    void defaults()
    {
        testsupport::failAlone([&] {
            TADOConnectionINI s;
            QCOMPARE(s.IniFileName(), QStringLiteral("ADOConneciton.ini"));
            QCOMPARE(s.InitialDir(), QCoreApplication::applicationDirPath());
            QVERIFY(s.IniIsHide());
            QVERIFY(!s.EnabledSelected());
            QVERIFY(s.StartKey() >= 100 && s.StartKey() <= 999);
            QVERIFY(s.MultKey() >= 10000 && s.MultKey() <= 99999);
            QVERIFY(s.AddKey() >= 10000 && s.AddKey() <= 99999);
            QCOMPARE(TADOConnectionINI::ApplicationTitle(), QStringLiteral("profiles_tst_adoconnectionini"));
            // Nothing happens without a connection.
            s.setInitialDir(dir_->path());
            s.LoadProfile();
            QVERIFY(!s.RedefineProfile());
            QVERIFY(!QFile::exists(s.IniFilePath()));
        });
    }

    void fileWithoutMainSection()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[ADOConnectionString]\r\nProvider=SQLite.1\r\nData Source=demo.db\r\nInitial Catalog=main\r\n");
            store_->LoadProfile();
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("ADOConnectionString"));
            QVERIFY(!store_->EnabledSelected());
            QVERIFY(store_->IniIsHide());
            QCOMPARE(chooser_.calls, 0);
            QCOMPARE(conn_->Provider(), QStringLiteral("SQLite.1"));
            QCOMPARE(conn_->ConnectionString(), QStringLiteral("Provider=SQLite.1;Data Source=demo.db;Initial Catalog=main"));
            QCOMPARE(store_->DataSource(), QStringLiteral("demo.db"));
            QCOMPARE(store_->InitialCatalog(), QStringLiteral("main"));
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faHidden));
        });
    }

    void iniIsHideSpellings()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=P\r\nIni Is Hide=0\r\n[P]\r\nProvider=SQLite.1\r\n");
            QVERIFY(platform::fileSetAttr(ini(), platform::faHidden | platform::faArchive));
            store_->LoadProfile();
            QVERIFY(!store_->IniIsHide());
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faArchive));
        });
    }

    void emptyListOffered()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&main&&]\r\nDefault ADOConnection=P\r\nEnabled Selected=1\r\n");
            const QByteArray before = readAll(ini());
            chooser_.answer = std::nullopt; // the dialog's OK on an empty list is a Cancel
            store_->LoadProfile();
            QCOMPARE(chooser_.calls, 1);
            QCOMPARE(chooser_.names, QStringList());
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("P"));
            QCOMPARE(readAll(ini()), before);
            QCOMPARE(conn_->Provider(), QString());
        });
    }

    void choosingProfiles()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=b\r\nEnabled Selected=1\r\n"
                            "[B]\r\nProvider=SQLite.1\r\nData Source=b.db\r\n"
                            "[A]\r\nProvider=SQLite.1\r\nData Source=a.db\r\n");
            const ino_t inode = statOf(ini()).st_ino;
            chooser_.answer = QStringLiteral("b");
            store_->LoadProfile();
            QCOMPARE(chooser_.names, QStringList({"B", "A"}));
            QCOMPARE(chooser_.current, QStringLiteral("b"));
            QCOMPARE(statOf(ini()).st_ino, inode); // nothing written
            QCOMPARE(store_->DataSource(), QStringLiteral("b.db"));

            chooser_.answer = QStringLiteral("A");
            store_->LoadProfile();
            QCOMPARE(platform::IniFile(ini()).ReadString("&&Main&&", "Default ADOConnection", ""), QStringLiteral("A"));
            QCOMPARE(store_->DataSource(), QStringLiteral("a.db"));
            QCOMPARE(conn_->ConnectionString(), QStringLiteral("Provider=SQLite.1;Data Source=a.db"));

            // Without the choice enabled (RedefineProfile reads without offering it).
            chooser_.calls = 0;
            builder_.answer = QString();
            QVERIFY(!store_->RedefineProfile());
            QCOMPARE(chooser_.calls, 0);
            QCOMPARE(builder_.initial, QStringLiteral("Provider=SQLite.1;Data Source=a.db"));
        });
    }

    void firstKeyNeverAppended()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[ADOConnectionString]\r\nFoo=1\r\nData Source=x.db\r\nProvider=SQLite.1\r\nbad line\r\n"
                            "Data Source=dup.db\r\n[ADOConnectionString]\r\nUser ID=other\r\n");
            store_->LoadProfile();
            QCOMPARE(conn_->ConnectionString(), QStringLiteral("Provider=SQLite.1;Data Source=x.db"));
        });
    }

    void passwordsRoundTrip_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << QStringLiteral("secret");
        QTest::newRow("big5") << QStringLiteral("密碼pw");
        QTest::newRow("blanks inside") << QStringLiteral("a b c");
    }
    void passwordsRoundTrip()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, password);
            conn_->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Password=%1;User ID=sa;Data Source=srv;Initial Catalog=db").arg(password));
            store_->WriteProfile();
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("srv.db"));
            const QByteArray stored = platform::IniFile(ini()).ReadRawString("srv.db", "Password", "?");
            QCOMPARE(stored, password.isEmpty() ? QByteArray() : store_->Scramble(platform::big5Encode(password)));
            if (!password.isEmpty())
                QVERIFY(!readAll(ini()).contains(password.toUtf8()));

            data::Connection fresh;
            TADOConnectionINI reader;
            reader.setInitialDir(dir_->path());
            reader.setADOConnection(&fresh);
            reader.LoadProfile();
            QCOMPARE(data::ConnectionString(fresh.ConnectionString()).value("Password"), password);
            QVERIFY(fresh.ConnectionString().contains(QStringLiteral(";Password=") + password + QLatin1Char(';')));
        });
    }

    void passwordWithQuotedForm()
    {
        testsupport::failAlone([&] {
            // A password whose scrambled form begins or ends with a blank or quote still
            // reads back.
            QString password;
            for (int i = 0; i < 100000 && password.isEmpty(); ++i) {
                const QByteArray candidate = "pw" + QByteArray::number(i);
                const QByteArray s = store_->Scramble(candidate);
                if (s.contains('\0') || s.contains('\r') || s.contains('\n'))
                    continue;
                if (s.front() == ' ' || s.back() == '"' || s.back() == '\t')
                    password = QString::fromLatin1(candidate);
            }
            QVERIFY(!password.isEmpty());
            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1;Password=%1;Data Source=x.db").arg(password));
            store_->WriteProfile();
            data::Connection fresh;
            store_->setADOConnection(&fresh);
            store_->LoadProfile();
            QCOMPARE(data::ConnectionString(fresh.ConnectionString()).value("Password"), password);
        });
    }

    void unstorablePasswordWritesNothing()
    {
        testsupport::failAlone([&] {
            QString password;
            for (int i = 0; i < 100000 && password.isEmpty(); ++i) {
                const QByteArray candidate = "pw" + QByteArray::number(i);
                if (store_->Scramble(candidate).contains('\n'))
                    password = QString::fromLatin1(candidate);
            }
            QVERIFY(!password.isEmpty());
            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1;Password=%1;Data Source=x.db").arg(password));
            QVERIFY_THROWS_EXCEPTION(profiles::ProfilePasswordError, store_->WriteProfile());
            QVERIFY(!QFile::exists(ini()));
        });
    }

    void scrambleRoundTrip()
    {
        testsupport::failAlone([&] {
            QCOMPARE(store_->Scramble(QByteArray()), QByteArray());
            QCOMPARE(store_->Unscramble(QByteArray()), QByteArray());
            QByteArray all;
            for (int b = 0; b < 255; ++b)
                all += char(b);
            QCOMPARE(store_->Unscramble(store_->Scramble(all)), all);
            QByteArray high;
            for (int b = 255; b > 0; --b)
                high += char(b);
            QCOMPARE(store_->Unscramble(store_->Scramble(high)), high);
            auto *random = QRandomGenerator::global();
            for (int length = 1; length <= 255; ++length) {
                QByteArray t(length, '\0');
                for (char &c : t)
                    c = char(random->bounded(256));
                const QByteArray s = store_->Scramble(t);
                QCOMPARE(s.size(), t.size());
                QCOMPARE(quint8(s.at(0)), quint8(quint8(t.at(0)) ^ quint8(store_->StartKey() >> 8)));
                QCOMPARE(store_->Unscramble(s), t);
            }
            // Only bits 8 to 15 of the key count: 16-bit arithmetic gives the same bytes.
            QByteArray expected;
            quint16 key = quint16(store_->StartKey());
            for (char c : all) {
                const quint8 o = quint8(c) ^ quint8(key >> 8);
                expected += char(o);
                key = quint16((key + o) * quint16(store_->MultKey()) + quint16(store_->AddKey()));
            }
            QCOMPARE(store_->Scramble(all), expected);
        });
    }

    void applicationNameAndWorkstation()
    {
        testsupport::failAlone([&] {
            conn_->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;Application Name=Other;Workstation ID=elsewhere"));
            store_->WriteProfile();
            platform::IniFile file(ini());
            const QString section = store_->DefaultADOConnection();
            QCOMPARE(section, QStringLiteral("srv."));
            QCOMPARE(file.ReadString(section, "Application Name", ""), TADOConnectionINI::ApplicationTitle());
            QCOMPARE(file.ReadString(section, "Workstation ID", "x"), GetComputerNameText());
            // Every property in the collection's order, the provider first.
            QStringList keys{QStringLiteral("Provider")};
            for (int i = 0; i < conn_->Properties().Count(); ++i)
                keys << conn_->Properties().Item(i).name;
            QCOMPARE(file.ReadSection(section), keys);
            QCOMPARE(file.ReadString(section, "Packet Size", ""), QStringLiteral("4096"));
            QCOMPARE(file.ReadString("&&Main&&", "Ini Is Hide", ""), QStringLiteral("1"));
            QCOMPARE(file.ReadString("&&Main&&", "Enabled Selected", ""), QStringLiteral("0"));
        });
    }

    void profileNames_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("name");
        QTest::newRow("catalog only keeps name") << "Provider=SQLite.1;Initial Catalog=db" << "Keep";
        // SQL Server's collection lists the catalog first, whatever the string's order.
        QTest::newRow("sql server") << "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=db" << "srv.db";
        QTest::newRow("sqlite") << "Provider=SQLite.1;Data Source=srv;Initial Catalog=db" << "srv.db";
        // Unknown providers list the string's pairs in its order.
        QTest::newRow("source first") << "Provider=Other.1;Data Source=srv;Initial Catalog=db" << "db";
        QTest::newRow("catalog first") << "Provider=Other.1;Initial Catalog=db;Data Source=srv" << "srv.db";
        QTest::newRow("empty source keeps name") << "Provider=Other.1;Data Source=;Initial Catalog=db" << "Keep";
    }
    void profileNames()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, connectionString);
            QFETCH(QString, name);
            store_->setDefaultADOConnection(QStringLiteral("Keep"));
            conn_->setConnectionString(connectionString);
            store_->ProfileNameFromProperties();
            QCOMPARE(store_->DefaultADOConnection(), name);
        });
    }

    void firstRunAndOwnerOnlyFile()
    {
        testsupport::failAlone([&] {
            const mode_t old = ::umask(0);
            builder_.answer = QStringLiteral("Provider=SQLite.1;Data Source=/x/demo.db");
            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1"));
            store_->LoadProfile();
            ::umask(old);
            QCOMPARE(builder_.initial, QStringLiteral("Provider=SQLite.1"));
            QCOMPARE(editor_.calls, 1);
            QVERIFY(QFile::exists(ini()));
            QCOMPARE(statOf(ini()).st_mode & 0777, mode_t(0600));
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("/x/demo.db."));
            QCOMPARE(store_->DataSource(), QStringLiteral("/x/demo.db"));
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faHidden));
        });
    }

    void redefineProfile()
    {
        testsupport::failAlone([&] {
            builder_.answer = QString();
            QVERIFY(!store_->RedefineProfile());
            QVERIFY(!QFile::exists(ini()));

            builder_.answer = QStringLiteral("Provider=SQLite.1;Data Source=r.db");
            QVERIFY(store_->RedefineProfile());
            QCOMPARE(store_->DataSource(), QStringLiteral("r.db"));
            const QByteArray written = readAll(ini());
            builder_.answer = QString();
            QVERIFY(!store_->RedefineProfile());
            QCOMPARE(readAll(ini()), written);
        });
    }

    void hidingKeepsOrDropsBits()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&Main&&]\r\n");
            QVERIFY(platform::fileSetAttr(ini(), platform::faReadOnly | platform::faArchive));
            store_->setIniIsHide(true);
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faHidden));
            QVERIFY(platform::fileSetAttr(ini(), platform::faHidden | platform::faReadOnly | platform::faArchive));
            store_->setIniIsHide(false);
            QCOMPARE(platform::fileGetAttr(ini()), platform::faReadOnly | platform::faArchive);
            // Without a file the value is only stored.
            QFile::remove(ini());
            store_->setIniIsHide(true);
            QVERIFY(store_->IniIsHide());
        });
    }

    void enabledSelectedWrites()
    {
        testsupport::failAlone([&] {
            store_->setEnabledSelected(false); // unchanged: no file made
            QVERIFY(!QFile::exists(ini()));
            store_->setEnabledSelected(true);
            QCOMPARE(readAll(ini()), QByteArray("[&&Main&&]\r\nEnabled Selected=1\r\n"));
            const ino_t inode = statOf(ini()).st_ino;
            store_->setEnabledSelected(true);
            QCOMPARE(statOf(ini()).st_ino, inode);
            QCOMPARE(platform::fileGetAttr(ini()), 0); // not hidden here
        });
    }

    void failures()
    {
        testsupport::failAlone([&] {
            // A read-only file: the write error reaches the caller, the file is unchanged.
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=P\r\n[P]\r\nProvider=SQLite.1\r\n");
            QVERIFY(platform::fileSetAttr(ini(), platform::faReadOnly));
            const QByteArray before = readAll(ini());
            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=x.db"));
            try {
                store_->WriteProfile();
                QFAIL("no error");
            } catch (const platform::IniWriteError &e) {
                QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(ini()));
            }
            QCOMPARE(readAll(ini()), before);
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faReadOnly)); // not hidden
            QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, store_->setEnabledSelected(true));

            // A folder that cannot be created (its parent is missing).
            store_->setInitialDir(dir_->filePath(QStringLiteral("a/b")));
            QVERIFY_THROWS_EXCEPTION(profiles::ProfileIoError, store_->WriteProfile());
            // One missing level is created.
            store_->setInitialDir(dir_->filePath(QStringLiteral("a")));
            store_->WriteProfile();
            QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("a/ADOConneciton.ini"))));
        });
    }

    void damagedFile()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "garbage\r\n[&&Main&&]\r\nDefault ADOConnection=\x80\xFF\r\nEnabled Selected=yes\r\n"
                            "Ini is Hide=0x0\r\n[\x80\xFF]\r\nProvider=SQLite.1\r\nData Source=" + QByteArray(3000, 'd') + "\r\n");
            store_->LoadProfile();
            QVERIFY(!store_->EnabledSelected());
            QVERIFY(!store_->IniIsHide());
            QCOMPARE(conn_->Provider(), QStringLiteral("SQLite.1"));
            QCOMPARE(store_->DataSource().size(), 2047);
        });
    }

    void attributeFailureIsShown()
    {
        testsupport::failAlone([&] {
            // A file whose attributes cannot be stored (a /proc file: no extended attributes
            // and no companion file can be made there) is reported in a plain message box.
            testsupport::ScriptedUiScope ui;
            store_->setInitialDir(QStringLiteral("/proc/self"));
            store_->setIniFileName(QStringLiteral("status"));
            store_->setIniIsHide(true);
            QVERIFY(store_->IniIsHide());
            QCOMPARE(ui.messages().size(), 1);
            QCOMPARE(ui.lastMessage().title, TADOConnectionINI::ApplicationTitle());
            QVERIFY(!ui.lastMessage().text.isEmpty());
        });
    }
    // Known answers with the program's keys: a changed key cannot pass, and files
    // written before keep reading back.
    void scramblePinnedAnswers_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("scrambled");
        QTest::newRow("ascii") << QStringLiteral("secret") << QByteArray::fromHex("70fdbc27f045");
        QTest::newRow("big5") << QStringLiteral("密碼") << QByteArray::fromHex("b2599e74");
    }
    void scramblePinnedAnswers()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, password);
            QFETCH(QByteArray, scrambled);
            QCOMPARE(store_->Scramble(platform::big5Encode(password)), scrambled);
            QCOMPARE(platform::big5Decode(store_->Unscramble(scrambled)), password);
            // And in a profile file as such a file holds it.
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=P\r\n[P]\r\nProvider=SQLite.1\r\nPassword=" +
                                scrambled + "\r\nData Source=x.db\r\n");
            store_->LoadProfile();
            QCOMPARE(data::ConnectionString(conn_->ConnectionString()).value("Password"), password);
        });
    }

    // Two servers with a database of the same name are two profiles.
    void twoServersKeepTwoProfiles()
    {
        testsupport::failAlone([&] {
            for (const char *server : {"serverA", "serverB"}) {
                conn_->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=master;"
                                                          "User ID=sa;Password=pw-%1")
                                               .arg(QLatin1String(server)));
                store_->WriteProfile();
            }
            platform::IniFile file(ini());
            QCOMPARE(file.ReadSections(), QStringList({"&&Main&&", "serverA.master", "serverB.master"}));
            QCOMPARE(file.ReadString("&&Main&&", "Default ADOConnection", ""), QStringLiteral("serverB.master"));
            store_->setEnabledSelected(true);
            for (const char *server : {"serverA", "serverB"}) {
                chooser_.answer = QStringLiteral("%1.master").arg(QLatin1String(server));
                data::Connection fresh;
                store_->setADOConnection(&fresh);
                store_->LoadProfile();
                QCOMPARE(chooser_.names, QStringList({"serverA.master", "serverB.master"}));
                QCOMPARE(store_->DataSource(), QLatin1String(server));
                QCOMPARE(store_->InitialCatalog(), QStringLiteral("master"));
                const data::ConnectionString cs(fresh.ConnectionString());
                QCOMPARE(cs.value("Data Source"), QLatin1String(server));
                QCOMPARE(cs.value("Password"), QStringLiteral("pw-%1").arg(QLatin1String(server)));
            }
        });
    }

    // A file written when profiles were named by their database alone keeps loading.
    void catalogOnlySectionLoads()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=master\r\nEnabled Selected=0\r\n"
                            "[master]\r\nProvider=SQLOLEDB.1\r\nPassword=\r\nUser ID=sa\r\nData Source=old\r\n"
                            "Initial Catalog=master\r\n");
            store_->LoadProfile();
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("master"));
            QCOMPARE(store_->DataSource(), QStringLiteral("old"));
            QCOMPARE(conn_->Provider(), QStringLiteral("SQLOLEDB.1"));
            QCOMPARE(conn_->ConnectionString(),
                     QStringLiteral("Provider=SQLOLEDB.1;Password=;User ID=sa;Data Source=old;Initial Catalog=master"));
        });
    }

    // Values that connection strings must quote, and blanks or quotes at the ends,
    // which INI reading would strip: all come back as they were, in the password and in
    // plain properties.
    void hostileValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("semicolon") << QStringLiteral("a;b");
        QTest::newRow("pair inside") << QStringLiteral("ab;cd=ef");
        QTest::newRow("outer blanks") << QStringLiteral("  padded  ");
        QTest::newRow("tab at end") << QStringLiteral("tab\t");
        QTest::newRow("double quotes") << QStringLiteral("\"quoted\"");
        QTest::newRow("single quotes") << QStringLiteral("'single'");
        QTest::newRow("quote inside") << QStringLiteral("a\"b'c");
        QTest::newRow("leading quote") << QStringLiteral("\"open");
        QTest::newRow("equals and brackets") << QStringLiteral("[x]=y");
        QTest::newRow("big5") << QStringLiteral("密碼; 中文 ");
    }
    void hostileValuesRoundTrip()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, value);
            data::ConnectionString cs;
            cs.set("Provider", "SQLOLEDB.1");
            cs.set("Password", value);
            cs.set("User ID", value);
            cs.set("Data Source", "srv");
            cs.set("Initial Catalog", "db");
            conn_->setConnectionString(cs.toString());
            QCOMPARE(conn_->Properties().Find("User ID")->value, value);
            store_->WriteProfile();

            data::Connection fresh;
            TADOConnectionINI reader;
            reader.setInitialDir(dir_->path());
            reader.setADOConnection(&fresh);
            reader.LoadProfile();
            QCOMPARE(fresh.Properties().Find("Password")->value, value);
            QCOMPARE(fresh.Properties().Find("User ID")->value, value);
            QCOMPARE(fresh.Properties().Find("Data Source")->value, QStringLiteral("srv"));
            QCOMPARE(fresh.Properties().Find("Initial Catalog")->value, QStringLiteral("db"));
            QCOMPARE(fresh.Properties().Count(), conn_->Properties().Count());
        });
    }

    // A value the file cannot hold stops the write before anything is written, with
    // an error naming the property.
    void unstorableValuesRefused_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown"); // the character the message names, if any
        QTest::newRow("password without big5") << "Password" << QStringLiteral("pässwörd") << QStringLiteral("ä");
        QTest::newRow("user without big5") << "User ID" << QStringLiteral("ok🙂") << QStringLiteral("🙂");
        QTest::newRow("source without big5") << "Data Source" << QStringLiteral("sérveur") << QStringLiteral("é");
        QTest::newRow("line feed") << "User ID" << QStringLiteral("a\nb") << QString();
        QTest::newRow("carriage return") << "Extended Properties" << QStringLiteral("a\rb") << QString();
    }
    void unstorableValuesRefused()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, property);
            QFETCH(QString, value);
            QFETCH(QString, shown);
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=P\r\n[P]\r\nProvider=SQLite.1\r\n");
            const QByteArray before = readAll(ini());
            data::ConnectionString cs;
            cs.set("Provider", "SQLOLEDB.1");
            cs.set("Data Source", "srv");
            cs.set("Initial Catalog", "db");
            cs.set(property, value);
            conn_->setConnectionString(cs.toString());
            QCOMPARE(conn_->Properties().Find(property)->value, value);
            try {
                store_->WriteProfile();
                QFAIL("no error");
            } catch (const profiles::ProfileValueError &e) {
                QVERIFY2(e.message().contains(QStringLiteral("「%1」").arg(property)), qPrintable(e.message()));
                if (!shown.isEmpty())
                    QVERIFY2(e.message().contains(QStringLiteral("「%1」").arg(shown)), qPrintable(e.message()));
                QCOMPARE(QString::fromUtf8(e.what()), e.message());
            }
            QCOMPARE(readAll(ini()), before);
            QCOMPARE(store_->DefaultADOConnection(), QString());
        });
    }

    // A file that holds a password is its owner's alone after every write, whatever
    // mode it had.
    void writesLeaveTheFileOwnerOnly()
    {
        testsupport::failAlone([&] {
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=P\r\n");
            ::chmod(QFile::encodeName(ini()).constData(), 0644);
            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=x.db;Password=secret"));
            store_->WriteProfile();
            QCOMPARE(statOf(ini()).st_mode & 07777, mode_t(0600));
            QCOMPARE(platform::fileGetAttr(ini()), int(platform::faHidden));

            ::chmod(QFile::encodeName(ini()).constData(), 0664);
            store_->setEnabledSelected(true);
            QCOMPARE(statOf(ini()).st_mode & 07777, mode_t(0600));
        });
    }

    // A profile file in UTF-16 (as Windows' own tools may save it) is read, and a write
    // keeps it UTF-16, the password included.
    void unicodeProfileFile_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("utf-16le") << "UTF-16LE";
        QTest::newRow("utf-8") << "UTF-8";
    }
    void unicodeProfileFile()
    {
        testsupport::failAlone([&] {
            QFETCH(QString, encoding);
            const bool utf16 = encoding == QLatin1String("UTF-16LE");
            auto encode = [&](const QString &text) {
                return utf16 ? QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)
                             : QByteArray("\xEF\xBB\xBF") + text.toUtf8();
            };
            writeAll(ini(), encode(QStringLiteral("[&&Main&&]\r\nDefault ADOConnection=資料\r\nIni Is Hide=0\r\n"
                                                  "[資料]\r\nProvider=SQLite.1\r\nData Source=/tmp/資料.db\r\n")));
            store_->LoadProfile();
            QCOMPARE(store_->DataSource(), QStringLiteral("/tmp/資料.db"));
            QCOMPARE(conn_->ConnectionString(), QStringLiteral("Provider=SQLite.1;Data Source=/tmp/資料.db"));

            conn_->setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=/tmp/ü.db;Password=密碼pw"));
            store_->WriteProfile();
            const QByteArray bytes = readAll(ini());
            QVERIFY(bytes.startsWith(utf16 ? QByteArray("\xFF\xFE[\0&\0", 6) : QByteArray("\xEF\xBB\xBF[&&Main&&]")));
            QVERIFY(bytes.contains(utf16 ? encode(QStringLiteral("/tmp/ü.db")).mid(2) : QStringLiteral("/tmp/ü.db").toUtf8()));

            data::Connection fresh;
            store_->setADOConnection(&fresh);
            store_->LoadProfile();
            QCOMPARE(store_->DefaultADOConnection(), QStringLiteral("/tmp/ü.db."));
            QCOMPARE(fresh.Properties().Find("Password")->value, QStringLiteral("密碼pw"));
            QCOMPARE(fresh.Properties().Find("Data Source")->value, QStringLiteral("/tmp/ü.db"));
        });
    }

    // A scrambled password that does not unscramble to typed text (the file was damaged)
    // is left out of the connection string, never sent as garbage, and the store names
    // the profile and file whose password must be entered again.
    void damagedPasswordNeverSent_data()
    {
        QTest::addColumn<QByteArray>("plain"); // what the stored bytes unscramble to
        QTest::newRow("control character") << QByteArray("ab\x02" "cd");
        QTest::newRow("delete character") << QByteArray("pw\x7F");
        QTest::newRow("half a big5 character") << QByteArray("pw\xA4");
        QTest::newRow("no big5 lead byte") << QByteArray("\xFF" "pw");
    }
    void damagedPasswordNeverSent()
    {
        testsupport::failAlone([&] {
            QFETCH(QByteArray, plain);
            const QByteArray stored = store_->Scramble(plain);
            writeAll(ini(), "[&&Main&&]\r\nDefault ADOConnection=srv.db\r\n[srv.db]\r\nProvider=SQLOLEDB.1\r\n"
                            "User ID=sa\r\nData Source=srv\r\n");
            platform::IniFile(ini()).WriteRawString("srv.db", "Password", stored);
            QCOMPARE(platform::IniFile(ini()).ReadRawString("srv.db", "Password", {}), stored);
            const QByteArray before = readAll(ini());
            store_->LoadProfile();
            QCOMPARE(store_->LastReadProblem(), profiles::ProfileProblem::DamagedPassword);
            QCOMPARE(conn_->ConnectionString(), QStringLiteral("Provider=SQLOLEDB.1;User ID=sa;Data Source=srv"));
            const QString told = store_->LastReadProblemText();
            QVERIFY2(told.contains(QStringLiteral("「srv.db」")) && told.contains(ini()) && told.contains(QStringLiteral("密碼")),
                     qPrintable(told));
            QCOMPARE(readAll(ini()), before);
            // A good password in the same file reads without a problem.
            conn_->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Password=ok;Data Source=srv;Initial Catalog=db"));
            store_->WriteProfile();
            store_->LoadProfile();
            QCOMPARE(store_->LastReadProblem(), profiles::ProfileProblem::None);
            QVERIFY(store_->LastReadProblemText().isEmpty());
        });
    }

    // Control characters never come from typing, so none is stored: reading treats them
    // as damage.
    void controlCharacterPasswordRefused()
    {
        testsupport::failAlone([&] {
            data::ConnectionString cs;
            cs.set("Provider", "SQLOLEDB.1");
            cs.set("Password", QStringLiteral("pw\x01"));
            cs.set("Data Source", "srv");
            conn_->setConnectionString(cs.toString());
            QVERIFY_THROWS_EXCEPTION(profiles::ProfilePasswordError, store_->WriteProfile());
            QVERIFY(!QFile::exists(ini()));
        });
    }

    // A truncated or garbled file: the profile that could not be applied is named with
    // its file, and reading it changes nothing in the file.
    void unreadableProfileNamed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("profile");
        const QByteArray good = "[&&Main&&]\r\nDefault ADOConnection=srv.db\r\nEnabled Selected=0\r\n"
                                "[srv.db]\r\nProvider=SQLOLEDB.1\r\nData Source=srv\r\n";
        QTest::newRow("cut in the main section") << good.left(40) << "srv.db";
        QTest::newRow("cut in the profile's name") << good.left(good.indexOf("[srv.db]") + 4) << "srv.db";
        QTest::newRow("cut before the provider") << good.left(good.indexOf("Provider")) << "srv.db";
        QTest::newRow("empty file") << QByteArray() << "ADOConnectionString";
        QByteArray garbage;
        for (int i = 0; i < 600; ++i)
            garbage += char((i * 7919 + 13) % 256);
        QTest::newRow("garbage") << garbage << "ADOConnectionString";
    }
    void unreadableProfileNamed()
    {
        testsupport::failAlone([&] {
            QFETCH(QByteArray, content);
            QFETCH(QString, profile);
            writeAll(ini(), content);
            store_->LoadProfile();
            QCOMPARE(store_->LastReadProblem(), profiles::ProfileProblem::Unreadable);
            const QString told = store_->LastReadProblemText();
            QVERIFY2(told.contains(QStringLiteral("「%1」").arg(profile)) && told.contains(ini()), qPrintable(told));
            QCOMPARE(readAll(ini()), content);
            QCOMPARE(conn_->Provider(), QString());
        });
    }

    // A section of thousands of keys loads every key with its own value.
    void largeProfile()
    {
        testsupport::failAlone([&] {
            QByteArray text = "[&&Main&&]\r\nDefault ADOConnection=P\r\n[P]\r\nProvider=MSDASQL.1\r\n";
            for (int i = 0; i < 4000; ++i)
                text += "Key" + QByteArray::number(i) + "= value " + QByteArray::number(i) + ";x\r\n";
            writeAll(ini(), text);
            store_->LoadProfile();
            const data::ConnectionProperties &props = conn_->Properties();
            QCOMPARE(props.Find("Key0")->value, QStringLiteral("value 0;x"));
            QCOMPARE(props.Find("Key3999")->value, QStringLiteral("value 3999;x"));
            int keys = 0;
            for (int i = 0; i < props.Count(); ++i)
                keys += props.Item(i).name.startsWith(QLatin1String("Key"));
            QCOMPARE(keys, 4000);
        });
    }
};

QTEST_GUILESS_MAIN(TestADOConnectionINI)
#include "tst_adoconnectionini.moc"
