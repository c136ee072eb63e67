#include "Console.h"
#include "ConsoleWording.h"
#include "Failures.h"
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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

void guardStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", O_RDONLY); // takes the lowest free descriptor: this one
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

// A result that never reached its reader (closed descriptor, full disk behind a
// redirection) is a failed command, not a quiet success.
void printLine(const QString &line)
{
    write(stdout, line + QLatin1Char('\n'));
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        std::clearerr(stdout);
        throw WorkFailure{QStringLiteral("無法寫入標準輸出：%1").arg(qt_error_string(error))};
    }
}

void printMessage(const QString &text)
{
    endProgress();
    write(stderr, QStringLiteral("adoschema: ") + consoleWording(text) + QLatin1Char('\n'));
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
