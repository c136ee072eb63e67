#include "Console.h"
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

bool progressShown = false;

void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

} // namespace

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void printLine(const QString &line)
{
    write(stdout, line + QLatin1Char('\n'));
    std::fflush(stdout);
}

void printMessage(const QString &text)
{
    endProgress();
    write(stderr, QStringLiteral("adoschema: ") + text + QLatin1Char('\n'));
}

void showProgress(const QString &text)
{
    if (!stderrIsTerminal())
        return;
    write(stderr, QStringLiteral("\r\x1b[K") + text); // carriage return, clear to the line's end
    std::fflush(stderr);
    progressShown = true;
}

void endProgress()
{
    if (!progressShown)
        return;
    write(stderr, QStringLiteral("\r\x1b[K"));
    progressShown = false;
}

} // namespace cli
