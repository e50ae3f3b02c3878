#include "analysis/CDlgPingPu.h"
#include "ui_CDlgPingPu.h"

#include "analysis/AnalysisScreens.h"
#include "dialogs/KeypadPrompts.h"
#include "analysis/CPingPu.h"
#include "analysis/CSinWave.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"

#include <QKeyEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kUsPerMs = 1000.0;
constexpr int kTimeDecimals = 2;
// Start and end keep at least this many milliseconds apart.
constexpr float kMinRangeMs = 1.0f;

/// A time from the keypad as the operator typed it: the float it comes in
/// misses 0.29 by more than the nanosecond the sample index is found to.
double TypedMs(float keypadValue)
{
    const double scale = std::pow(10.0, kTimeDecimals);
    return std::round(double(keypadValue) * scale) / scale;
}
} // namespace

CDlgPingPu::CDlgPingPu(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgPingPu>())
{
    ui->setupUi(this);
    const int samples = CurrentParams().SampleLengthInUse();
    m_endMs = float(IntervalUs() / kUsPerMs * samples);
    ui->ShowWave->SetRange(0, samples);
    SetUpScreen(this, AnalysisScreenLook());
    connect(ui->ShowWave, &CSinWave::SetMainRange, this, &CDlgPingPu::OnSetMainRange);
    for (QPushButton *unused : {ui->btnBig, ui->btnSmall, ui->btnHAdd, ui->btnHMinus})
        unused->hide();
    ui->btnCHAVG->setFocus();
    Update();
}

CDlgPingPu::~CDlgPingPu() = default;

CSinWave *CDlgPingPu::Wave() const
{
    return ui->ShowWave;
}

CPingPu *CDlgPingPu::Plot() const
{
    return ui->ShowPingPu;
}

float CDlgPingPu::IntervalUs() const
{
    return FlooredSampleInterval(CurrentParams().Header.SampleInterval);
}

void CDlgPingPu::Compute()
{
    const ParamSet &ps = CurrentParams();
    if (m_channel < 0 || m_channel >= ps.ChannelsInUse())
        m_channel = 0;
    SpectrumRequest request;
    request.IntervalUs = IntervalUs();
    request.SampleCount = ps.SampleLengthInUse();
    request.RangeStart = ui->ShowWave->RangeStart();
    request.RangeEnd = ui->ShowWave->RangeEnd();
    request.Refinement = m_refinement;
    m_spectrum = ComputeSpectrum(Store().PreviousTraces[std::size_t(m_channel)], request);
}

void CDlgPingPu::SetCaptions()
{
    ui->btnCHAVG->setText(QStringLiteral("通道选择(B)\n%1").arg(m_channel + 1));
    ui->btnHead->setText(QStringLiteral("数据起点(H)\n%1ms").arg(double(m_startMs), 0, 'f', kTimeDecimals));
    ui->btnTail->setText(QStringLiteral("数据终点(F)\n%1ms").arg(double(m_endMs), 0, 'f', kTimeDecimals));
    ui->btnXiHua->setText(QStringLiteral("频谱细化(X)\n%1").arg(m_refinement));
}

void CDlgPingPu::Update()
{
    Compute();
    SetCaptions();
    ui->ShowWave->SetChannel(m_channel);
    ui->ShowWave->update();
    ui->ShowPingPu->SetSpectrum(&m_spectrum);
    ui->ShowPingPu->update();
}

void CDlgPingPu::on_btnCHAVG_clicked()
{
    const auto channel = AskNumber(this, QStringLiteral("通道号:"), float(m_channel + 1), 0, 1.0f,
                                   float(CurrentParams().ChannelsInUse()));
    if (!channel)
        return;
    m_channel = int(*channel) - 1;
    Update();
}

void CDlgPingPu::on_btnHead_clicked()
{
    const auto asked = AskNumber(this, QStringLiteral("数据起点(ms):"), m_startMs, kTimeDecimals, 0.0f,
                                 m_endMs - kMinRangeMs);
    if (!asked)
        return;
    const float start = *asked;
    m_startMs = start;
    CSinWave *wave = ui->ShowWave;
    wave->SetRange(SampleAtMs(TypedMs(start), IntervalUs()), wave->RangeEnd());
    Update();
}

void CDlgPingPu::on_btnTail_clicked()
{
    const float recordMs = float(IntervalUs() / kUsPerMs * CurrentParams().SampleLengthInUse());
    const auto asked = AskNumber(this, QStringLiteral("数据终点(ms):"), m_endMs, kTimeDecimals,
                                 m_startMs + kMinRangeMs, recordMs);
    if (!asked)
        return;
    const float end = *asked;
    m_endMs = end;
    CSinWave *wave = ui->ShowWave;
    wave->SetRange(wave->RangeStart(), SampleAtMs(TypedMs(end), IntervalUs()));
    Update();
}

void CDlgPingPu::on_btnXiHua_clicked()
{
    m_refinement = NextRefinement(m_refinement);
    ui->ShowPingPu->SetCursorBin(0);
    Update();
}

void CDlgPingPu::on_btnExit_clicked()
{
    reject();
}

void CDlgPingPu::OnSetMainRange(int b, int e, bool type)
{
    const double intervalUs = IntervalUs();
    const int samples = CurrentParams().SampleLengthInUse();
    CSinWave *wave = ui->ShowWave;
    // A mark pressed within 1 ms of the record's far end would leave the other
    // mark's keypad an empty range, one it could only cancel: the mark steps
    // back until 1 ms remains.
    const int rangeSamples = int(std::ceil(kMinRangeMs * kUsPerMs / intervalUs));
    if (type) {
        const int latest = std::max(0, samples - rangeSamples);
        if (b > latest) {
            b = latest;
            wave->SetRange(b, wave->RangeEnd());
        }
        m_startMs = float(b * intervalUs / kUsPerMs);
    } else {
        const int earliest = std::min(samples, rangeSamples);
        if (e < earliest) {
            e = earliest;
            wave->SetRange(wave->RangeStart(), e);
        }
        m_endMs = float(e * intervalUs / kUsPerMs);
    }
    Update();
}

void CDlgPingPu::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (ui->btnExit->isEnabled())
            reject();
        return;
    }
    if (event->modifiers() & Qt::AltModifier) {
        // The captions carry a second line, so the letters are listed here.
        QAbstractButton *button = nullptr;
        switch (event->key()) {
        case Qt::Key_B: button = ui->btnCHAVG; break;
        case Qt::Key_H: button = ui->btnHead; break;
        case Qt::Key_F: button = ui->btnTail; break;
        case Qt::Key_X: button = ui->btnXiHua; break;
        default: break;
        }
        if (button) {
            if (button->isEnabled())
                button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
