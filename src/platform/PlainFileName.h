#pragma once
// A caption or a table name made into the name of one file in a folder the program
// chose: whatever the text holds, the result names no other folder.
//
// - '/' and '\' (a folder separator here and on the workstations the files go to),
//   control characters and unpaired surrogates become '_';
// - leading dots become '_': "." and ".." name folders, and a name that starts with a
//   dot is hidden in a file list;
// - a name longer than kPlainFileNameMaxBytes (UTF-8) is cut at a character boundary,
//   leaving room for a prefix, an extension and a temporary file's suffix within the
//   255 bytes a file name may have.
// Dots and blanks inside the name stay ("dbo.Orders", "客戶 資料"); an empty text stays
// empty, so callers keep their own default name.
#include <QString>

namespace platform {

constexpr int kPlainFileNameMaxBytes = 200;

QString plainFileName(const QString &text);

} // namespace platform
