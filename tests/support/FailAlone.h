#pragma once
// Runs the body of a test case so that an exception it lets out fails that case alone.
// Qt Test ends the whole program on an uncaught exception, and every later case would
// go unrun. Use: void someCase() { testsupport::failAlone([&] { ... }); }
#include <QString>
#include <QTest>
#include <exception>

namespace testsupport {

template <typename Body>
void failAlone(Body &&body, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    try {
        body();
    } catch (const std::exception &e) {
        const QString message = QStringLiteral("Unexpected exception: %1").arg(QString::fromUtf8(e.what()));
        QTest::qFail(qPrintable(message), file, line);
    } catch (...) {
        QTest::qFail("Unexpected exception of an unknown type", file, line);
    }
}

} // namespace testsupport
