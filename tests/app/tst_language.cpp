// One language on screen: every window and dialog of the program, and what Qt shows for
// it (standard buttons, file dialogs, an editor's context menu), speaks Traditional
// Chinese. A caption fails when it holds an English word outside a short list of names
// that keep their own spelling: provider and property names, "Schema", "SQL", "XML",
// "MS SQL Server", "ADO", "Excel", file names, and a few captions the design fixes in
// English for one dialog.
#include "app/gui/ProgramStart.h"
#include "data/core/Connection.h"
#include "data/core/DataLinkFile.h"
#include "data/core/Dataset.h"
#include "data/core/Providers.h"
#include "support/ProgramWindows.h"
#include "support/ScriptedUi.h"
#include "support/ShownTexts.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>
#include <set>

namespace {

// Words that are names, not English, wherever they stand.
const std::set<QString> kAllowedWords = {
    QStringLiteral("Schema"), QStringLiteral("SQL"), QStringLiteral("XML"), QStringLiteral("MS"),
    QStringLiteral("Server"), QStringLiteral("ADO"), QStringLiteral("Excel"), QStringLiteral("SQLite"),
    QStringLiteral("ODBC"), QStringLiteral("OLE"), QStringLiteral("DB"), QStringLiteral("Ini"),
};

// Captions the design gives in English, by window (object name): the connection string
// editor and the profile chooser keep their designed captions, and the main window's
// caption carries the version in its designed form.
const std::map<QString, std::set<QString>> kDesignCaptions = {
    {QStringLiteral("ConnEditForm"),
     {QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("&Help"),
      QStringLiteral(" Source of Connection "), QStringLiteral("Use Data &Link File"),
      QStringLiteral("&Browse..."), QStringLiteral("Use &Connection String"), QStringLiteral("B&uild...")}},
    {QStringLiteral("fm_SelectADOIniDlg"), {QStringLiteral("OK"), QStringLiteral("Cancel")}},
};
const QRegularExpression kMainCaption(QStringLiteral("^fm_ADO_Schema：Version:\\d+\\.\\d+ Release:\\d+ Build:\\d+$"));

// Provider names and descriptions, and property names: their own spelling.
QStringList providerNames()
{
    QStringList names;
    for (const auto &p : data::providers()) {
        names << p.description << p.name;
        for (const auto &property : p.properties)
            names << property.name;
    }
    // Longest first, so that "Initial File Name" goes before "File Name".
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return names;
}

// The English words of a caption: runs of Latin letters, once names, file names, paths,
// identifiers (fm_ADO_Schema, ADOConnection1) and mnemonic marks are taken out.
QStringList englishWords(QString text)
{
    static const QStringList names = providerNames();
    // A menu entry's shortcut ("複製(&C)\tCtrl+C") names keys, not words.
    text = text.section(QLatin1Char('\t'), 0, 0);
    for (const QString &name : names)
        text.replace(name, QStringLiteral(" "));
    static const QRegularExpression path(QStringLiteral("\\S*[/\\\\]\\S*"));
    static const QRegularExpression fileName(QStringLiteral("(\\*|[\\w\\-]+)\\.[A-Za-z0-9]{1,5}\\b"));
    static const QRegularExpression mnemonic(QStringLiteral("\\(&?[A-Za-z]\\)|&"));
    text.replace(path, QStringLiteral(" ")).replace(fileName, QStringLiteral(" ")).replace(mnemonic, QString());
    static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9_]*"));
    static const QRegularExpression identifier(QStringLiteral("_|\\d|[a-z][A-Z]"));
    QStringList words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (w.size() < 2 || identifier.match(w).hasMatch() || kAllowedWords.count(w))
            continue;
        words << w;
    }
    return words;
}

QString windowNameOf(const QString &where)
{
    return where.section(QLatin1Char('/'), 0, 0);
}

// Entries of the file dialog's folder views and sidebar are file and folder names.
bool inFileView(const shown::ShownText &t)
{
    static const QRegularExpression views(QStringLiteral("QFileDialog/.*(sidebar|listView|treeView)"));
    return views.match(t.where).hasMatch();
}

bool designCaption(const shown::ShownText &t)
{
    if (kMainCaption.match(t.text).hasMatch())
        return true;
    const auto found = kDesignCaptions.find(windowNameOf(t.where));
    return found != kDesignCaptions.end() && found->second.count(t.text);
}

// Failures of the data layer a command can meet; each row's facts (names, SQL, the
// system's own text) are taken out before the words are counted.
struct DataFault {
    const char *row;
    std::function<void(const QString &folder)> run;
    QStringList facts;
};

void openDataset(const QString &connectionString, const QString &sql)
{
    data::Connection connection;
    connection.setConnectionString(connectionString);
    data::Dataset dataset;
    dataset.setConnection(&connection);
    dataset.setCommandText(sql, data::StatementScope::OneStatement);
    dataset.Open();
    dataset.FieldByName(QStringLiteral("nope"));
}

const std::vector<DataFault> &dataFaults()
{
    static const QString memory = QStringLiteral("Provider=SQLite.1;Data Source=:memory:");
    static const std::vector<DataFault> faults = {
        {"missing data link file", [](const QString &f) { data::readDataLinkFile(f + QStringLiteral("/missing.udl")); }, {}},
        {"folder as data link file", [](const QString &f) { data::readDataLinkFile(f); }, {}},
        {"two statements", [](const QString &) { openDataset(memory, QStringLiteral("select 1; select 2")); },
         {QStringLiteral("select 1; select 2")}},
        {"no provider", [](const QString &) { openDataset(QStringLiteral("Data Source=x"), QStringLiteral("select 1")); }, {}},
        {"unknown provider", [](const QString &) { openDataset(QStringLiteral("Provider=Nothing.1"), QStringLiteral("select 1")); }, {}},
        {"missing database file",
         [](const QString &f) { openDataset(QStringLiteral("Provider=SQLite.1;Data Source=") + f + QStringLiteral("/no.db"), QStringLiteral("select 1")); },
         {QStringLiteral("unable to open database file")}},
        {"unknown field", [](const QString &) { openDataset(memory, QStringLiteral("select 1 as a")); }, {QStringLiteral("nope")}},
        {"closed dataset", [](const QString &) { data::Dataset().First(); }, {}},
    };
    return faults;
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
    testsupport::ScriptedUiScope ui;
    QTemporaryDir empty;

private slots:
    void initTestCase()
    {
        QVERIFY2(gui::installQtTranslation(),
                 "qtbase_zh_TW.qm not found in Qt's translations folder (qt6-translations-l10n)");
    }

    // The rule itself, on captions of each kind.
    void englishWordsFound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("chinese") << "資料庫連接    " << QStringList();
        QTest::newRow("names") << "將Schema資料集存成XML" << QStringList();
        QTest::newRow("menu") << "MS SQL Server" << QStringList();
        QTest::newRow("mnemonic") << "重新整理(&R)" << QStringList();
        QTest::newRow("provider") << "Microsoft OLE DB Provider for SQL Server (SQLOLEDB.1)" << QStringList();
        QTest::newRow("property") << "Initial Catalog" << QStringList();
        QTest::newRow("file") << "ADO_OpenSchema.Ini 與 ADOConneciton.ini" << QStringList();
        QTest::newRow("file pattern") << "XML (*.xml)" << QStringList();
        QTest::newRow("path") << "開啟 /usr/share/doc" << QStringList();
        QTest::newRow("word before path") << "Open /tmp" << QStringList{"Open"};
        QTest::newRow("shortcut") << "複製(&C)\tCtrl+C" << QStringList();
        QTest::newRow("identifier") << "fm_ReSchemaVisible(設定欄位是否顯示)" << QStringList();
        QTest::newRow("english button") << "&Cancel" << QStringList{"Cancel"};
        QTest::newRow("english label") << "User name:" << QStringList{"User", "name"};
        QTest::newRow("upper case") << "OK" << QStringList{"OK"};
        QTest::newRow("mixed") << "測試 Connection" << QStringList{"Connection"};
    }
    void englishWordsFound()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(englishWords(text), words);
    }

    void everyWindowSpeaksChinese()
    {
        const auto windows = shown::buildProgramWindows(empty.path());
        QStringList failures;
        int checked = 0;
        for (const auto &[name, window] : windows) {
            for (const shown::ShownText &t : shown::shownTexts(window.get())) {
                ++checked;
                if (designCaption(t) || inFileView(t))
                    continue;
                const QStringList words = englishWords(t.text);
                if (!words.isEmpty())
                    failures << QStringLiteral("%1: %2 \"%3\" (%4)").arg(name, t.where, t.text, words.join(QLatin1Char(' ')));
            }
        }
        QVERIFY2(failures.isEmpty(), qPrintable(QLatin1Char('\n') + failures.join(QLatin1Char('\n'))));
        QVERIFY2(checked > 150, qPrintable(QString::number(checked)));
    }

    // What the data layer says when a command fails is Chinese too, the facts beside it.
    void dataLayerMessagesSpeakChinese_data()
    {
        QTest::addColumn<int>("fault");
        for (size_t i = 0; i < dataFaults().size(); ++i)
            QTest::newRow(dataFaults()[i].row) << int(i);
    }
    void dataLayerMessagesSpeakChinese()
    {
        QFETCH(int, fault);
        const DataFault &f = dataFaults()[size_t(fault)];
        QString message;
        try {
            f.run(empty.path());
        } catch (const data::DatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(!message.isEmpty(), "no error");
        QString rest = message;
        for (const QString &fact : f.facts)
            rest.replace(fact, QStringLiteral(" "));
        QVERIFY2(englishWords(rest).isEmpty(), qPrintable(message));
    }

    // The texts Qt writes itself are there in Chinese (not merely missing).
    void qtTextsAreTranslated_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("message box") << "message box" << QStringList{"確定", "取消", "是", "否"};
        QTest::newRow("context menu") << "editor context menu" << QStringList{"複製", "貼上"};
    }
    void qtTextsAreTranslated()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, expected);
        const auto windows = shown::buildProgramWindows(empty.path());
        QStringList texts;
        for (const auto &w : windows)
            if (w.name == window)
                for (const shown::ShownText &t : shown::shownTexts(w.window.get()))
                    texts << t.text;
        for (const QString &e : expected) {
            const bool found = std::any_of(texts.begin(), texts.end(), [&](const QString &t) { return t.contains(e); });
            QVERIFY2(found, qPrintable(e + QStringLiteral(" not in: ") + texts.join(QLatin1Char('|'))));
        }
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
