#include "ImeSwitch.h"

namespace components {

namespace {
ImeSwitch defaultSwitch;
ImeSwitch *installed = nullptr;
} // namespace

ImeSwitch &imeSwitch()
{
    return installed ? *installed : defaultSwitch;
}

void setImeSwitch(ImeSwitch *ime)
{
    installed = ime;
}

} // namespace components
