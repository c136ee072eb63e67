#include "Usage.h"
#include "Command.h"
#include "ConnectionOpener.h"
#include "platform/VersionInfo.h"

namespace cli {

namespace {

const QString kConnectionHelp = QStringLiteral(
    "連接 (擇一)：\n"
    "  --profile NAME [--ini PATH]   視窗程式的連接設定檔中的連接設定 (未指定時用其預設連接)\n"
    "  --connect STRING              連接字串，或 SQLite 資料庫檔案路徑\n"
    "  --password-file FILE          由檔案第一行讀取密碼 (命令列上不接受密碼)\n");

const QString kExitHelp = QStringLiteral(
    "結束狀態：0 成功，1 工作失敗，2 用法錯誤，130 以 Ctrl+C 停止 (SIGTERM 為 143，SIGHUP 為 129)。\n"
    "結果寫到標準輸出，訊息寫到標準錯誤輸出。");

} // namespace

QString versionLine()
{
    return QStringLiteral("adoschema ") + platform::versionText();
}

QString generalHelp()
{
    QString text = QStringLiteral("用法：adoschema 命令 [選項]\n\n命令：\n");
    for (const Command &c : commands())
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c.name, c.arguments, c.summary);
    text += QStringLiteral("\n") + kConnectionHelp;
    text += QStringLiteral("\n每個命令的選項：adoschema 命令 --help\n--version 顯示版本。\n") + kExitHelp;
    return text;
}

void prepareParser(QCommandLineParser &parser, const Command &command)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(command.options);
    if (command.usesConnection)
        parser.addOptions(connectionOptions());
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("顯示本說明")});
}

QString commandHelp(const QCommandLineParser &parser, const Command &command)
{
    QString text = QStringLiteral("用法：adoschema %1 %2\n%3\n\n選項：\n").arg(command.name, command.arguments, command.summary);
    for (const QCommandLineOption &o : command.options)
        text += QStringLiteral("  --%1%2\n      %3\n")
                    .arg(o.names().constLast(), o.valueName().isEmpty() ? QString() : QLatin1Char(' ') + o.valueName(),
                         o.description());
    if (command.usesConnection)
        text += QStringLiteral("\n") + kConnectionHelp;
    return text + QStringLiteral("\n") + kExitHelp;
}

} // namespace cli
