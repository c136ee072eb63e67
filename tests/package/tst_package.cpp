// The installable program: `cmake --install` lays out the program, its desktop entry,
// icon, AppStream metadata and man page under any prefix, and the validators accept
// them; scripts/package-deb.sh makes a .deb that lintian finds no error in and whose
// dependencies name what the program needs at run time; installed with apt-get, the
// program starts on an X display and draws its captions in Chinese. The installed
// package is removed again at the end, also when a check fails.
#include "platform/ProgramFolders.h"
#include "support/Facility.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

const QString kPackage = QStringLiteral("ado-schema");

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {},
        int timeoutMs = 300000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, arguments);
    const bool finished = p.waitForFinished(timeoutMs);
    Run r{finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromUtf8(p.readAll())};
    if (!finished)
        p.kill();
    return r;
}

QString buildDir() { return qEnvironmentVariable("ADO_TEST_BINARY_DIR"); }
QString sourceDir() { return qEnvironmentVariable("ADO_TEST_SOURCE_DIR"); }

bool toolsPresent()
{
    for (const char *tool : {"desktop-file-validate", "appstreamcli", "lintian", "cpack", "xvfb-run", "import",
                             "xwininfo"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

bool packageInstalled()
{
    const Run r = run(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), kPackage});
    return r.output.contains(QStringLiteral("install ok installed"));
}

// Pixels darker than mid-grey: text, frames and lines.
qint64 inkPixels(const QImage &image)
{
    qint64 ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 128;
    return ink;
}

// Removes the package however the test ends.
struct PackageRemoval {
    bool armed = false;
    ~PackageRemoval()
    {
        if (armed)
            run(QStringLiteral("apt-get"), {QStringLiteral("purge"), QStringLiteral("-y"), QStringLiteral("-q"),
                                            QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=600"), kPackage});
    }
};

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
    QTemporaryDir work;
    QString deb;
    QString prefix; // where `cmake --install` put the program

    QString installedFile(const QString &relative) const
    {
        // "%1" in a relative path stands for the application id; other paths stay as they are.
        const QString path = relative.contains(QLatin1String("%1")) ? relative.arg(platform::applicationId()) : relative;
        return QDir(prefix).filePath(path);
    }

    // The installed program on a virtual display, with a profile of its own in a home
    // folder of its own: the screen's picture.
    void shootInstalledWindow(const QString &name, const QString &fontConfig, QImage &picture)
    {
        const QString home = work.filePath(QStringLiteral("home-") + name);
        const QString config = home + QStringLiteral("/config/ADO_Schema");
        QVERIFY(QDir().mkpath(config));
        QFile profile(config + QStringLiteral("/ADOConneciton.ini"));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write(QStringLiteral("[&&Main&&]\r\nDefault ADOConnection=demo\r\nEnabled Selected=0\r\nIni Is Hide=0\r\n"
                                     "[demo]\r\nProvider=SQLite.1\r\nData Source=%1/demo.db\r\nInitial Catalog=demo\r\n")
                          .arg(home).toUtf8());
        profile.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real X11 window
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        if (!fontConfig.isEmpty())
            env.insert(QStringLiteral("FONTCONFIG_FILE"), fontConfig);
        const QString shot = work.filePath(name + QStringLiteral(".ppm"));
        const Run r = run(QStringLiteral("xvfb-run"),
                          {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1024x700x24"),
                           sourceDir() + QStringLiteral("/tests/package/shoot-window.sh"),
                           QStringLiteral("/usr/bin/ADO_Schema"), shot},
                          env);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QVERIFY(picture.load(shot));
        picture.save(work.filePath(name + QStringLiteral(".png"))); // for a person looking at a failure
    }

private slots:
    void initTestCase()
    {
        REQUIRE_FACILITY(toolsPresent(), QStringLiteral("desktop-file-utils, appstream, lintian, xvfb, x11-utils"));
        QVERIFY(!buildDir().isEmpty());
        QElapsedTimer clock;
        clock.start();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ADO_BUILD_DIR"), buildDir());
        const Run r = run(QStringLiteral("bash"), {sourceDir() + QStringLiteral("/scripts/package-deb.sh"),
                                                   work.filePath(QStringLiteral("deb"))}, env);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        deb = r.output.trimmed().section(QLatin1Char('\n'), -1);
        QVERIFY2(deb.endsWith(QStringLiteral(".deb")) && QFile::exists(deb), qPrintable(r.output));
        qInfo("package built in %lld ms", clock.elapsed());
        prefix = work.filePath(QStringLiteral("any/prefix"));
        const Run installed = run(QStringLiteral("cmake"), {QStringLiteral("--install"), buildDir(), QStringLiteral("--prefix"), prefix});
        QVERIFY2(installed.exitCode == 0, qPrintable(installed.output));
    }

    // Any prefix: the files land where desktops look for them, relative to it.
    void installsUnderAnyPrefix()
    {
        for (const char *relative : {"bin/ADO_Schema", "share/applications/%1.desktop",
                                     "share/icons/hicolor/scalable/apps/%1.svg", "share/metainfo/%1.metainfo.xml",
                                     "share/man/man1/ADO_Schema.1.gz", "share/doc/ado-schema/copyright"})
            QVERIFY2(QFileInfo(installedFile(QString::fromLatin1(relative))).isFile(), relative);
        QVERIFY(QFileInfo(installedFile(QStringLiteral("bin/ADO_Schema"))).isExecutable());
        QVERIFY(QFileInfo(installedFile(QStringLiteral("bin/adoschema"))).isExecutable());
        QVERIFY(QFileInfo(installedFile(QStringLiteral("share/man/man1/adoschema.1.gz"))).isFile());
    }

    void validatorsAcceptDesktopEntryAndMetadata_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("file");
        QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList()
                                       << "share/applications/%1.desktop";
        QTest::newRow("AppStream") << "appstreamcli" << QStringList{"validate", "--no-net"}
                                   << "share/metainfo/%1.metainfo.xml";
    }
    void validatorsAcceptDesktopEntryAndMetadata()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, options);
        QFETCH(QString, file);
        const Run r = run(tool, options << installedFile(file));
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    }

    // The entry starts the installed program and shows the installed icon.
    void desktopEntryNamesProgramAndIcon()
    {
        QFile entry(installedFile(QStringLiteral("share/applications/%1.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("Exec=ADO_Schema")));
        QVERIFY(lines.contains(QStringLiteral("Icon=") + platform::applicationId()));
    }

    void packageNamesWhatTheProgramNeeds_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("needed");
        QTest::newRow("libraries from shlibdeps") << "Depends" << "libqt6widgets6";
        QTest::newRow("ODBC driver manager") << "Depends" << "libodbc2";
        QTest::newRow("X11 platform plugin") << "Depends" << "qt6-qpa-plugins";
        QTest::newRow("Qt's translations") << "Depends" << "qt6-translations-l10n";
        QTest::newRow("Traditional Chinese font") << "Depends" << "fonts-noto-cjk";
        QTest::newRow("SQL Server driver") << "Recommends" << "tdsodbc";
        QTest::newRow("PostgreSQL driver") << "Recommends" << "odbc-postgresql";
    }
    void packageNamesWhatTheProgramNeeds()
    {
        QFETCH(QString, field);
        QFETCH(QString, needed);
        const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, field});
        QCOMPARE(r.exitCode, 0);
        const QStringList names = r.output.split(QRegularExpression(QStringLiteral("[,|]")));
        bool found = false;
        for (const QString &n : names)
            found = found || n.trimmed().section(QLatin1Char(' '), 0, 0) == needed;
        QVERIFY2(found, qPrintable(field + QStringLiteral(": ") + r.output));
    }

    void lintianFindsNoErrors()
    {
        QElapsedTimer clock;
        clock.start();
        const Run r = run(QStringLiteral("lintian"), {deb});
        qInfo("lintian took %lld ms", clock.elapsed());
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        const QStringList errors = r.output.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^E: ")));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    }

    // Installed like any package, the program opens its window with the profile from the
    // user's folder and draws its captions: the picture carries far more ink than the same
    // window on a machine that knows only Latin fonts, where every Chinese character is a
    // hollow box.
    void installedProgramShowsChineseCaptions()
    {
        REQUIRE_FACILITY(::geteuid() == 0, QStringLiteral("root, to install the package"));
        // Another build tree's package check on this machine waits until this one is done.
        QLockFile machineWide(QDir::temp().filePath(QStringLiteral("ado-schema-package-check.lock")));
        machineWide.setStaleLockTime(0);
        QVERIFY(machineWide.lock());
        if (packageInstalled())
            QSKIP("ado-schema is installed on this machine already: left alone");
        QElapsedTimer clock;
        clock.start();
        PackageRemoval removal;
        removal.armed = true;
        const Run install = run(QStringLiteral("apt-get"),
                                {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("-q"),
                                 QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=600"), deb});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
        qInfo("apt-get install took %lld ms", clock.elapsed());

        QImage chinese;
        shootInstalledWindow(QStringLiteral("installed"), QString(), chinese);
        if (QTest::currentTestFailed())
            return;
        QFile latinOnly(work.filePath(QStringLiteral("fonts.conf")));
        QVERIFY(latinOnly.open(QIODevice::WriteOnly));
        latinOnly.write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                       "<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir>"
                                       "<cachedir>%1</cachedir></fontconfig>\n")
                            .arg(work.filePath(QStringLiteral("fontcache"))).toUtf8());
        latinOnly.close();
        QImage boxes;
        shootInstalledWindow(QStringLiteral("latin-only"), latinOnly.fileName(), boxes);
        if (QTest::currentTestFailed())
            return;
        const qint64 withGlyphs = inkPixels(chinese);
        const qint64 withBoxes = inkPixels(boxes);
        QVERIFY2(withGlyphs > 2 * withBoxes, qPrintable(QStringLiteral("%1 dark pixels, %2 with boxes (pictures in %3)")
                                                            .arg(withGlyphs).arg(withBoxes).arg(work.path())));
        // Installed under /usr, it keeps its files in the user's folders.
        QVERIFY(!QFile::exists(QStringLiteral("/usr/bin/ADOConneciton.ini")));
        QVERIFY(QFileInfo(work.filePath(QStringLiteral("home-installed/Documents"))).isDir());
        qInfo("install, two windows and removal took %lld ms", clock.elapsed());
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
