#include "CDlgMoreSettings.h"

#include "FocusGrid.h"
#include "SettingsLook.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>

namespace {

constexpr int kButtonWidth = 220;
constexpr int kButtonHeight = 120;

QToolButton *MakeButton(QWidget *parent, const char *name)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(kButtonWidth, kButtonHeight);
    return b;
}

} // namespace

CDlgMoreSettings::CDlgMoreSettings(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("更多设置"));
    m_autoSave = MakeButton(this, "btnAutoSave");
    m_ok = MakeButton(this, "btnOK");
    m_ok->setText(QStringLiteral("确定"));
    auto *row = new QHBoxLayout(this);
    row->addWidget(m_autoSave);
    row->addWidget(m_ok);

    ScreenLook look = SettingsLook();
    look.FullScreen = false;
    SetUpScreen(this, look);
    connect(m_autoSave, &QToolButton::clicked, this, &CDlgMoreSettings::on_btnAutoSave_clicked);
    connect(m_ok, &QToolButton::clicked, this, &QDialog::accept);

    m_grid = new FocusGrid(this, {m_autoSave, m_ok});
    m_grid->SetIgnoreTab(true);
    m_grid->SetConfirm([this] { accept(); });
    UpdateCaptions();
    m_grid->SetIndex(0);
}

void CDlgMoreSettings::UpdateCaptions()
{
    m_autoSave->setText(CurrentPreferences().AutoSave ? QStringLiteral("自动保存\n开启")
                                                      : QStringLiteral("自动保存\n关闭"));
}

void CDlgMoreSettings::on_btnAutoSave_clicked()
{
    Preferences &prefs = CurrentPreferences();
    prefs.AutoSave = !prefs.AutoSave;
    bool diskFull = false;
    if (!prefs.Save(&diskFull)) {
        // Kept for this run; the operator must know it will not survive a restart.
        ShowMessage(this, ParamSet::SaveResultText(diskFull ? kSettingsDiskFull : kSettingsNotSaved));
    }
    UpdateCaptions();
    m_grid->Refresh();
}

void CDlgMoreSettings::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        QDialog::keyPressEvent(event);
}
