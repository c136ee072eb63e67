#pragma once
// Data-link (.udl) files: a "[oledb]" line, comment lines starting with ";", then the
// connection string.
//
// Reading takes the encodings such files come in: UTF-16LE with or without its
// byte-order mark (as Windows writes them), UTF-8 with or without its mark, and
// otherwise the ANSI code page 950 (Big5). Only a regular file of at most
// kMaxDataLinkFileSize bytes is read; anything else (a device, a FIFO, a folder), a
// larger file or UTF-16 text cut in the middle of a character is refused with a
// DatabaseError naming the file, as are a missing file and one without "[oledb]".
//
// Writing makes UTF-16LE with its mark, through a temporary file renamed over the
// target.
#include <QString>

namespace data {

// A data-link file holds one connection string; this is far above any real one.
inline constexpr qint64 kMaxDataLinkFileSize = 64 * 1024;

QString readDataLinkFile(const QString &path);                                // throws DatabaseError
void writeDataLinkFile(const QString &path, const QString &connectionString); // throws DatabaseError

} // namespace data
