#include "CShowNoise.h"

#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <limits>

namespace {
// Sizes in pixels, as the controller renders the view's 15 and 13 points
// (in points at a desktop's resolution "CH" runs into channel 1 and the
// numbers of 24 channels into each other).
constexpr int kLabelSize = 15;
constexpr int kNumberSize = 15;
constexpr int kSmallNumberSize = 13; ///< channel numbers when more than twelve share the row
constexpr int kLargeNumberMaxChannels = 12;
const QColor kNoiseTextColour(0, 0, 255);
const QColor kFailedNumberColour(255, 0, 0);
constexpr int kTextRimWidth = 3;

QFont ViewFont(int pixels)
{
    QFont f = ScreenFont(pixels);
    f.setPixelSize(pixels);
    return f;
}
} // namespace

CShowNoise::CShowNoise(QWidget *parent)
    : QWidget(parent)
    , m_traces(&Store().PreviousTraces)
{
}

void CShowNoise::SetAmplitudeStep(int step)
{
    m_step = qBound(noise::kMinStep, step, noise::kMaxStep);
    update();
}

QString CShowNoise::NoiseText(float excursion)
{
    return QString::asprintf("噪音幅值:%.3E", static_cast<double>(excursion));
}

void CShowNoise::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    const ParamSet &ps = CurrentParams();
    const QColor background = DrawableColours(ps.Colours).Background;
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(background);
    p.drawRect(0, 0, width() - 1, height() - 1);

    const QVector<noise::Extremes> extremes =
        noise::ChannelExtremes(*m_traces, ps.ChannelsInUse(), ps.SampleLengthInUse());
    m_excursion = noise::LargestExcursion(extremes);
    if (m_excursion > m_highestPeak && m_excursion < float(std::numeric_limits<int>::max()))
        m_highestPeak = static_cast<int>(m_excursion);
    m_layout = noise::ComputeLayout(width(), height(), m_step, extremes, m_excursion);
    m_barChannels.clear();
    const int channels = extremes.size();
    if (channels == 0)
        return;

    const QFont labelFont = ViewFont(kLabelSize);
    p.setFont(labelFont);
    p.drawLine(noise::kPlotLeft, m_layout.Baseline, m_layout.PlotRight, m_layout.Baseline);
    p.drawText(m_layout.ChBox, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("CH"));

    p.setFont(ViewFont(channels <= kLargeNumberMaxChannels ? kNumberSize : kSmallNumberSize));
    const auto failed = [this](int channel) { return m_failed && m_failed->contains(channel); };
    for (int i = 0; i < channels; ++i) {
        p.setPen(failed(i + 1) ? kFailedNumberColour : QColor(Qt::black));
        p.drawText(m_layout.NumberBoxes[i], Qt::AlignVCenter, QString::number(i + 1));
    }
    p.setPen(QPen(Qt::black, 1));

    // A channel without data has no swing to show; a flat bar would pass for a quiet channel.
    for (int i = 0; i < m_layout.Bars.size(); ++i) {
        if (failed(i + 1))
            continue;
        const noise::Bar &bar = m_layout.Bars[i];
        p.setBrush(bar.Filled ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
        p.drawRect(bar.Rect);
        m_barChannels.append(i + 1);
    }

    // A tall bar may stand behind the amplitude: a rim in the background
    // colour keeps the blue figures readable on black.
    const QFontMetrics fm(labelFont);
    const QRect &box = m_layout.NoiseTextBox;
    const QPoint baseline(box.left(), box.top() + (box.height() - fm.height()) / 2 + fm.ascent());
    const QString text = NoiseText(m_excursion);
    QPainterPath outline;
    outline.addText(baseline, labelFont, text);
    p.strokePath(outline, QPen(background, kTextRimWidth));
    p.setPen(kNoiseTextColour);
    p.setFont(labelFont);
    p.drawText(baseline, text);
}
