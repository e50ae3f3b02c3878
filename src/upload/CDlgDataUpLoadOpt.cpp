#include "CDlgDataUpLoadOpt.h"
#include "ui_CDlgDataUpLoadOpt.h"

#include "CDlgAssitantLoad.h"
#include "cdlgUpLoad.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"

#include <QIcon>

namespace {
constexpr int kNormal = 0;
constexpr int kWitness = 1;
const char kBaseSheet[] = "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 23pt ;}";
} // namespace

CDlgDataUpLoadOpt::CDlgDataUpLoadOpt(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgDataUpLoadOpt>())
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.ico")));
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FullScreen = false;
    SetUpScreen(this, look);
    m_grid = new FocusGrid(this, {ui->btnUpLoad1, ui->btnUpLoad2});
    m_focusIndex = CurrentParams().UploadMode != kNormal ? kWitness : kNormal;
    m_grid->SetIndex(m_focusIndex);
}

CDlgDataUpLoadOpt::~CDlgDataUpLoadOpt() = default;

void CDlgDataUpLoadOpt::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_grid->SetIndex(m_focusIndex);
}

void CDlgDataUpLoadOpt::on_btnUpLoad1_clicked()
{
    m_choice = kNormal;
    accept();
}

void CDlgDataUpLoadOpt::on_btnUpLoad2_clicked()
{
    m_choice = kWitness;
    accept();
}

std::optional<QString> RunUploadCommand(QWidget *parent)
{
    KeyboardGrabPause pause;
    int choice = kNormal;
    {
        CDlgDataUpLoadOpt chooser(parent);
        if (chooser.exec() != QDialog::Accepted)
            return std::nullopt;
        choice = chooser.Choice();
    }
    CurrentParams().UploadMode = choice;
    if (choice != kNormal) {
        CDlgAssitantLoad dialog(parent);
        dialog.exec();
        return std::nullopt;
    }
    cdlgUpLoad dialog(parent);
    // The dialog accepts only when the server took the end frame.
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return CurrentParams().UploadFileName;
}
