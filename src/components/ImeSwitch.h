#pragma once
// The input-method switch the grid uses when a column without an input method is
// entered. Where the platform offers no input method that can be toggled (this port's
// desktops), the default switch reports "no input method" and sends nothing. A caller
// (a test, or a future platform port) may install its own switch.
#include <QString>

class QWidget;

namespace components {

class ImeSwitch {
public:
    virtual ~ImeSwitch() = default;
    // Whether the current keyboard layout is an input method.
    virtual bool keyboardLayoutIsIme() const { return false; }
    // Sends the toggle between input method and no input method to `window`.
    virtual void sendToggle(QWidget *window) { (void)window; }
    // Gives `edit` the input method called `imeName` whenever it has the focus; with no
    // such input method the edit keeps the keyboard's.
    virtual void useInputMethod(QWidget *edit, const QString &imeName) { (void)edit; (void)imeName; }
};

ImeSwitch &imeSwitch();
// Installs a switch (not owned); nullptr restores the default one.
void setImeSwitch(ImeSwitch *ime);

} // namespace components
