#include "instrument/CDlgAutoCheck.h"
#include "ui_CDlgAutoCheck.h"

#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "instrument/InstrumentLink.h"
#include "params/ParamSet.h"

#include <QTimer>

namespace {
constexpr int kTickMs = 500;
/// Room left around the dialog on the desktop, and for its title bar.
constexpr int kScreenMargin = 10;
constexpr int kTitleBarHeight = 30;
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 30pt ;}"
    "QPushButton{height:%1px;font: normal %2px \"yaheikr\";color: rgb(0, 0, 0);border-width: 2px;"
    "border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{text-align:left;align:left;height:30px;color: rgb(0, 0, 0);border-width: 2px;"
    "border-color: rgb(0, 0, 0);border-style: solid;font: 23pt ;}";
} // namespace

CDlgAutoCheck::CDlgAutoCheck(QWidget *parent, InstrumentLink &link)
    : QDialog(parent)
    , m_link(link)
    , ui(std::make_unique<Ui::CDlgAutoCheck>())
    , m_round(link)
{
    ui->setupUi(this);
    ui->wShowWave->SetTraces(&m_round.Noise());
    ui->wShowWave->SetFailedChannels(&m_round.FailedChannels());
    m_round.SetStateTextListener([this](const QString &text) { ui->strStateInfo->setText(text); });

    ScreenLook look = CommandButtonsLook(kBaseSheet);
    look.FullScreen = false;
    SetUpScreen(this, look);
    // As large as the desktop allows below a title bar: the bars need the room.
    const QRect area = ScreenArea(this);
    setFixedSize(area.width() - 2 * kScreenMargin,
                 area.height() - kTitleBarHeight - 2 * kScreenMargin);

    // Arrows walk the four buttons; the focus starts on "幅值+", where a stray
    // Enter does no harm (on "保存" it would end the check before any data came).
    m_grid = new FocusGrid(this, {ui->btnAdd, ui->btnMinus, ui->btnSave, ui->btnExit});
    m_grid->SetIndex(0);

    Store().LinkActive = true;
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CDlgAutoCheck::UpdateTime);
    m_timer->start(kTickMs);
}

CDlgAutoCheck::~CDlgAutoCheck() = default;

QString CDlgAutoCheck::StepMaxText()
{
    return QStringLiteral("<font color=red><b>操作失败，幅值已增大至最大范围！</b></font>");
}

QString CDlgAutoCheck::StepMinText()
{
    return QStringLiteral("<font color=red><b>操作失败，幅值已缩小至最小范围！</b></font>");
}

void CDlgAutoCheck::UpdateTime()
{
    m_round.Run();
    ui->wShowWave->update();
}

void CDlgAutoCheck::on_btnAdd_clicked()
{
    CShowNoise *view = ui->wShowWave;
    if (view->AmplitudeStep() < noise::kMaxStep)
        view->SetAmplitudeStep(view->AmplitudeStep() + 1);
    else
        ShowMessage(this, StepMaxText());
}

void CDlgAutoCheck::on_btnMinus_clicked()
{
    CShowNoise *view = ui->wShowWave;
    if (view->AmplitudeStep() > noise::kMinStep)
        view->SetAmplitudeStep(view->AmplitudeStep() - 1);
    else
        ShowMessage(this, StepMinText());
}

void CDlgAutoCheck::stopChecking()
{
    // Clearing LinkActive cuts a running wait short; the round then sees the
    // close at its next check and leaves the last complete picture in place.
    Store().LinkActive = false;
    m_timer->stop();
    m_round.RequestClose();
}

void CDlgAutoCheck::on_btnSave_clicked()
{
    stopChecking();
    Store().SelfCheckRunning = false;
    accept();
}

void CDlgAutoCheck::on_btnExit_clicked()
{
    reject();
}

void CDlgAutoCheck::reject()
{
    stopChecking();
    ParamSet::CopyAcquisition(CurrentParams(), BackupParams());
    QDialog::reject();
}

void CDlgAutoCheck::done(int result)
{
    // The acquisition screen takes the keyboard back once we are gone.
    releaseKeyboard();
    QDialog::done(result);
}
