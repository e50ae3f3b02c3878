#include "CDlgAssitantLoad.h"
#include "ui_CDlgAssitantLoad.h"

#include "QUpLoadCtrl.h"
#include "QUpLoadThread.h"
#include "UploadInputs.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

namespace {
constexpr int kDialogPointSize = 18;
constexpr int kButtonHeight = 56;
constexpr int kTextLength = 24;
constexpr int kCoordinateDecimals = 6;
constexpr float kMaxLongitude = 180.0f;
constexpr float kMaxLatitude = 90.0f;
/// The dialog's own wait for its worker to end; every wait inside ends far sooner.
constexpr int kQuitWaitMs = 30000;
const char kNoNetwork[] = "0.0.0.0";
const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 18pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit:focus{background-color:rgb(0, 255, 255);}"
    "QLineEdit:!enabled{color:rgb(0, 0, 0);background-color:rgb(230, 230, 230);}";
} // namespace

CDlgAssitantLoad::CDlgAssitantLoad(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgAssitantLoad>())
{
    ui->setupUi(this);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->btnSerialNum, ui->btnLink, ui->btnPause, ui->btnQuit,
                                                      ui->editFileName, ui->editMileageNum, ui->editTaskNum,
                                                      ui->editLongitude, ui->editLatitude})
        w->setMinimumHeight(kButtonHeight);

    m_ctrl = new QUpLoadCtrl(this);
    ui->loadProgressBar->setRange(0, m_ctrl->Init(SnapshotCurrentRecord()));
    ui->loadProgressBar->setValue(0);
    ui->labelPrompt->setText(QStringLiteral("状态:"));
    m_worker = std::make_unique<QUpLoadThread>(m_ctrl);
    connect(m_worker.get(), &QUpLoadThread::signalLinkStatus, this, &CDlgAssitantLoad::slotLinkStatus);
    connect(m_worker.get(), &QUpLoadThread::signalWarning, this, &CDlgAssitantLoad::slotSetWarning);
    connect(m_ctrl, &QUpLoadCtrl::signalIssuedTask, this, &CDlgAssitantLoad::slotIssuedTask);
    connect(m_ctrl, &QUpLoadCtrl::signalWarning, this, &CDlgAssitantLoad::slotSetWarning);
    connect(m_ctrl, &QUpLoadCtrl::signalProgressTagNum, this, &CDlgAssitantLoad::slotProgressTagNum);

    const ParamSet &p = CurrentParams();
    ui->editFileName->setText(p.RecordTitle());
    ui->editMileageNum->clear();
    ui->editTaskNum->clear();
    for (QWidget *w : std::initializer_list<QWidget *>{ui->editFileName, ui->editMileageNum, ui->editTaskNum}) {
        w->setEnabled(false);
        w->setFocusPolicy(Qt::NoFocus);
    }
    ui->btnSerialNum->setText(p.SerialNumber);
    ui->editLongitude->setText(NumberText(p.Longitude));
    ui->editLatitude->setText(NumberText(p.Latitude));
    ui->btnPause->setEnabled(false);

    m_edits = new KeypadEdits(this, [this] { return m_inputsEnabled; });
    m_edits->Add(ui->editLongitude, [this] { EditCoordinate(true); });
    m_edits->Add(ui->editLatitude, [this] { EditCoordinate(false); });

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FontPointSize = kDialogPointSize;
    SetUpScreen(this, look);

    m_grid = new FocusGrid(this, {ui->btnSerialNum, ui->editLongitude, ui->editLatitude, ui->btnLink,
                                  ui->btnPause, ui->btnQuit});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetAfterEnter([this](QWidget *clicked) {
        if (!clicked)
            m_edits->Open(focusWidget());
    });
    m_grid->SetIndex(m_grid->IndexOf(ui->btnLink));
}

CDlgAssitantLoad::~CDlgAssitantLoad()
{
    m_worker.reset();
}

void CDlgAssitantLoad::SetInputsEnabled(bool enabled)
{
    m_inputsEnabled = enabled;
    for (QWidget *w : std::initializer_list<QWidget *>{ui->btnSerialNum, ui->editLongitude, ui->editLatitude})
        w->setEnabled(enabled);
}

void CDlgAssitantLoad::EditCoordinate(bool longitude)
{
    // The keypad starts from the stored value: the field shows the witness
    // text's six significant digits, and OK alone must not store those.
    QLineEdit *edit = longitude ? ui->editLongitude : ui->editLatitude;
    const auto value = AskNumber(this, longitude ? QStringLiteral("经度坐标") : QStringLiteral("纬度坐标"),
                                 longitude ? CurrentParams().Longitude : CurrentParams().Latitude,
                                 kCoordinateDecimals, 0.0f,
                                 longitude ? kMaxLongitude : kMaxLatitude);
    if (!value)
        return;
    (longitude ? CurrentParams().Longitude : CurrentParams().Latitude) = *value;
    edit->setText(NumberText(*value));
}

void CDlgAssitantLoad::on_btnSerialNum_clicked()
{
    const auto text = AskText(this, QStringLiteral("流水号"), ui->btnSerialNum->text(), kTextLength);
    if (!text)
        return;
    CurrentParams().SerialNumber = *text;
    ui->btnSerialNum->setText(*text);
}

void CDlgAssitantLoad::on_btnLink_clicked()
{
    if (m_running) {
        ui->btnLink->setEnabled(false);
        m_worker->RequestLink();
        return;
    }
    if (ui->btnSerialNum->text().isEmpty()) {
        ui->labelPrompt->setText(QStringLiteral("流水号不能为空!!!"));
        return;
    }
    const QString server = WitnessServerAddress();
    if (server == QLatin1String(kNoNetwork)) {
        ui->labelPrompt->setText(QStringLiteral("网络异常!!!"));
        return;
    }
    // The record as it stands now, with the fields just edited; the worker
    // never reads the live record.
    const UploadRecord record = SnapshotCurrentRecord();
    const QString refusal = QUpLoadCtrl::Refusal(record);
    if (!refusal.isEmpty()) {
        ui->labelPrompt->setText(refusal);
        return;
    }
    ui->loadProgressBar->setRange(0, m_ctrl->Init(record));
    m_ctrl->SetServer(server, WitnessServerPort());
    SetInputsEnabled(false);
    ui->btnLink->setEnabled(false);
    m_worker->RequestLink();
    m_worker->StartOrResume();
    m_running = true;
}

void CDlgAssitantLoad::slotLinkStatus(bool linked)
{
    if (linked) {
        ui->btnPause->setEnabled(true);
        ui->labelPrompt->setText(QStringLiteral("连接成功"));
        m_worker->Go();
    } else {
        ui->btnLink->setEnabled(true);
        ui->labelPrompt->setText(QStringLiteral("连接失败"));
    }
}

void CDlgAssitantLoad::slotIssuedTask(const QString &mileage, int task)
{
    ui->editMileageNum->setText(mileage);
    ui->editTaskNum->setText(QStringLiteral("%1").arg(task));
}

void CDlgAssitantLoad::slotProgressTagNum(int value)
{
    ui->loadProgressBar->setValue(value);
}

void CDlgAssitantLoad::slotSetWarning(const QString &text)
{
    if (text == QUpLoadThread::ExitText()) {
        m_running = false;
        return;
    }
    ui->labelPrompt->setText(text);
    if (text == QUpLoadCtrl::DoneText()) {
        // The record is with the server: nothing is left to connect for or pause.
        ui->btnLink->setEnabled(false);
        ui->btnPause->setEnabled(false);
        m_grid->SetIndex(m_grid->IndexOf(ui->btnQuit));
    }
}

void CDlgAssitantLoad::on_btnPause_clicked()
{
    if (ui->btnPause->text() == QStringLiteral("暂停")) {
        m_worker->Pause();
        ui->btnPause->setText(QStringLiteral("重传"));
    } else {
        m_worker->Resume();
        ui->btnPause->setText(QStringLiteral("暂停"));
    }
}

void CDlgAssitantLoad::on_btnQuit_clicked()
{
    if (m_leaving)
        return;
    m_leaving = true;
    if (m_running) {
        m_worker->Quit();
        WaitUntil([this] { return !m_running; }, kQuitWaitMs);
    }
    accept();
}

void CDlgAssitantLoad::reject()
{
    on_btnQuit_clicked();
}
