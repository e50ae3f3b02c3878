#include "CDlgSet.h"
#include "ui_CDlgSet.h"

#include "CDlgGain.h"
#include "CDlgMoreSettings.h"
#include "CDlgSetColor.h"
#include "CDlgSetSensor.h"
#include "FocusGrid.h"
#include "KeypadPrompts.h"
#include "SettingsLook.h"
#include "TimeDateDlg.h"
#include "platform/Platform.h"
#include "params/ParamSet.h"

#include <QKeyEvent>
#include <QLayout>
#include <QTimer>

namespace {

constexpr int kClockTickMs = 1000;
constexpr int kMoreSettingsKey = Qt::Key_G; // with Alt: "更多设置"
// The touch way to "更多设置": a small button over the top right corner of
// the colour button, whose caption stays clear in the middle of it. It
// floats over the grid, so the twenty buttons keep their places.
constexpr int kMoreButtonWidth = 64;
constexpr int kMoreButtonHeight = 40;
constexpr int kMoreButtonInset = 8;
constexpr int kColumns = 5;
constexpr int kStartIndex = 19; // btnOK
constexpr int kHeaderTextLength = 8;
constexpr int kFirstSetYear = 2013; // a clock showing an earlier year has not been set
constexpr int kCaptionPoints = 30;   // the tool buttons' font in the screen's sheet
constexpr int kSmallestCaptionPoints = 8;
constexpr int kButtonBorder = 2;     // the sheet's border width
constexpr int kCaptionMargin = 6;    // pixels kept free inside each border

constexpr float kAllPass = 4096.0f;
constexpr float kSpanLimit = 10000.0f;
constexpr float kDelayLimit = 500.0f;
constexpr int kTriggerMedium = 1;
constexpr int kTriggerHigh = 2;

const QString kAllPassText = QStringLiteral("全通");
const QString kLevelLow = QStringLiteral("低");
const QString kLevelMedium = QStringLiteral("中");
const QString kLevelHigh = QStringLiteral("高");

// Shortest general format with six significant digits: 15.625, 500, 16000.
QString General(double v)
{
    return QString::number(v, 'g', 6);
}

QString Fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

QString LevelText(int level)
{
    return level == kTriggerMedium ? kLevelMedium : level == kTriggerHigh ? kLevelHigh : kLevelLow;
}

QString FilterText(float filter)
{
    return filter >= kAllPass ? kAllPassText : Fixed(filter, 0);
}

} // namespace

CDlgSet::CDlgSet(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgSet>())
{
    ui->setupUi(this);
    SetUpScreen(this, SettingsLook());

    ui->btnSetColor->setText(QStringLiteral("颜色\n设置"));
    ui->btnGain->setText(QStringLiteral("增益\n设置"));
    ui->btnSetSensor->setText(QStringLiteral("传感器\n设置"));
    ui->btnOK->setText(QStringLiteral("确定"));

    m_grid = new FocusGrid(this, {ui->btnProject,      ui->btnTestUnit,   ui->btnTestPerson,  ui->btnProfileName,
                                  ui->btnSetColor,     ui->btnDirectory,  ui->btnCHNum,       ui->btnRate,
                                  ui->btnSampleLen,    ui->btnGain,       ui->btnSpan,        ui->btnMove,
                                  ui->btnDelay,        ui->btnFilter,     ui->btnSetSensor,   ui->btnTriggMethord,
                                  ui->btnTriggNum,     ui->btnTestMethord, ui->btnSetTime,    ui->btnOK});
    m_grid->SetSteps(1, kColumns);
    m_grid->SetIgnoreTab(true);
    m_grid->SetConfirm([this] { accept(); });

    m_more = new QToolButton(this);
    m_more->setObjectName(QStringLiteral("btnMoreSettings"));
    m_more->setText(QStringLiteral("更多"));
    m_more->setFixedSize(kMoreButtonWidth, kMoreButtonHeight);
    m_more->setFocusPolicy(Qt::NoFocus); // the keyboard has Alt+G
    m_more->setStyleSheet(QStringLiteral("QToolButton{font: 14pt; background-color: rgb(230, 230, 230);}"));
    connect(m_more, &QToolButton::clicked, this, &CDlgSet::OpenMoreSettings);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CDlgSet::UpdateTime);
    m_timer->start(kClockTickMs);

    layout()->activate();
    UpdateTime();
    UpdateCaptions();
    m_grid->SetIndex(kStartIndex);
}

CDlgSet::~CDlgSet() = default;

int CDlgSet::FocusIndex() const
{
    return m_grid->Index();
}

void CDlgSet::UpdateTime()
{
    const QDateTime now = CurrentPlatform().Now();
    ui->btnSetTime->setText(now.toString(QStringLiteral("yyyy/MM/dd\nhh:mm:ss")));
    m_clockSheet = now.date().year() < kFirstSetYear ? QStringLiteral("color:red;") : QStringLiteral("color:black;");
    FitCaption(ui->btnSetTime);
}

void CDlgSet::UpdateCaptions()
{
    const ParamSet &p = CurrentParams();
    const RecordHeader &h = p.Header;
    ui->btnProject->setText(QStringLiteral("工程名称\n") + h.ProjectName);
    ui->btnTestUnit->setText(QStringLiteral("测试单位\n") + h.TestUnit);
    ui->btnTestPerson->setText(QStringLiteral("测试人员\n") + h.Tester);
    ui->btnProfileName->setText(QStringLiteral("测试剖面编号\n") + h.ProfileNumber);
    ui->btnTestMethord->setText(p.MeteringOn ? QStringLiteral("计量\n开启") : QStringLiteral("计量\n关闭"));
    ui->btnCHNum->setText(QStringLiteral("通道数量\n%1").arg(h.ChannelCount));
    ui->btnRate->setText(QStringLiteral("采样间隔\n%1us").arg(General(h.SampleInterval)));
    ui->btnSampleLen->setText(QStringLiteral("采样长度\n%1").arg(h.SampleLength));
    ui->btnDirectory->setText(h.TraceOrder == 1 ? QStringLiteral("道序\n顺") : QStringLiteral("道序\n反"));
    ui->btnSpan->setText(QStringLiteral("道间距\n%1m").arg(Fixed(h.TraceSpacing, 1)));
    ui->btnMove->setText(QStringLiteral("偏移距\n%1m").arg(Fixed(h.Offset, 1)));
    ui->btnDelay->setText(QStringLiteral("延迟\n%1ms").arg(Fixed(h.Delay, 0)));
    ui->btnFilter->setText(h.Filter >= kAllPass ? QStringLiteral("滤波\n全通")
                                                : QStringLiteral("滤波\n%1Hz").arg(Fixed(h.Filter, 0)));
    ui->btnTriggMethord->setText(h.TriggerMethod == 1 ? QStringLiteral("触发方式\n外触发")
                                                      : QStringLiteral("触发方式\n自动触发"));
    ui->btnTriggNum->setText(QStringLiteral("触发水平\n") + LevelText(h.TriggerLevel));
    for (QWidget *w : m_grid->Items())
        FitCaption(static_cast<QToolButton *>(w));
}

void CDlgSet::FitCaption(QToolButton *button)
{
    // Names from files and records may be long Chinese texts; a caption that
    // does not fit at the screen's font is drawn smaller rather than clipped.
    const int frame = 2 * (kButtonBorder + kCaptionMargin);
    const QSize box = button->size() - QSize(frame, frame);
    const int points = FittingPointSize(button->text(), box, kCaptionPoints, kSmallestCaptionPoints);
    QString sheet = button == ui->btnSetTime ? m_clockSheet : QString();
    if (points < kCaptionPoints)
        sheet += QStringLiteral("font: %1pt;").arg(points);
    if (button->styleSheet() != sheet)
        button->setStyleSheet(sheet);
}

void CDlgSet::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layout()->activate();
    for (QWidget *w : m_grid->Items())
        FitCaption(static_cast<QToolButton *>(w));
    const QRect corner = ui->btnSetColor->geometry();
    m_more->move(corner.right() - kMoreButtonInset - kMoreButtonWidth, corner.top() + kMoreButtonInset);
    m_more->raise();
}

void CDlgSet::OpenMoreSettings()
{
    {
        KeyboardGrabPause pause;
        CDlgMoreSettings more(this);
        more.exec();
    }
    Done();
}

void CDlgSet::Done()
{
    UpdateCaptions();
    m_grid->Refresh();
}

void CDlgSet::keyPressEvent(QKeyEvent *event)
{
    // Arrows, Enter and Alt+Enter reach the focus grid first.
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    // The twenty buttons fill the screen: the program's own preferences
    // are a key (or the small corner button) away instead.
    if (event->key() == kMoreSettingsKey && event->modifiers() == Qt::AltModifier) {
        OpenMoreSettings();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDlgSet::AskHeaderText(const QString &title, QString &field)
{
    if (const auto text = AskText(this, title, field, kHeaderTextLength))
        field = *text;
    Done();
}

void CDlgSet::on_btnProject_clicked()
{
    AskHeaderText(QStringLiteral("工程名称:"), CurrentParams().Header.ProjectName);
}

void CDlgSet::on_btnTestUnit_clicked()
{
    AskHeaderText(QStringLiteral("测试单位:"), CurrentParams().Header.TestUnit);
}

void CDlgSet::on_btnTestPerson_clicked()
{
    AskHeaderText(QStringLiteral("测试人员:"), CurrentParams().Header.Tester);
}

void CDlgSet::on_btnProfileName_clicked()
{
    AskHeaderText(QStringLiteral("测试剖面编号:"), CurrentParams().Header.ProfileNumber);
}

void CDlgSet::on_btnCHNum_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto c = AskChoice(this, QStringLiteral("通道数量:"), QString::number(h.ChannelCount),
                                 {QStringLiteral("12"), QStringLiteral("24")}))
        h.ChannelCount = int(c->Value);
    Done();
}

void CDlgSet::on_btnRate_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    const QStringList intervals{QStringLiteral("10"),   QStringLiteral("15.625"), QStringLiteral("31.25"),
                                QStringLiteral("62.5"), QStringLiteral("125"),    QStringLiteral("250"),
                                QStringLiteral("500"),  QStringLiteral("1000"),   QStringLiteral("2000"),
                                QStringLiteral("4000"), QStringLiteral("8000"),   QStringLiteral("16000")};
    if (const auto c = AskChoice(this, QStringLiteral("采样间隔(us):"), General(h.SampleInterval), intervals))
        h.SampleInterval = c->Value;
    Done();
}

void CDlgSet::on_btnSampleLen_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    const QStringList lengths{QStringLiteral("512"),  QStringLiteral("1024"), QStringLiteral("2048"),
                              QStringLiteral("4096"), QStringLiteral("8192"), QStringLiteral("16384")};
    if (const auto c = AskChoice(this, QStringLiteral("采样长度:"), QString::number(h.SampleLength), lengths))
        h.SampleLength = int(c->Value);
    Done();
}

void CDlgSet::on_btnFilter_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto c = AskChoice(this, QStringLiteral("滤波(Hz):"), FilterText(h.Filter),
                                 {QStringLiteral("512"), QStringLiteral("1024"), QStringLiteral("2048"), kAllPassText}))
        h.Filter = c->Text == kAllPassText ? kAllPass : c->Value;
    Done();
}

void CDlgSet::on_btnTriggNum_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto c = AskChoice(this, QStringLiteral("触发水平:"), LevelText(h.TriggerLevel),
                                 {kLevelLow, kLevelMedium, kLevelHigh}))
        h.TriggerLevel = c->Text == kLevelMedium ? kTriggerMedium : c->Text == kLevelHigh ? kTriggerHigh : 0;
    Done();
}

void CDlgSet::on_btnSpan_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto v = AskNumber(this, QStringLiteral("道间距(m):"), h.TraceSpacing, 1, 0.0f, kSpanLimit))
        h.TraceSpacing = *v;
    Done();
}

void CDlgSet::on_btnMove_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto v = AskNumber(this, QStringLiteral("偏移距(m):"), h.Offset, 1, 0.0f, kSpanLimit))
        h.Offset = *v;
    Done();
}

void CDlgSet::on_btnDelay_clicked()
{
    RecordHeader &h = CurrentParams().Header;
    if (const auto v = AskNumber(this, QStringLiteral("延迟(ms):"), h.Delay, 0, 0.0f, kDelayLimit))
        h.Delay = *v;
    Done();
}

void CDlgSet::on_btnTriggMethord_clicked()
{
    int &method = CurrentParams().Header.TriggerMethod;
    method = method == 1 ? 0 : 1;
    Done();
}

void CDlgSet::on_btnDirectory_clicked()
{
    int &order = CurrentParams().Header.TraceOrder;
    order = order == 0 ? 1 : 0;
    Done();
}

void CDlgSet::on_btnTestMethord_clicked()
{
    bool &metering = CurrentParams().MeteringOn;
    metering = !metering;
    Done();
}

void CDlgSet::on_btnGain_clicked()
{
    {
        KeyboardGrabPause pause;
        CDlgGain dialog(this);
        dialog.exec();
    }
    Done();
}

void CDlgSet::on_btnSetSensor_clicked()
{
    {
        KeyboardGrabPause pause;
        CDlgSetSensor dialog(this);
        dialog.exec();
    }
    Done();
}

void CDlgSet::on_btnSetColor_clicked()
{
    {
        KeyboardGrabPause pause;
        DisplayColours &colours = CurrentParams().Colours;
        CDlgSetColor dialog(this);
        QStringList names{QStringLiteral("背景"), QStringLiteral("基线"), QStringLiteral("填充")};
        QList<QColor> slotColours{colours.Background, colours.Baseline, colours.Fill};
        while (names.size() < CDlgSetColor::kSlotCount) {
            names.append(QString());
            slotColours.append(Qt::white);
        }
        dialog.SetNames(names);
        dialog.SetColours(slotColours);
        if (dialog.exec() == QDialog::Accepted) {
            const QList<QColor> chosen = dialog.Colours();
            colours.Background = chosen.at(0);
            colours.Baseline = chosen.at(1);
            colours.Fill = chosen.at(2);
        }
    }
    Done();
}

void CDlgSet::on_btnSetTime_clicked()
{
    if (m_settingClock)
        return;
    bool accepted = false;
    QDateTime when;
    {
        KeyboardGrabPause pause;
        TimeDateDlg dialog(this);
        accepted = dialog.exec() == QDialog::Accepted;
        when = dialog.Value();
    }
    if (accepted) {
        // The commands run with events flowing; a second press meanwhile must not start another pair.
        m_settingClock = true;
        const ClockResult result = CurrentPlatform().SetClock(when);
        m_settingClock = false;
        if (result == ClockResult::HardwareClockFailed)
            ShowMessage(this, QStringLiteral("系统时间已设置，硬件时钟保存失败！"));
        else if (result != ClockResult::Set)
            ShowMessage(this, QStringLiteral("设置时间失败！"));
    }
    UpdateTime();
    Done();
}

void CDlgSet::on_btnOK_clicked()
{
    accept();
}
