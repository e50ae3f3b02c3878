#include "analysis/CSinWave.h"

#include "display/TraceDrawing.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kFramePen = 3;
constexpr int kMarkPen = 3;
constexpr int kBottomLineShort = 60; // the bottom line stops this far from the right edge
constexpr int kTickLineOverhang = 20;
constexpr int kLabelPixels = 18;
// Deflections are not clipped here; this only keeps an x inside int range.
constexpr int kNoClip = 1 << 20;

const QColor kTickGrey(128, 128, 128);
const QColor kStartMark(0, 0, 255);
const QColor kEndMark(255, 0, 0);

} // namespace

CSinWave::CSinWave(QWidget *parent)
    : QWidget(parent)
    , m_labelFont(QStringLiteral("yaheikr"))
{
    m_labelFont.setPixelSize(kLabelPixels);
    m_rangeEnd = CurrentParams().SampleLengthInUse();
}

void CSinWave::SetRange(int start, int end)
{
    m_rangeStart = start;
    m_rangeEnd = end;
}

SinWavePlot CSinWave::Plot() const
{
    return ComputeSinWavePlot(width(), height(), CurrentParams().SampleLengthInUse());
}

void CSinWave::paintEvent(QPaintEvent *)
{
    const ParamSet &ps = CurrentParams();
    const int channels = ps.ChannelsInUse();
    if (m_channel < 0 || m_channel >= channels)
        m_channel = 0;
    const SinWavePlot plot = Plot();
    const wave::Layout &l = plot.Layout;
    const int W = l.Widget.right();
    const int H = l.Widget.bottom();

    QPainter p(this);
    const DisplayColours colours = DrawableColours(ps.Colours);
    p.fillRect(l.Widget, colours.Background);
    p.setPen(QPen(Qt::black, kFramePen));
    p.drawRect(0, 0, W, H);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(0, H, W - kBottomLineShort, H);
    p.setPen(QPen(colours.Baseline, 1));
    p.drawLine(l.Plot.left(), l.Plot.top(), l.Plot.left(), l.Plot.bottom());

    const TraceSet &traces = Store().Traces;
    const QVector<float> &trace = traces[std::size_t(m_channel)];
    if (plot.SampleCount > 0 && l.ColumnWidth > 0) {
        wave::PageStats stats;
        wave::UpdateStats(stats, traces, m_channel, 1, plot.SampleCount, true, false);
        wave::TraceJob job;
        job.Samples = trace.constData();
        job.Count = int(trace.size());
        job.WindowStart = 0;
        job.WindowLength = plot.SampleCount;
        job.FirstJ = 0;
        job.Scale.Centre = l.Centre(0);
        job.Scale.Scale = wave::AmplitudeScale(l.ColumnWidth, stats.Peak[std::size_t(m_channel)], 0);
        job.Scale.Clip = kNoClip;
        job.PlotTop = l.Plot.top();
        job.Pitch = plot.Pitch();
        // Unlike the trace view, the lobes are filled even in the background colour.
        job.Fill = true;
        job.FillColour = colours.Fill;
        wave::DrawTrace(p, job);
    }

    p.setPen(QPen(kStartMark, kMarkPen));
    p.drawLine(0, plot.MarkY(m_rangeStart), W, plot.MarkY(m_rangeStart));
    p.setPen(QPen(kEndMark, kMarkPen));
    p.drawLine(0, plot.MarkY(m_rangeEnd), W, plot.MarkY(m_rangeEnd));

    const float interval = FlooredSampleInterval(ps.Header.SampleInterval);
    p.setFont(m_labelFont);
    for (const wave::Tick &t : wave::TimeTicks(l, interval, 0, plot.SampleCount, plot.SampleCount)) {
        p.setPen(QPen(kTickGrey, 1));
        p.drawLine(0, t.Y, l.Axis.left() + kTickLineOverhang, t.Y);
        p.setPen(QPen(Qt::black, 1));
        p.drawText(t.Box, Qt::AlignLeft | Qt::AlignTop, t.Label);
    }
}

void CSinWave::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const SinWavePlot plot = Plot();
    const QPoint pt = event->position().toPoint();
    if (!plot.Layout.InPlot(pt.x(), pt.y()))
        return;
    const int sample = plot.PressSample(pt.y());
    if (plot.InLeftHalf(pt.x())) {
        if (sample < m_rangeEnd) {
            m_rangeStart = sample;
            emit SetMainRange(sample, m_rangeEnd, true);
        }
    } else if (m_rangeStart < sample) {
        m_rangeEnd = sample;
        emit SetMainRange(m_rangeStart, sample, false);
    }
    update();
}
