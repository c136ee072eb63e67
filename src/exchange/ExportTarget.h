#pragma once
// Where an export goes: the folder and the base name taken from the grid's caption, and
// the message shown when the file has been written.
#include <QString>

namespace exchange {

struct ExportTarget {
    QString dir;  // folder of the file, without a trailing separator (except the root)
    QString name; // base name; the extension is added to it, never replaced
    QString filePath(const QString &extension) const;
};

// The folder part of fileName (before its last '/'), or defaultDir when it has none (a
// relative folder is taken from defaultDir too); the name part after it, or "Temp" when
// that is blank. The name is kept untrimmed, so "Orders.XML" gives "Orders.XML.Txt".
ExportTarget exportTargetFor(const QString &fileName, const QString &defaultDir);

// 已產生  "name.ext" 檔案至 "dir" 目錄下!!
QString exportDoneMessage(const QString &fileName, const QString &dir);

} // namespace exchange
