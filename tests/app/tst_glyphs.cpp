// Every caption can be drawn: for each character of every caption of the program's
// windows (menus, pages, buttons, labels, status bar panels, lists, window titles) the
// font its widget draws with, or one of the fonts Qt falls back to, has a glyph. A
// machine without a Traditional Chinese font fails here instead of showing empty boxes.
#include "app/gui/ProgramStart.h"
#include "support/ProgramWindows.h"
#include "support/ScriptedUi.h"
#include "support/ShownTexts.h"
#include <QDir>
#include <QFontMetrics>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The characters of a text that the font cannot draw, each once.
QString missingGlyphs(const QString &text, const QFont &font)
{
    const QFontMetrics metrics(font);
    QString missing;
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (QChar::isPrint(c) && c != U' ' && !metrics.inFontUcs4(c) && !missing.contains(one))
            missing += one;
    }
    return missing;
}

} // namespace

class TestGlyphs : public QObject {
    Q_OBJECT
    testsupport::ScriptedUiScope ui;
    QTemporaryDir empty;

private slots:
    void initTestCase()
    {
        gui::installQtTranslation(); // Qt's own captions are checked in Chinese too
    }

    // The check itself: Latin letters are drawn by any font; blanks need no glyph.
    void latinNeedsNoChineseFont()
    {
        const QFont font = QApplication::font();
        QCOMPARE(missingGlyphs(QStringLiteral("SQL XML  "), font), QString());
    }

    void everyCaptionHasGlyphs()
    {
        const auto windows = shown::buildProgramWindows(empty.path());
        QStringList failures;
        int chinese = 0;
        for (const auto &[name, window] : windows) {
            for (const shown::ShownText &t : shown::shownTexts(window.get())) {
                for (const QChar c : t.text)
                    chinese += c.script() == QChar::Script_Han;
                const QString missing = missingGlyphs(t.text, t.font);
                if (!missing.isEmpty())
                    failures << QStringLiteral("%1: %2 \"%3\" lacks \"%4\" in %5")
                                    .arg(name, t.where, t.text, missing, t.font.family());
            }
        }
        QVERIFY2(chinese > 500, qPrintable(QString::number(chinese))); // the walk saw the captions
        QVERIFY2(failures.isEmpty(), qPrintable(QString::number(failures.size()) + QStringLiteral(" captions:\n")
                                                + failures.join(QLatin1Char('\n'))));
    }

    // The same walk on a machine whose only fonts are the Latin ones Qt itself needs (a
    // fresh Debian machine): this program run again with a font configuration that
    // knows only the DejaVu fonts reports the Chinese captions as undrawable.
    void failsWithoutChineseFont()
    {
        QTemporaryDir fonts;
        QFile config(fonts.filePath(QStringLiteral("fonts.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                    "<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir>"
                                    "<cachedir>%1</cachedir></fontconfig>\n")
                         .arg(fonts.filePath(QStringLiteral("cache"))).toUtf8());
        config.close();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FONTCONFIG_FILE"), config.fileName());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("everyCaptionHasGlyphs")});
        QVERIFY(child.waitForFinished(120000));
        const QString output = QString::fromUtf8(child.readAll());
        QCOMPARE(child.exitCode(), 1); // one failed test function
        static const QRegularExpression count(QStringLiteral("(\\d+) captions:"));
        const QRegularExpressionMatch found = count.match(output);
        QVERIFY2(found.hasMatch(), qPrintable(output));
        QVERIFY2(found.captured(1).toInt() > 100, qPrintable(output)); // nearly every Chinese caption
        QVERIFY2(output.contains(QStringLiteral("btnSelectAll \"全選\" lacks \"全選\"")), qPrintable(output));
    }

    // The fixed captions of the window's pages and status bar, by name: the ones a
    // person sees first.
    void mainWindowCaptions_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t : {"表格名稱及欄位名稱", "索引檔", "Schema資料集", "SQL語法", "XML資料集", "網路",
                              "[資料庫離線中]", "來源：", "資料庫：", "資料庫相關資訊", "取得自定表格　"})
            QTest::newRow(t) << QString::fromUtf8(t);
    }
    void mainWindowCaptions()
    {
        QFETCH(QString, text);
        Tfm_ADO_Schema window;
        bool seen = false;
        for (const shown::ShownText &t : shown::shownTexts(&window))
            if (t.text == text) {
                seen = true;
                QCOMPARE(missingGlyphs(t.text, t.font), QString());
            }
        QVERIFY2(seen, qPrintable(text));
    }
};

QTEST_MAIN(TestGlyphs)
#include "tst_glyphs.moc"
