#include "ConsoleWording.h"

namespace cli {

namespace {

struct Rewording {
    const char *window; // UTF-8, as the shared code words it
    const char *console;
};

constexpr Rewording kRewordings[] = {
    {"，已改為離線；下一個命令或按 [資料庫連接] 會重新連接。", "，命令未完成。"},
    {"請改用文字檔匯出 (Ctrl+P)!!", "請改用文字檔匯出 (--format txt)!!"},
    {"\n\r", "\n"},
};

} // namespace

QString consoleWording(QString message)
{
    for (const Rewording &r : kRewordings)
        message.replace(QString::fromUtf8(r.window), QString::fromUtf8(r.console));
    return message;
}

} // namespace cli
