#include "analysis/CDlgSetFilt.h"
#include "ui_CDlgSetFilt.h"

#include "analysis/AnalysisScreens.h"
#include "dialogs/KeypadPrompts.h"
#include "analysis/DigitalFilter.h"
#include "dialogs/FocusGrid.h"
#include "params/ParamSet.h"

#include <QKeyEvent>

namespace {
constexpr int kOkIndex = 2; // focus order: low-pass, high-pass, OK
}

CDlgSetFilt::CDlgSetFilt(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgSetFilt>())
{
    ui->setupUi(this);
    // The form's other buttons have neither caption nor function; shown, they
    // would only be blank keys to press.
    for (QPushButton *spare : {ui->btnColor3, ui->btnColor4, ui->btnColor5, ui->btnColor6, ui->btnColor7,
                               ui->btnColor8, ui->btnColor9, ui->btnColor10, ui->btnColor11})
        spare->hide();
    SetUpScreen(this, AnalysisScreenLook());

    m_grid = new FocusGrid(this, {ui->btnColor1, ui->btnColor2, ui->btnOK});
    m_grid->SetIgnoreTab(true);
    m_grid->SetConfirm([this] { accept(); });
    RefreshCaptions();
    m_grid->SetIndex(kOkIndex);
}

CDlgSetFilt::~CDlgSetFilt() = default;

void CDlgSetFilt::RefreshCaptions()
{
    const ParamSet &p = CurrentParams();
    ui->btnColor1->setText(QStringLiteral("低通\n%1Hz").arg(p.LowPassLimit));
    ui->btnColor2->setText(QStringLiteral("高通\n%1Hz").arg(p.HighPassLimit));
}

void CDlgSetFilt::AskLimit(QAbstractButton *button, const QString &title, int &limit)
{
    if (const auto value = AskNumber(this, title, float(limit), 0, 0.0f, float(kMaxFilterLimitHz)))
        limit = int(*value);
    // A press opened the keypad; its release went to the keypad.
    button->setDown(false);
    RefreshCaptions();
    m_grid->Refresh();
}

void CDlgSetFilt::on_btnColor1_pressed()
{
    AskLimit(ui->btnColor1, QStringLiteral("低通(Hz):"), CurrentParams().LowPassLimit);
}

void CDlgSetFilt::on_btnColor2_pressed()
{
    AskLimit(ui->btnColor2, QStringLiteral("高通(Hz):"), CurrentParams().HighPassLimit);
}

void CDlgSetFilt::on_btnOK_clicked()
{
    accept();
}

void CDlgSetFilt::reject()
{
}

void CDlgSetFilt::keyPressEvent(QKeyEvent *event)
{
    // Every key the focus grid leaves over, Escape included, does nothing here.
    event->accept();
}
