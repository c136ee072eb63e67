#pragma once
// The console's two streams: results to standard output, messages and progress to
// standard error. Progress is written only when standard error is a terminal, on one
// line that each step overwrites, so a log file or a pipe never gets it.
#include <QString>

namespace cli {

// A closed standard stream gets a descriptor that refuses writes, before any file is
// opened: otherwise the next file opened (the database, an export) would take its
// number and receive what is printed.
void guardStandardStreams();
void printLine(const QString &line);   // standard output; WorkFailure when it fails
void printMessage(const QString &text); // standard error, "adoschema: " before it
void showProgress(const QString &text);
void endProgress();
bool stderrIsTerminal();

} // namespace cli
