#include "dialogs/TaskScreens.h"

#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgDispersion.h"
#include "dialogs/CDlgSet.h"
#include "instrument/CDlgAutoCheck.h"
#include "instrument/CDlgMain.h"
#include "browser/FileSelectDlg.h"
#include "upload/CDlgDataUpLoadOpt.h"

// Each screen that another subsystem opens is plugged in here, one entry per
// line, so that adding a screen never touches the screen that opens it.
void InstallTaskScreens()
{
    TaskScreens &s = Screens();
    s.SelfCheck = [](QWidget *parent, InstrumentLink &link) {
        return CDlgAutoCheck(parent, link).exec() == QDialog::Accepted;
    };
    s.ExportProjects = [](QWidget *parent) { FileSelectDlg(FileSelectDlg::ModeExport, parent).exec(); };
    s.DeleteProjects = [](QWidget *parent) { FileSelectDlg(FileSelectDlg::ModeDelete, parent).exec(); };
    s.ChooseRecord = &FileSelectDlg::ChooseRecord;
    s.Analysis = [](QWidget *parent) { CDlgAnalysis(parent).exec(); };
    s.Dispersion = &CDlgDispersion::Open;
    s.Upload = RunUploadCommand;
    s.Settings = [](QWidget *parent) { CDlgSet screen(parent); screen.exec(); };
    s.Acquisition = [](QWidget *parent) { CDlgMain(parent).exec(); };
}
