#pragma once
// An environment variable set for a scope and put back as it was when the scope ends.
#include <QByteArray>
#include <QtGlobal>

namespace testsupport {

class EnvironmentValue {
public:
    EnvironmentValue(const char *name, const QByteArray &value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentValue()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvironmentValue(const EnvironmentValue &) = delete;
    EnvironmentValue &operator=(const EnvironmentValue &) = delete;

private:
    const char *name_;
    QByteArray old_;
    bool had_;
};

} // namespace testsupport
