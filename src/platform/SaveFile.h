#pragma once
// Writing a file through a temporary file that replaces the target only when all of it
// was written (QSaveFile), without losing why a write failed.
//
// Qt keeps small writes in its own buffer and flushes it in commit(); when that flush
// fails (a full disk) the error is dropped, and commit() renames an empty or cut file
// over the target and reports success. Opened without that buffer, every write reaches
// the system at once and a failure carries the system's text ("No space left on device").
#include <QSaveFile>
#include <QString>

namespace platform {

// Opens `file` for writing, unbuffered, never writing the target in place.
bool openForSave(QSaveFile &file);
// Writes all of `size` bytes; false when the system took less.
bool writeAll(QSaveFile &file, const char *data, qint64 size);
// Why the last step failed, in the system's words: the file's error text, or the text
// of errno when Qt only knows "Unknown error".
QString saveFailureReason(const QFileDevice &file, int savedErrno);

} // namespace platform
