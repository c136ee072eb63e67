// adoschema: the window's work from a shell (cron, CI, scripts), through the same
// libraries. `adoschema COMMAND [options]`; see `adoschema --help`.
#include "Command.h"
#include "Console.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include "Usage.h"
#include "data/core/DatabaseError.h"
#include "exchange/ExportError.h"
#include "platform/QtTranslation.h"
#include <QCoreApplication>
#include <exception>

namespace {

int runCommand(const cli::Command &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    cli::prepareParser(parser, command);
    if (!parser.parse(arguments))
        throw cli::UsageError{parser.errorText()};
    if (parser.isSet(QStringLiteral("help"))) {
        cli::printLine(cli::commandHelp(parser, command));
        return 0;
    }
    cli::Invocation invocation(parser);
    command.run(invocation);
    return 0;
}

int dispatch(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        cli::printLine(cli::generalHelp());
        return 0;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        cli::printLine(cli::versionLine());
        return 0;
    }
    const cli::Command *command = cli::commandNamed(first);
    if (!command)
        throw cli::UsageError{first.isEmpty() ? QStringLiteral("請指定命令 (adoschema --help 列出所有命令)")
                                              : QStringLiteral("沒有命令 \"%1\" (adoschema --help 列出所有命令)").arg(first)};
    QStringList rest = arguments;
    rest.removeAt(1); // the parser sees the program's name and the command's own options
    return runCommand(*command, rest);
}

int failedWith(int status, const QString &message)
{
    cli::printMessage(message);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    cli::guardStandardStreams();
    QCoreApplication app(argc, argv);
    // The window's name: the settings folder of an installed program is named after it,
    // so both programs read the same profile file.
    QCoreApplication::setApplicationName(QStringLiteral("ADO_Schema"));
    platform::installQtTranslation(); // the parser's own messages in Chinese too
    cli::installStopHandler();
    cli::installFillWait();
    try {
        return dispatch(app.arguments());
    } catch (const cli::UsageError &e) {
        return failedWith(cli::kExitUsage, QStringLiteral("用法錯誤：") + e.message);
    } catch (const cli::Stopped &e) {
        return failedWith(cli::stoppedExitStatus(), e.message);
    } catch (const cli::WorkFailure &e) {
        return failedWith(cli::kExitFailure, e.message);
    } catch (const data::CommandStopped &e) {
        return failedWith(cli::stoppedExitStatus(), e.message());
    } catch (const data::DatabaseError &e) {
        return failedWith(cli::kExitFailure, e.message());
    } catch (const exchange::ExportError &e) {
        return failedWith(cli::kExitFailure, e.message());
    } catch (const std::exception &e) {
        return failedWith(cli::kExitFailure, QString::fromUtf8(e.what()));
    }
}
