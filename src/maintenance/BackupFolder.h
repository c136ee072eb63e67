#pragma once
// Where the backup files go on the server: derived from the server-side path of the
// database's first file. Paths are the server's own (Windows or Linux), never this
// machine's, so no QDir or native separators are involved.
#include <QString>

namespace maintenance {

// The folder of `firstFileName` (blanks at both ends trimmed): everything before its last
// separator, a root keeping its separator ("C:\x.mdf" -> "C:\"). If that folder contains
// "data" (any case), it is cut just before the character preceding the first "data", so
// the usual ...\MSSQL\Data drops its Data folder. The path's own separator ("\" unless the
// path uses only "/") is then appended:
//   E:\MSSQL\Data\shop.mdf        gives E:\MSSQL\ (cut before "\Data")
//   E:\SQLDB\shop.mdf             gives E:\SQLDB\ (no "data")
//   D:\MyDatabase\Files\shop.mdf  gives D:\M\ ("data" inside "MyDatabase")
//   C:\shop.mdf                   gives C:\\ (the root, then the appended separator)
//   /var/opt/mssql/data/shop.mdf  gives /var/opt/mssql/ (a server on Linux)
QString backupFolder(const QString &firstFileName);

} // namespace maintenance
