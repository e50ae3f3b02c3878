#include "cdlgUpLoad.h"
#include "ui_cdlgUpLoad.h"

#include "CDataUpLoadThread.h"
#include "UploadInputs.h"
#include "UploadRecord.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QCoreApplication>


namespace {
constexpr int kDialogPointSize = 18;
constexpr int kButtonHeight = 48;
constexpr int kTextLength = 24;
constexpr int kStartPauseMs = 100;
constexpr int kCoordinateDecimals = 6;
constexpr float kMaxLongitude = 180.0f;
constexpr float kMaxLatitude = 90.0f;
constexpr float kMaxAddressByte = 255.0f;
constexpr float kMaxPort = 65535.0f;
/// The dialog's own wait for an aborted worker; it gives up well after any single wait inside ends.
constexpr int kAbortWaitMs = 30000;
const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 18pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit:focus{background-color:rgb(0, 255, 255);}"
    "QLineEdit[frame=\"false\"]{border-width: 0px;border-bottom: 2px solid rgb(0, 0, 0);}";
} // namespace

cdlgUpLoad::cdlgUpLoad(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::cdlgUpLoad>())
{
    ui->setupUi(this);
    for (QPushButton *b : {ui->btnProfileNum, ui->btnFileName, ui->btnIMNum, ui->btnSerialNum, ui->BtnOK, ui->BtnCancel})
        b->setMinimumHeight(kButtonHeight);
    for (QLineEdit *e : {ui->editLongitude, ui->editLatitude, ui->editIP1, ui->editIP2, ui->editIP3, ui->editIP4, ui->editPort})
        e->setMinimumHeight(kButtonHeight);
    // The file name is shown, not edited.
    ui->btnFileName->setFocusPolicy(Qt::NoFocus);

    ParamSet &p = CurrentParams();
    m_edits = new KeypadEdits(this, [this] { return m_inputsEnabled; });
    const auto address = [this, &p](QLineEdit *edit, int part) {
        m_edits->Add(edit, [this, edit, part] {
            EditNumber(edit, QStringLiteral("IP地址第%1部分").arg(part + 1), 0, 0.0f, kMaxAddressByte,
                       quint8(CurrentParams().UploadServerAddress()[part]),
                       [part](float v) { CurrentParams().UploadServerAddress()[part] = qint8(quint8(v)); });
        });
        edit->setText(NumberText(quint8(p.UploadServerAddress()[part])));
    };
    address(ui->editIP1, 0);
    address(ui->editIP2, 1);
    address(ui->editIP3, 2);
    address(ui->editIP4, 3);
    m_edits->Add(ui->editPort, [this] {
        EditNumber(ui->editPort, QStringLiteral("端口号"), 0, 0.0f, kMaxPort, CurrentParams().UploadServerPort(),
                   [](float v) { CurrentParams().UploadServerPort() = int(v); });
    });
    m_edits->Add(ui->editLongitude, [this] {
        EditNumber(ui->editLongitude, QStringLiteral("经度坐标"), kCoordinateDecimals, 0.0f, kMaxLongitude,
                   CurrentParams().Longitude, [](float v) { CurrentParams().Longitude = v; });
    });
    m_edits->Add(ui->editLatitude, [this] {
        EditNumber(ui->editLatitude, QStringLiteral("纬度坐标"), kCoordinateDecimals, 0.0f, kMaxLatitude,
                   CurrentParams().Latitude, [](float v) { CurrentParams().Latitude = v; });
    });

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FontPointSize = kDialogPointSize;
    SetUpScreen(this, look);

    m_grid = new FocusGrid(this, {ui->btnProfileNum, ui->btnIMNum, ui->btnSerialNum, ui->editLongitude,
                                  ui->editLatitude, ui->editIP1, ui->editIP2, ui->editIP3, ui->editIP4,
                                  ui->editPort, ui->BtnOK, ui->BtnCancel});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetConfirm([this] {
        if (ui->BtnOK->isEnabled())
            on_BtnOK_clicked();
    });
    m_grid->SetAfterEnter([this](QWidget *clicked) {
        if (!clicked)
            m_edits->Open(focusWidget());
    });

    ui->labelPrompt->setText(QStringLiteral("状态:"));
    const QString title = p.RecordTitle();
    if (p.LastUploadRecord.isEmpty() || p.LastUploadRecord != title)
        p.UploadProfileNumber = p.Header.ProfileNumber;
    p.LastUploadRecord = title;
    p.UploadFileName = title;
    ui->btnFileName->setText(LiteralCaption(title));
    RefreshFields();
    ui->editLongitude->setText(CoordinateText(p.Longitude));
    ui->editLatitude->setText(CoordinateText(p.Latitude));
    ui->editPort->setText(NumberText(p.UploadServerPort()));
    SetInputsEnabled(true);
    m_grid->SetIndex(m_grid->IndexOf(ui->BtnOK));
}

cdlgUpLoad::~cdlgUpLoad() = default;

void cdlgUpLoad::RefreshFields()
{
    const ParamSet &p = CurrentParams();
    ui->btnIMNum->setText(p.InstrumentNumber);
    ui->btnSerialNum->setText(p.SerialNumber);
    ui->btnProfileNum->setText(p.UploadProfileNumber);
}

void cdlgUpLoad::EditText(const QString &title, QString &field)
{
    const auto text = AskText(this, title, field, kTextLength);
    if (!text)
        return;
    field = *text;
    RefreshFields();
}

void cdlgUpLoad::EditNumber(QLineEdit *edit, const QString &title, int decimals, float minimum, float maximum,
                            float stored, const std::function<void(float)> &store)
{
    // From the stored value, not the field's text: OK alone must not store
    // what the screen rounded.
    const auto value = AskNumber(this, title, stored, decimals, minimum, maximum);
    if (!value)
        return;
    edit->setText(decimals == kCoordinateDecimals ? CoordinateText(*value) : NumberText(*value));
    store(*value);
}

void cdlgUpLoad::on_btnProfileNum_clicked()
{
    EditText(QStringLiteral("剖面编号"), CurrentParams().UploadProfileNumber);
}

void cdlgUpLoad::on_btnSerialNum_clicked()
{
    EditText(QStringLiteral("流水号"), CurrentParams().SerialNumber);
}

void cdlgUpLoad::on_btnIMNum_clicked()
{
    EditText(QStringLiteral("测试仪编号"), CurrentParams().InstrumentNumber);
}

void cdlgUpLoad::SetInputsEnabled(bool enabled)
{
    m_inputsEnabled = enabled;
    for (QWidget *w : std::initializer_list<QWidget *>{ui->BtnOK, ui->btnProfileNum, ui->btnIMNum, ui->btnSerialNum,
                                                      ui->editLongitude, ui->editLatitude, ui->editIP1, ui->editIP2,
                                                      ui->editIP3, ui->editIP4, ui->editPort})
        w->setEnabled(enabled);
    ui->progressBarFinish->setVisible(!enabled);
    if (!enabled)
        ui->progressBarFinish->setValue(0);
    // A disabled button cannot keep the focus; Cancel takes it, except in
    // OK's pause: there a bouncing Enter must find the disabled OK, not
    // cancel the upload it has just asked for.
    if (!enabled)
        m_grid->SetIndex(m_grid->IndexOf(m_starting ? ui->BtnOK : ui->BtnCancel));
}

void cdlgUpLoad::on_BtnOK_clicked()
{
    const ParamSet &p = CurrentParams();
    if (p.InstrumentNumber.isEmpty() || p.SerialNumber.isEmpty()) {
        ShowMessage(this, QStringLiteral("测试仪编号与流水号不能为空!"));
        return;
    }
    if (m_worker && m_worker->IsPaused()) {
        SetInputsEnabled(false);
        m_worker->StartOrResume(CurrentUploadFields());
        return;
    }
    if (m_worker || m_starting)
        return; // still running, or about to
    const UploadRecord record = SnapshotCurrentRecord();
    const QString refusal = CDataUpLoadThread::Refusal(record);
    if (!refusal.isEmpty()) {
        ui->labelPrompt->setText(refusal);
        return;
    }
    // The pause runs events: a double tap or a bouncing Enter arrives in it
    // and must find OK already taken.
    m_starting = true;
    m_rejected = false;
    SetInputsEnabled(false);
    WaitMs(kStartPauseMs);
    m_starting = false;
    if (m_rejected) {
        SetInputsEnabled(true);
        return; // closed during the pause: nothing goes out
    }
    m_grid->SetIndex(m_grid->IndexOf(ui->BtnCancel));
    ui->labelPrompt->setText(QStringLiteral("开始上传"));
    m_uploading = true;
    m_worker = std::make_unique<CDataUpLoadThread>(record);
    connect(m_worker.get(), &CDataUpLoadThread::signalSetWarning, this, &cdlgUpLoad::HandleSetWarnning);
    connect(m_worker.get(), &CDataUpLoadThread::signalTagCount, this, &cdlgUpLoad::HandleTagCount);
    connect(m_worker.get(), &CDataUpLoadThread::signalOneTagProcessed, this, &cdlgUpLoad::HandleOneTagProcessed);
    connect(m_worker.get(), &CDataUpLoadThread::signalTranslateException, this,
            &cdlgUpLoad::HandleTranslateException);
    connect(m_worker.get(), &CDataUpLoadThread::signalProcessFinished, this, &cdlgUpLoad::HandleUpLoadFinish);
    connect(this, &cdlgUpLoad::signalAbortUpLoad, m_worker.get(), &CDataUpLoadThread::DoHandleAbortUpLoad);
    m_worker->StartOrResume(record.Fields);
}

void cdlgUpLoad::on_BtnCancel_clicked()
{
    reject();
}

void cdlgUpLoad::reject()
{
    m_rejected = true;
    if (m_uploading && m_worker) {
        m_closing = true;
        emit signalAbortUpLoad();
        m_uploading = !WaitUntil([this] { return m_worker->isFinished(); }, kAbortWaitMs);
        // The worker's last reports ("强制取消") are taken before the window goes.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    QDialog::reject();
}

bool cdlgUpLoad::FromOtherWorker() const
{
    // Only the current worker's reports count: another one's end must not
    // close the dialog as if this upload had succeeded.
    const QObject *from = sender();
    return from && from != m_worker.get();
}

void cdlgUpLoad::HandleTagCount(int count)
{
    if (FromOtherWorker())
        return;
    ui->progressBarFinish->setRange(0, count);
    ui->progressBarFinish->setValue(0);
}

void cdlgUpLoad::HandleOneTagProcessed(int value)
{
    if (FromOtherWorker())
        return;
    ui->progressBarFinish->setValue(value);
    ui->labelPrompt->setText(value == 1 ? QStringLiteral("参数包0") : QStringLiteral("数据包%1").arg(value - 1));
}

void cdlgUpLoad::HandleTranslateException(int tagType, int chnn, int tagnum, int iException)
{
    Q_UNUSED(chnn);
    Q_UNUSED(tagnum);
    if (FromOtherWorker())
        return;
    ui->labelPrompt->setText(CDataUpLoadThread::FailureText(tagType, iException));
    SetInputsEnabled(true);
}

void cdlgUpLoad::HandleSetWarnning(const QString &text)
{
    if (FromOtherWorker())
        return;
    ui->labelPrompt->setText(text);
}

void cdlgUpLoad::HandleUpLoadFinish()
{
    if (FromOtherWorker())
        return;
    m_uploading = false;
    if (!m_closing)
        accept();
}
