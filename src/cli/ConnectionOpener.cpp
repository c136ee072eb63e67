#include "ConnectionOpener.h"
#include "Failures.h"
#include "PasswordSource.h"
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "platform/ProgramFolders.h"
#include "profiles/ADOConnectionINI.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace cli {

namespace {

const QString kProfileFileName = QStringLiteral("ADOConneciton.ini");

// Password=, PWD= anywhere, also inside an ODBC string in Extended Properties.
bool holdsPassword(const QString &text)
{
    static const QRegularExpression key(QStringLiteral("(^|[;\"'{\\s])(password|pwd)\\s*="),
                                        QRegularExpression::CaseInsensitiveOption);
    return key.match(text).hasMatch();
}

QString fromConnectOption(const QString &text)
{
    const QFileInfo file(text);
    if (file.isFile())
        return QStringLiteral("Provider=SQLite.1;Data Source=") + file.absoluteFilePath();
    if (!text.contains(QLatin1Char('=')))
        throw UsageError{QStringLiteral("找不到資料庫檔案：%1").arg(text)};
    if (holdsPassword(text))
        throw UsageError{QStringLiteral("密碼不可寫在命令列上 (行程清單會顯示它)：請改用 --password-file、設定檔或終端機輸入")};
    return text;
}

QString fromProfile(const QCommandLineParser &parser)
{
    const QString ini = parser.isSet(QStringLiteral("ini"))
                            ? QFileInfo(parser.value(QStringLiteral("ini"))).absoluteFilePath()
                            : QDir(platform::settingsFolder()).filePath(kProfileFileName);
    data::Connection scratch;
    profiles::TADOConnectionINI store;
    store.setInitialDir(QFileInfo(ini).absolutePath());
    store.setIniFileName(QFileInfo(ini).fileName());
    store.setADOConnection(&scratch);
    const QString name = parser.value(QStringLiteral("profile"));
    if (!QFileInfo::exists(ini))
        throw WorkFailure{QStringLiteral("找不到連接設定檔：%1").arg(ini)};
    // The store reads an unreadable file as an empty one: say why instead of "no profile".
    if (QFileInfo(ini).isDir())
        throw WorkFailure{QStringLiteral("無法讀取連接設定檔 %1：是一個目錄").arg(ini)};
    if (QFile readable(ini); !readable.open(QIODevice::ReadOnly))
        throw WorkFailure{QStringLiteral("無法讀取連接設定檔 %1：%2").arg(ini, readable.errorString())};
    if (!store.ReadNamedProfile(name))
        throw WorkFailure{QStringLiteral("連接設定檔 %1 中沒有可用的連接設定 \"%2\"").arg(ini, store.DefaultADOConnection())};
    if (store.LastReadProblem() != profiles::ProfileProblem::None)
        throw WorkFailure{store.LastReadProblemText()};
    return scratch.ConnectionString();
}

} // namespace

QList<QCommandLineOption> connectionOptions()
{
    return {
        {QStringLiteral("profile"), QStringLiteral("連接設定檔中的連接設定名稱"), QStringLiteral("NAME")},
        {QStringLiteral("ini"), QStringLiteral("連接設定檔 (預設為視窗程式所用的 ADOConneciton.ini)"), QStringLiteral("PATH")},
        {QStringLiteral("connect"), QStringLiteral("連接字串，或 SQLite 資料庫檔案路徑"), QStringLiteral("STRING")},
        {QStringLiteral("password-file"), QStringLiteral("由此檔案第一行讀取密碼"), QStringLiteral("FILE")},
    };
}

QString connectionStringFrom(const QCommandLineParser &parser)
{
    const bool connect = parser.isSet(QStringLiteral("connect"));
    if (connect && (parser.isSet(QStringLiteral("profile")) || parser.isSet(QStringLiteral("ini"))))
        throw UsageError{QStringLiteral("--connect 不可與 --profile 或 --ini 同時使用")};
    data::ConnectionString cs(connect ? fromConnectOption(parser.value(QStringLiteral("connect"))) : fromProfile(parser));
    supplyPassword(cs, parser.value(QStringLiteral("password-file")));
    return cs.toString();
}

std::unique_ptr<OpenedConnection> openConnection(const QCommandLineParser &parser)
{
    auto opened = std::make_unique<OpenedConnection>();
    opened->connection.setConnectionString(connectionStringFrom(parser));
    opened->connection.setCommandWait(&opened->wait);
    try {
        opened->connection.Open();
    } catch (const data::CommandStopped &e) {
        throw Stopped{e.message()};
    } catch (const data::DatabaseError &e) {
        throw WorkFailure{QStringLiteral("無法連接資料庫：") + e.message()};
    }
    return opened;
}

} // namespace cli
