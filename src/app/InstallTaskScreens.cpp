#include "dialogs/TaskScreens.h"
#include "instrument/CDlgMain.h"

// Each screen that another subsystem opens is plugged in here, one entry per
// line, so that adding a screen never touches the screen that opens it.
void InstallTaskScreens()
{
    TaskScreens &s = Screens();
    s.Acquisition = [](QWidget *parent) { CDlgMain(parent).exec(); };
}
