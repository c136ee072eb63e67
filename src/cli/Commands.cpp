#include "Command.h"
#include "ConnectionOpener.h"
#include "Failures.h"

namespace cli {

Invocation::Invocation(QCommandLineParser &p) : parser(p) {}

Invocation::~Invocation() = default;

data::Connection &Invocation::connection()
{
    if (!opened_)
        opened_ = openConnection(parser);
    return opened_->connection;
}

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = [] {
        std::vector<Command> all{tablesCommand(), exportCommand(), queryCommand(), batchXmlCommand(), rowsetCommand()};
        for (Command &c : maintenanceCommands())
            all.push_back(std::move(c));
        return all;
    }();
    return table;
}

const Command *commandNamed(const QString &name)
{
    for (const Command &c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

void refuseArguments(const QCommandLineParser &parser)
{
    const QStringList extra = parser.positionalArguments();
    if (!extra.isEmpty())
        throw UsageError{QStringLiteral("多餘的引數：%1").arg(extra.join(QLatin1Char(' ')))};
}

QString requiredValue(QCommandLineParser &parser, const QString &option)
{
    const QString value = parser.value(option);
    if (value.isEmpty())
        throw UsageError{QStringLiteral("缺少選項 --%1").arg(option)};
    return value;
}

} // namespace cli
