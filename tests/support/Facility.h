#pragma once
// Tests that need something this machine may lack (root, network namespaces, a Samba
// server): outside CI they skip with the reason; in CI (CI=true) the lack is a failure.
#include <QtTest>

namespace testsupport {

inline bool inCI()
{
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

} // namespace testsupport

#define REQUIRE_FACILITY(available, reason)                                                      \
    do {                                                                                         \
        if (!(available)) {                                                                      \
            if (testsupport::inCI())                                                             \
                QFAIL(qPrintable(QStringLiteral("missing in CI: ") + (reason)));                 \
            QSKIP(qPrintable(reason));                                                           \
        }                                                                                        \
    } while (false)
