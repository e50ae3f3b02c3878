#include "CDlgGain.h"
#include "ui_CDlgGain.h"

#include "FocusGrid.h"
#include "KeypadPrompts.h"
#include "SettingsLook.h"
#include "params/ParamSet.h"

#include <QKeyEvent>

namespace {

constexpr int kGroups = kMaxChannels / kGainGroupSize;
constexpr int kUpperGroupsFrom = 2;   // groups 13-18 and 19-24
constexpr int kChannelsForUpperGroups = 13;

QString GroupName(int group)
{
    const int first = group * kGainGroupSize + 1;
    return QStringLiteral("%1-%2通道").arg(first).arg(first + kGainGroupSize - 1);
}

} // namespace

CDlgGain::CDlgGain(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgGain>())
{
    ui->setupUi(this);
    SetUpScreen(this, SettingsLook());
    m_grid = new FocusGrid(this, {ui->btnOK, ui->btnSet1, ui->btnSet2, ui->btnSet3, ui->btnSet4});
    // With 12 channels the two upper groups are disabled and out of the ring.
    m_grid->SetSkipUnavailable(true);
    m_grid->SetIgnoreTab(true);
    m_grid->SetConfirm([this] { accept(); });
    UpdateButton();
}

CDlgGain::~CDlgGain() = default;

int CDlgGain::CurrentItem() const
{
    return m_grid->Index();
}

void CDlgGain::UpdateButton()
{
    const ParamSet &p = CurrentParams();
    const bool upper = p.Header.ChannelCount >= kChannelsForUpperGroups;
    QPushButton *const buttons[kGroups] = {ui->btnSet1, ui->btnSet2, ui->btnSet3, ui->btnSet4};
    for (int g = 0; g < kGroups; ++g) {
        const bool used = g < kUpperGroupsFrom || upper;
        buttons[g]->setEnabled(used);
        buttons[g]->setText(used ? QStringLiteral("%1\n%2dB").arg(GroupName(g)).arg(p.Gains[g * kGainGroupSize])
                                 : QString());
    }
    m_grid->Refresh();
}

void CDlgGain::AskGroupGain(int group)
{
    ParamSet &p = CurrentParams();
    const int first = group * kGainGroupSize;
    const auto c = AskChoice(this, GroupName(group) + QStringLiteral("(dB):"), QString::number(p.Gains[first]),
                             {QStringLiteral("0"), QStringLiteral("12"), QStringLiteral("24"), QStringLiteral("36"),
                              QStringLiteral("48"), QStringLiteral("60"), QStringLiteral("72")});
    if (c)
        std::fill_n(p.Gains.begin() + first, kGainGroupSize, int(c->Value));
    UpdateButton();
}

void CDlgGain::on_btnSet1_clicked() { AskGroupGain(0); }
void CDlgGain::on_btnSet2_clicked() { AskGroupGain(1); }
void CDlgGain::on_btnSet3_clicked() { AskGroupGain(2); }
void CDlgGain::on_btnSet4_clicked() { AskGroupGain(3); }

void CDlgGain::on_btnOK_clicked()
{
    accept();
}

void CDlgGain::keyPressEvent(QKeyEvent *event)
{
    // The gain dialog closes through OK only: Esc does nothing.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
