#pragma once
// Tables named on the command line, found among the connection's tables as the window
// lists them: by the listed text ("Orders", "Sales.Orders"), else by the plain name
// when exactly one table has it. A name is never parsed into parts, so a table named
// "Q1.Orders" or "a;b" is matched whole.
#include "data/core/TableName.h"
#include <QList>
#include <QStringList>
#include <vector>

class QCommandLineParser;
namespace data { class Connection; }

namespace cli {

std::vector<data::ListedTable> listedTables(data::Connection &connection);
// Every name resolved, or WorkFailure naming those not found before any work is done.
QList<data::ListedTable> resolveTables(data::Connection &connection, const QStringList &names);

class Invocation;
// (--all | TABLE…): every listed table, or the named ones. UsageError for both or
// neither, before the connection is opened.
QList<data::ListedTable> chosenTables(Invocation &call);

} // namespace cli
