#include "analysis/CDlgDispersion.h"
#include "ui_CDlgDispersion.h"

#include "analysis/AnalysisLog.h"
#include "analysis/DispersionPlot.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/QDlgKeyNum.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"
#include "surfacewave/CDlgProfile.h"
#include "surfacewave/CombinedCurve.h"

#include <QFileInfo>
#include <QKeyEvent>

#include <cmath>

namespace {

const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 18pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLabel{font: 14pt ;}";
constexpr int kButtonWidth = 170;

// Keypad ranges: wide enough for any spread and record, narrow enough to keep
// the grid within what the transform accepts.
constexpr float kLowestHz = 0.1f;
constexpr float kHighestHz = 5000.0f;
constexpr float kLowestHzStep = 0.01f;
constexpr float kHighestHzStep = 1000.0f;
constexpr float kLowestSpeed = 1.0f;
constexpr float kHighestSpeed = 10000.0f;
constexpr float kLowestSpeedStep = 0.1f;
constexpr float kHighestSpeedStep = 1000.0f;

/// Picks lie on the grid's frequencies; this much apart is the same one.
constexpr double kSameFrequency = 1e-9;

QString Value(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

CDlgDispersion::CDlgDispersion(QWidget *parent)
    : CDlgDispersion(RecordOnScreenImage(), parent)
{
}

CDlgDispersion::CDlgDispersion(DispersionImage image, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgDispersion>())
    , m_image(std::move(image))
{
    ui->setupUi(this);
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    const QList<QWidget *> buttons{ui->btnFreqMin, ui->btnFreqMax, ui->btnFreqStep, ui->btnVelMin,
                                   ui->btnVelMax,  ui->btnVelStep, ui->btnCombine, ui->btnProfile,
                                   ui->btnExit};
    for (QWidget *b : buttons)
        b->setFixedWidth(kButtonWidth);
    SetUpScreen(this, look);

    // Up and Down walk the buttons; Left and Right belong to the cursor (this
    // screen's own filter, installed after the grid's, sees them first).
    m_grid = new FocusGrid(this, buttons);
    m_grid->SetIgnoreTab(true);
    installEventFilter(this);
    connect(ui->wDispersion, &DispersionView::CursorMoved, this, &CDlgDispersion::OnCursorMoved);

    ShowImage();
    LoadCombined();
    // The cursor starts on the middle of the picked curve, or mid-image without one.
    if (!m_image.Curve.empty()) {
        const DispersionPick &mid = m_image.Curve[m_image.Curve.size() / 2];
        ui->wDispersion->SetCursor(mid.Frequency, mid.Velocity);
    } else if (m_image.Ok()) {
        ui->wDispersion->SetCursor(m_image.Frequencies[m_image.Frequencies.size() / 2],
                                   m_image.Velocities[m_image.Velocities.size() / 2]);
    } else {
        ui->lbReadout->setText(DispersionResultMessage(m_image.Result));
    }
    m_grid->Refresh();
}

CDlgDispersion::~CDlgDispersion() = default;

void CDlgDispersion::Open(QWidget *parent)
{
    DispersionImage image = RecordOnScreenImage();
    if (!image.Ok()) {
        ShowMessage(parent, DispersionResultMessage(image.Result));
        return;
    }
    CDlgDispersion screen(std::move(image), parent);
    screen.exec();
}

void CDlgDispersion::ShowImage()
{
    ui->wDispersion->SetImage(m_image.Ok() ? &m_image : nullptr);
    const DispersionGrid &g = m_image.Grid;
    ui->lbGrid->setText(QStringLiteral("频率%1～%2Hz，步长%3Hz；速度%4～%5m/s，步长%6m/s")
                            .arg(Value(g.FMin), Value(g.FMax), Value(g.Df), Value(g.VMin), Value(g.VMax),
                                 Value(g.Dv)));
}

void CDlgDispersion::OnCursorMoved(double frequency, double velocity)
{
    ui->lbReadout->setText(QStringLiteral("频率:%1Hz  相速度:%2m/s  波长:%3m")
                               .arg(frequency, 0, 'f', 1)
                               .arg(velocity, 0, 'f', 0)
                               .arg(velocity / frequency, 0, 'f', 1));
}

void CDlgDispersion::StepCursor(int steps)
{
    const std::vector<double> &fs = m_image.Frequencies;
    if (fs.empty())
        return;
    const double now = ui->wDispersion->CursorFrequency();
    size_t nearest = 0;
    for (size_t i = 1; i < fs.size(); ++i)
        if (std::abs(fs[i] - now) < std::abs(fs[nearest] - now))
            nearest = i;
    const long next = std::clamp(long(nearest) + steps, 0L, long(fs.size()) - 1);
    const double f = fs[size_t(next)];
    double v = ui->wDispersion->CursorVelocity();
    for (const DispersionPick &pick : m_image.Curve)
        if (std::abs(pick.Frequency - f) <= kSameFrequency * f)
            v = pick.Velocity;
    ui->wDispersion->SetCursor(f, v);
}

void CDlgDispersion::AskGrid(const QString &title, double DispersionGrid::*field, int decimals, float lowest,
                             float highest)
{
    DispersionGrid grid = m_image.Grid;
    {
        KeyboardGrabPause pause;
        QDlgKeyNum pad(title, float(grid.*field), decimals, lowest, highest, this);
        if (pad.exec() != QDialog::Accepted)
            return;
        grid.*field = pad.value;
    }
    DispersionImage next = RecordOnScreenImage(grid);
    if (!next.Ok()) {
        qCDebug(lcAnalysis) << "dispersion bounds refused:" << next.Problem;
        ShowMessage(this, DispersionResultMessage(next.Result));
        return;
    }
    const double f = ui->wDispersion->CursorFrequency();
    const double v = ui->wDispersion->CursorVelocity();
    m_image = std::move(next);
    ShowImage();
    ui->wDispersion->SetCursor(f, v);
}

void CDlgDispersion::on_btnFreqMin_clicked()
{
    AskGrid(QStringLiteral("最低频率(Hz):"), &DispersionGrid::FMin, 1, kLowestHz, kHighestHz);
}

void CDlgDispersion::on_btnFreqMax_clicked()
{
    AskGrid(QStringLiteral("最高频率(Hz):"), &DispersionGrid::FMax, 1, kLowestHz, kHighestHz);
}

void CDlgDispersion::on_btnFreqStep_clicked()
{
    AskGrid(QStringLiteral("频率步长(Hz):"), &DispersionGrid::Df, 2, kLowestHzStep, kHighestHzStep);
}

void CDlgDispersion::on_btnVelMin_clicked()
{
    AskGrid(QStringLiteral("最低速度(m/s):"), &DispersionGrid::VMin, 0, kLowestSpeed, kHighestSpeed);
}

void CDlgDispersion::on_btnVelMax_clicked()
{
    AskGrid(QStringLiteral("最高速度(m/s):"), &DispersionGrid::VMax, 0, kLowestSpeed, kHighestSpeed);
}

void CDlgDispersion::on_btnVelStep_clicked()
{
    AskGrid(QStringLiteral("速度步长(m/s):"), &DispersionGrid::Dv, 1, kLowestSpeedStep, kHighestSpeedStep);
}

void CDlgDispersion::LoadCombined()
{
    const QString path = CurrentParams().CurrentRecordPath;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    const QFileInfo info(path);
    m_record = info.fileName();
    m_curve = std::make_unique<ProjectCurve>(info.absolutePath());
    if (!m_curve->Load())
        qCDebug(lcAnalysis) << "combined curve not read:" << m_curve->Problem();
    ShowCombined();
}

void CDlgDispersion::ShowCombined()
{
    if (!m_curve) {
        ui->wDispersion->SetOverlay({}, QString());
        return;
    }
    const CombinedCurve combined = m_curve->Combined();
    std::vector<PlotBar> bars;
    for (const CurveBin &b : combined.Bins)
        bars.push_back(PlotBar{b.Frequency, b.Velocity, b.Sd});
    const QString caption = m_curve->Records().empty()
                                ? QString()
                                : QStringLiteral("综合曲线%1个记录  %2")
                                      .arg(m_curve->Records().size())
                                      .arg(Vs30Text(EstimateVs30(combined)));
    ui->wDispersion->SetOverlay(std::move(bars), caption);
}

void CDlgDispersion::Report(const QString &text)
{
    ui->lbReadout->setText(text);
}

void CDlgDispersion::on_btnCombine_clicked()
{
    if (!m_curve) {
        ShowMessage(this, QStringLiteral("记录未保存，无法加入综合曲线！"));
        return;
    }
    if (!m_image.Ok() || m_image.Curve.empty()) {
        ShowMessage(this, QStringLiteral("本记录没有拾取到频散曲线，无法加入综合曲线！"));
        return;
    }
    const bool again = m_curve->Contains(m_record);
    if (!m_curve->Add(PicksOfImage(m_record, m_image))) {
        qCDebug(lcAnalysis) << "combined curve not written:" << m_curve->Problem();
        ShowMessage(this, QStringLiteral("综合曲线保存失败！"));
        return;
    }
    ShowCombined();
    Report(QStringLiteral("%1%2综合曲线（%3个记录）")
               .arg(m_record, again ? QStringLiteral("已更新于") : QStringLiteral("已加入"))
               .arg(m_curve->Records().size()));
}

void CDlgDispersion::on_btnProfile_clicked()
{
    const bool combined = m_curve && !m_curve->Records().empty();
    CombinedCurve curve;
    if (combined)
        curve = m_curve->Combined();
    else if (m_image.Ok() && !m_image.Curve.empty())
        curve = CombineRecords({PicksOfImage(m_record, m_image)});
    const InversionCurve picks = PrepareCurve(curve);
    if (!picks.Ok()) {
        qCDebug(lcAnalysis) << "no curve to invert:" << picks.Problem;
        ShowMessage(this, QStringLiteral("频散曲线拾取点不足，无法反演Vs剖面！"));
        return;
    }
    // The result goes beside the combined curve only when it is the combined curve's.
    KeyboardGrabPause pause;
    CDlgProfile screen(picks, combined ? QFileInfo(m_curve->Path()).absolutePath() : QString(), {}, this);
    screen.resize(size());
    screen.exec();
}

void CDlgDispersion::RemoveFromCombined()
{
    if (!m_curve || !m_curve->Contains(m_record))
        return;
    if (!m_curve->Remove(m_record)) {
        ShowMessage(this, QStringLiteral("综合曲线保存失败！"));
        return;
    }
    ShowCombined();
    Report(QStringLiteral("%1已移出综合曲线（%2个记录）").arg(m_record).arg(m_curve->Records().size()));
}

void CDlgDispersion::ClearCombined()
{
    if (!m_curve || m_curve->Records().empty())
        return;
    if (!m_curve->Clear()) {
        ShowMessage(this, QStringLiteral("综合曲线保存失败！"));
        return;
    }
    ShowCombined();
    Report(QStringLiteral("综合曲线已清空，重新开始"));
}

void CDlgDispersion::on_btnExit_clicked()
{
    reject();
}

bool CDlgDispersion::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            StepCursor(key == Qt::Key_Left ? -1 : 1);
            return true;
        }
        if (key == Qt::Key_D) {
            RemoveFromCombined();
            return true;
        }
        if (key == Qt::Key_C) {
            ClearCombined();
            return true;
        }
        if (key == Qt::Key_P) {
            on_btnProfile_clicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
