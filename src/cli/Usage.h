#pragma once
// The console program's help and version texts, and the parser of one command.
#include <QCommandLineParser>
#include <QString>

namespace cli {

struct Command;

QString generalHelp();
QString versionLine();
// The command's options, the connection options for a command that connects, --help.
void prepareParser(QCommandLineParser &parser, const Command &command);
QString commandHelp(const QCommandLineParser &parser, const Command &command);

} // namespace cli
