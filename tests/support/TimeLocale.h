#pragma once
// The workstation's date and time settings for one test program. Qt reads them once,
// from the environment, so this runs before main: from a namespace-scope initializer,
// [[maybe_unused]] const bool kTime = testsupport::useTimeLocale("zh_TW.UTF-8");
#include <QtGlobal>

namespace testsupport {

inline bool useTimeLocale(const char *name)
{
    qunsetenv("LC_ALL"); // would override LC_TIME
    return qputenv("LC_TIME", name);
}

} // namespace testsupport
