#pragma once
// A compound file (version 3, 512-byte sectors) holding one stream, as Excel 97-2003
// workbooks are stored. The stream is padded to at least 4,096 bytes so that it lives in
// ordinary sectors and the file needs no mini stream.
#include <QString>
#include <string>

namespace exchange {

// Writes the container to a temporary file renamed over path; throws ExportError with
// the file's error text.
void writeCompoundFile(const QString &path, const QString &streamName, std::string stream);

} // namespace exchange
