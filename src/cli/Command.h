#pragma once
// One command of the console program: its name, what it takes, its options and the
// function that runs it. The table of commands is Commands.cpp.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace data { class Connection; }

namespace cli {

class OpenedConnection;

// What a running command gets: its parsed command line and the connection, opened on
// first use from the connection options.
class Invocation {
public:
    explicit Invocation(QCommandLineParser &parser);
    ~Invocation();
    QCommandLineParser &parser;
    data::Connection &connection();

private:
    std::unique_ptr<OpenedConnection> opened_;
};

struct Command {
    QString name;
    QString arguments; // after the name in the usage line: "TABLE… --dir DIR"
    QString summary;   // one line for the general help
    QList<QCommandLineOption> options;
    std::function<void(Invocation &)> run; // throws UsageError, WorkFailure, Stopped
    bool usesConnection = true;
};

const std::vector<Command> &commands();
const Command *commandNamed(const QString &name);

// The commands of each family (one file each).
Command tablesCommand();
Command exportCommand();
Command queryCommand();
Command batchXmlCommand();
Command rowsetCommand();
std::vector<Command> maintenanceCommands();

// UsageError for a command that takes no names but was given some ("backup mydb"
// would otherwise back up the current database instead).
void refuseArguments(const QCommandLineParser &parser);

// The option's value, or UsageError when a required one is missing.
QString requiredValue(QCommandLineParser &parser, const QString &option);

} // namespace cli
