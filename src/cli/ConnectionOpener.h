#pragma once
// The connection of a command, from its options:
//   --profile NAME   a profile of the window's profile file (its default one when only
//                    --ini is given, or when no connection option is given at all)
//   --ini PATH       that profile file instead of the window's
//   --connect TEXT   a connection string, or the path of a SQLite file
//   --password-file  the password, from the first line of a file
// A password is never taken from the command line, where every user's process list
// shows it: a connection string holding one is refused. A login without a password
// asks for it on the terminal, without echo.
#include "ConsoleStop.h"
#include "data/core/Connection.h"
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <memory>

namespace cli {

struct OpenedConnection {
    ConsoleWait wait; // outlives the connection that waits through it
    data::Connection connection;
    ~OpenedConnection() { connection.setCommandWait(nullptr); }
};

QList<QCommandLineOption> connectionOptions();

// The connection string the options name (UsageError, WorkFailure when they cannot).
QString connectionStringFrom(const QCommandLineParser &parser);
// Opens it; the database's refusal is a WorkFailure with its own text.
std::unique_ptr<OpenedConnection> openConnection(const QCommandLineParser &parser);

} // namespace cli
