#include "CDlgSetSensor.h"
#include "ui_CDlgSetSensor.h"

#include "KeypadPrompts.h"
#include "SettingsLook.h"
#include "params/ParamSet.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>

namespace {
constexpr int kLowerChannels = 12;     // with exactly 12 channels, 13…24 are hidden
constexpr int kSensitivityDecimals = 3;
constexpr float kLeastSensitivity = 1.0f;
constexpr float kMostSensitivity = 10000.0f;
constexpr int kFirstUpperLine = 3;     // lines 3 to 5 lie below rows 3 to 5, among channels 13…24
constexpr int kLines = 5;
// The unit caption shares the top row with four buttons, and four values of
// up to "10000.000" share a row of the smallest screen.
const char kSensorSheet[] = "QLabel#lbCaption{font: 16pt ;}QPushButton[sensitivity=\"true\"]{font: 18pt ;}";
} // namespace

CDlgSetSensor::CDlgSetSensor(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgSetSensor>())
{
    ui->setupUi(this);
    ScreenLook look = SettingsLook();
    look.BaseSheet += QString::fromUtf8(kSensorSheet);
    SetUpScreen(this, look);

    for (int i = 0; i < kValueButtons; ++i) {
        const QString number = QString::number(i + 1);
        m_values[i] = findChild<QPushButton *>(QStringLiteral("btnValue") + number);
        m_values[i]->setProperty("sensitivity", true);
        connect(m_values[i], &QPushButton::clicked, this, [this, i] { AskSensitivity(i + 1); });
    }
    if (CurrentParams().Header.ChannelCount == kLowerChannels) {
        for (int ch = kLowerChannels + 1; ch <= kValueButtons; ++ch) {
            m_values[ch - 1]->hide();
            findChild<QLabel *>(QStringLiteral("lb%1").arg(ch))->hide();
        }
        for (int line = kFirstUpperLine; line <= kLines; ++line)
            findChild<QWidget *>(QStringLiteral("line%1").arg(line))->hide();
    }

    UpdateCaptions();
    ui->btnOK->setFocus();
}

CDlgSetSensor::~CDlgSetSensor() = default;

void CDlgSetSensor::UpdateCaptions()
{
    const SensorBlock &s = CurrentParams().Sensor;
    ui->btnSensorType->setText(s.SensorType ? QStringLiteral("传感器类型\n速度") : QStringLiteral("传感器类型\n加速度"));
    ui->btnSignType->setText(s.MeteringSignal ? QStringLiteral("计量信号\n速度") : QStringLiteral("计量信号\n信号源"));
    ui->btnSetMethord->setText(s.SettingMethod ? QStringLiteral("设置方式\n统一") : QStringLiteral("设置方式\n分开"));
    for (int i = 0; i < kValueButtons; ++i)
        m_values[i]->setText(QString::number(double(s.Sensitivity[i]), 'f', kSensitivityDecimals));
}

void CDlgSetSensor::AskSensitivity(int channel)
{
    float &sensitivity = CurrentParams().Sensor.Sensitivity[channel - 1];
    if (const auto v = AskNumber(this, QStringLiteral("灵敏度系数%1:").arg(channel), sensitivity,
                                 kSensitivityDecimals, kLeastSensitivity, kMostSensitivity))
        sensitivity = *v;
    UpdateCaptions();
}

void CDlgSetSensor::Toggle(int &flag)
{
    flag = flag ? 0 : 1;
    UpdateCaptions();
}

void CDlgSetSensor::on_btnSensorType_clicked()
{
    Toggle(CurrentParams().Sensor.SensorType);
}

void CDlgSetSensor::on_btnSignType_clicked()
{
    Toggle(CurrentParams().Sensor.MeteringSignal);
}

void CDlgSetSensor::on_btnSetMethord_clicked()
{
    Toggle(CurrentParams().Sensor.SettingMethod);
}

void CDlgSetSensor::on_btnOK_clicked()
{
    accept();
}

void CDlgSetSensor::keyPressEvent(QKeyEvent *event)
{
    // Only Esc, Enter and Alt+Enter are keys of this dialog; the values are touched.
    switch (event->key()) {
    case Qt::Key_Escape:
        reject();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & Qt::AltModifier) {
            accept();
        } else if (auto *button = qobject_cast<QAbstractButton *>(focusWidget()); button && button->isEnabled()) {
            button->click();
        }
        break;
    default:
        break;
    }
}
