#include "dialogs/TaskScreens.h"

#include "dialogs/CDlgSet.h"
#include "instrument/CDlgAutoCheck.h"

// Each screen that another subsystem opens is plugged in here, one entry per
// line, so that adding a screen never touches the screen that opens it.
void InstallTaskScreens()
{
    TaskScreens &s = Screens();
    s.SelfCheck = [](QWidget *parent, InstrumentLink &link) {
        return CDlgAutoCheck(parent, link).exec() == QDialog::Accepted;
    };
    s.Settings = [](QWidget *parent) { CDlgSet screen(parent); screen.exec(); };
}
