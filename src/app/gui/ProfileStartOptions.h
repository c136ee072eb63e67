#pragma once
// How the window starts its connection profiles. The program (main) turns the profile
// start on, with the settings folder and the Qt dialogs; a window made without
// these options (tests, tools) keeps the connection string it is given and touches no
// profile file until told otherwise.
#include <QString>
#include <functional>

namespace profiles {
class TADOConnectionINI;
}

namespace gui {

struct ProfileStartOptions {
    bool loadAtStart = false;   // run the profile start at the end of FormCreate
    QString folder;             // the profile file's folder; empty = platform::settingsFolder()
    std::function<void(profiles::TADOConnectionINI &)> installDialogs; // none = cancelled
};

void setProfileStartOptions(const ProfileStartOptions &options);
const ProfileStartOptions &profileStartOptions();

} // namespace gui
