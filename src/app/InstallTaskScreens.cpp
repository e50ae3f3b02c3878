#include "dialogs/CDlgSet.h"
#include "dialogs/TaskScreens.h"

// Each screen that another subsystem opens is plugged in here, one entry per
// line, so that adding a screen never touches the screen that opens it.
void InstallTaskScreens()
{
    TaskScreens &s = Screens();
    s.Settings = [](QWidget *parent) { CDlgSet screen(parent); screen.exec(); };
}
