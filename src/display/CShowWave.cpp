#include "display/CShowWave.h"

#include "display/SampleTitleWidget.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <utility>

namespace {
const QString kFontFamily = QStringLiteral("yaheikr");
constexpr int kLargePoint = 20;
constexpr int kSmallPoint = 18;
constexpr int kFramePen = 3;
constexpr int kLockedPen = 2;
constexpr int kRangePen = 2;
constexpr int kBottomLineOverhang = 20; // the line under the plot runs into the time axis
constexpr int kTickLineOverhang = 20;
constexpr int kReadoutAbove = 30;        // readout box height above the text baseline
constexpr int kReadoutBelow = 9;         // and below it
constexpr double kUsPerMs = 1000.0;
const QColor kRed(255, 0, 0);
const QColor kQcMark(255, 96, 0); // orange: apart from the red of the current channel and the locks
const QColor kBlue(0, 0, 255);
const QColor kTickGrey(128, 128, 128);
// The view's strips are fixed in pixels (the 80-pixel time axis, the 40-pixel
// label row, readout boxes of 355 to 375 pixels), sized for fonts of 18 and
// 20 pixels. Taken as points on a 96-dpi desktop the same fonts come out a
// third larger and run over their strips and into each other, so the sizes
// are given in pixels.
QFont ViewFont(int size, bool bold)
{
    QFont f(kFontFamily);
    f.setPixelSize(size);
    f.setBold(bold);
    return f;
}
} // namespace

CShowWave::CShowWave(QWidget *parent)
    : QWidget(parent)
    , m_banner(new SampleTitleWidget(this))
    , m_font20(ViewFont(kLargePoint, false))
    , m_font18(ViewFont(kSmallPoint, false))
    , m_font20Bold(ViewFont(kLargePoint, true))
{
    ResetView();
}

CShowWave::~CShowWave() = default;

int CShowWave::SampleCount() const
{
    return CurrentParams().SampleLengthInUse();
}

void CShowWave::SetRedraw(bool on)
{
    m_redraw = on;
    if (!on)
        return;
    // The picture is dropped; its memory is kept for the next rebuild,
    // which saves mapping and clearing megabytes on every shot.
    if (!m_buffer.isNull())
        m_spare = std::move(m_buffer);
    m_buffer = QImage();
}

void CShowWave::SetPage(int perPage, int page)
{
    m_perPage = perPage;
    m_page = page;
    m_rangeStart = 0;
    m_rangeEnd = SampleCount();
}

void CShowWave::ResetView()
{
    if (m_mode == AcquisitionMode) {
        m_commonScale = 0;
        m_gainExponent = 0;
        m_shift = 0;
        m_cursorX = 0;
        m_cursorY = 0;
        setMouseTracking(true);
        m_windowLength = SampleCount();
        m_windowStart = 0;
    }
    m_stats = wave::PageStats();
}

void CShowWave::ShowTitle(int state)
{
    m_banner->SetState(state);
}

void CShowWave::SetWindow(int start, int length)
{
    m_windowStart = start;
    m_windowLength = length;
}

void CShowWave::SetCursor(int x, int y)
{
    m_cursorX = x;
    m_cursorY = y;
}

void CShowWave::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // A resized widget would otherwise keep showing the picture of its old size.
    if (m_redraw || m_buffer.isNull() || m_buffer.size() != size()) {
        if (!RebuildBackBuffer())
            return;
    }
    QPainter p(this);
    p.drawImage(0, 0, m_buffer);
    DrawOverlay(p);
}

bool CShowWave::RebuildBackBuffer()
{
    if (width() <= 0 || height() <= 0)
        return false;
    ++m_rebuilds;
    const ParamSet &ps = CurrentParams();
    const TraceStore &st = Store();
    const int samples = SampleCount();
    if (m_perPage < 0) {
        m_perPage = ps.ChannelsInUse();
        m_page = 1;
        m_rangeStart = 0;
        m_rangeEnd = samples;
    }
    m_columns = m_perPage > 0 ? m_perPage : 0;
    if (m_mode == AcquisitionMode)
        m_windowLength = samples;
    m_layout = wave::ComputeLayout(width(), height(), m_columns, m_rightReserve);
    m_pitch = wave::SamplePitch(m_layout, m_windowLength);

    if (m_spare.size() == size())
        m_buffer = std::move(m_spare);
    else if (m_buffer.size() != size())
        m_buffer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_spare = QImage();
    QPainter p(&m_buffer);
    DrawFrameAndLabels(p);
    if (st.AcqState == AcqSampling || st.SelfCheckRunning)
        return false;

    wave::UpdateStats(m_stats, st.Traces, (m_page - 1) * m_perPage, m_columns, samples,
                      m_page == 1, st.SelfCheckShown);
    DrawTraces(p);
    DrawTimeScale(p);
    return true;
}

void CShowWave::SetChannelMarks(const QVector<bool> &marks)
{
    if (marks == m_marks)
        return;
    m_marks = marks;
    SetRedraw(true);
}

void CShowWave::DrawFrameAndLabels(QPainter &p)
{
    const ParamSet &ps = CurrentParams();
    const TraceStore &st = Store();
    const wave::Layout &l = m_layout;
    const int W = l.Widget.right();
    const int H = l.Widget.bottom();

    const DisplayColours colours = DrawableColours(ps.Colours);
    p.fillRect(l.Widget, colours.Background);
    p.setPen(QPen(Qt::black, kFramePen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, W, H);

    p.setPen(QPen(Qt::black, 1));
    p.drawLine(0, l.Plot.bottom(), l.Plot.right() + kBottomLineOverhang, l.Plot.bottom());

    const int colWidth = static_cast<int>(l.ColumnWidth);
    for (int i = 0; i < l.Columns; ++i) {
        const int cx = static_cast<int>(l.Centre(i));
        p.setPen(QPen(colours.Baseline, 1));
        p.drawLine(cx, l.Plot.top(), cx, l.Plot.bottom());

        const int channel = wave::ChannelOfColumn(m_perPage, m_page, i);
        const bool locked = st.StackingOn && channel >= 1 && channel <= kMaxChannels
            && st.ChannelLocks[static_cast<size_t>(channel - 1)];
        p.setPen(locked ? QPen(kRed, kLockedPen) : QPen(Qt::black, 1));
        p.setFont(m_font18);
        const QRect box(static_cast<int>(l.Centre(i) - wave::kChannelNumberIndent), l.Labels.top(), colWidth,
                        l.Labels.height());
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("%1").arg(channel));
        if (channel >= 1 && channel <= m_marks.size() && m_marks[channel - 1])
            p.fillRect(wave::ChannelMarkBox(l, i), kQcMark);
    }
    p.setPen(QPen(Qt::black, 1));
    p.setFont(m_font20);
    const QString caption = QStringLiteral("CH");
    p.drawText(wave::ChannelCaptionBox(l, p.fontMetrics().horizontalAdvance(caption)),
               Qt::AlignLeft | Qt::AlignVCenter, caption);
}

wave::TraceJob CShowWave::SpecFor(int channelIndex, int column) const
{
    const QVector<float> &v = Store().Traces[static_cast<size_t>(channelIndex)];
    const size_t c = static_cast<size_t>(channelIndex);
    wave::TraceJob job;
    job.Samples = v.constData();
    job.Count = static_cast<int>(v.size());
    job.WindowStart = m_windowStart;
    job.WindowLength = m_windowLength;
    job.FirstJ = 1;
    job.Scale.Centre = m_layout.Centre(column);
    job.Scale.Scale = wave::AmplitudeScale(
        m_layout.ColumnWidth, m_commonScale == 0 ? m_stats.Peak[c] : m_stats.CommonPeak,
        m_gainExponent);
    job.Scale.Shift = m_shift;
    job.Scale.Clip = m_clipLimit;
    job.PlotTop = m_layout.Plot.top();
    job.Pitch = m_pitch;
    job.Line = Qt::black;
    job.FillColour = DrawableColours(CurrentParams().Colours).Fill;
    return job;
}

void CShowWave::DrawTraces(QPainter &p)
{
    const ParamSet &ps = CurrentParams();
    const DisplayColours colours = DrawableColours(ps.Colours);
    const bool fill = colours.Fill != colours.Background;
    p.save();
    p.setClipRect(wave::TraceArea(m_layout));
    for (int i = 0; i < m_columns; ++i) {
        const int channel = wave::ChannelOfColumn(m_perPage, m_page, i);
        if (channel < 1 || channel > kMaxChannels)
            continue;
        wave::TraceJob job = SpecFor(channel - 1, i);
        // The current channel is filled here too: the red overlay covers every
        // pixel of it, and when the cursor makes another channel current
        // without a rebuild, this one must not be left with empty lobes.
        job.Fill = fill;
        m_drawTrace(p, job);
    }
    p.restore();
}

void CShowWave::DrawTimeScale(QPainter &p)
{
    const ParamSet &ps = CurrentParams();
    const auto ticks = wave::TimeTicks(m_layout, ps.Header.SampleInterval, m_windowStart,
                                       m_windowLength, SampleCount());
    p.setFont(m_font18);
    for (const wave::Tick &t : ticks) {
        p.setPen(QPen(kTickGrey, 1));
        p.drawLine(0, t.Y, m_layout.Axis.left() + kTickLineOverhang, t.Y);
        p.setPen(QPen(Qt::black, 1));
        p.drawText(t.Box, Qt::AlignLeft | Qt::AlignTop, t.Label);
    }
}

int CShowWave::ChannelUnderCursor() const
{
    if (m_cursorX == 0 || m_cursorY == 0)
        return 0;
    if (!(m_mode == AnalysisMode || CurrentParams().CurrentChannel > 0))
        return 0;
    const int column = wave::ColumnAt(m_layout, m_cursorX);
    if (column == 0)
        return 0;
    const int channel = column + (m_page - 1) * m_perPage;
    return channel >= 1 && channel <= kMaxChannels ? channel : 0;
}

void CShowWave::DrawOverlay(QPainter &p)
{
    ParamSet &ps = CurrentParams();
    const TraceStore &st = Store();
    const double msPerSample = ps.Header.SampleInterval / kUsPerMs;
    const int samples = SampleCount();

    // The cursor's column makes its channel current before anything is drawn,
    // so that the red trace, the metering report and the readout all speak of
    // the same channel in one paint.
    const int cursorChannel = ChannelUnderCursor();
    if (cursorChannel > 0)
        ps.CurrentChannel = cursorChannel;

    const int current = ps.CurrentChannel;
    const int pageFirst = (m_page - 1) * m_perPage;
    if (m_perPage > 0 && current > pageFirst && current <= m_page * m_perPage
        && current <= kMaxChannels) {
        const QVector<float> &v = st.Traces[static_cast<size_t>(current - 1)];
        const int n = static_cast<int>(v.size());
        if (m_mode == AcquisitionMode && ps.MeteringOn) {
            if (m_cursorSample < 0)
                m_cursorSample = 0;
            if (m_cursorSample >= n)
                m_cursorSample = n > 0 ? n - 1 : 0;
            float mx = 0.0f;
            float mn = 0.0f;
            const int from = m_rangeStart < 0 ? 0 : m_rangeStart;
            const int to = m_rangeEnd < n - 1 ? m_rangeEnd : n - 1;
            if (from <= to) {
                mx = mn = v[from];
                for (int k = from; k <= to; ++k) {
                    mx = v[k] > mx ? v[k] : mx;
                    mn = v[k] < mn ? v[k] : mn;
                }
            }
            emit SetMainPara(current, static_cast<float>(m_cursorSample * msPerSample), mx - mn);
        }
        wave::TraceJob job = SpecFor(current - 1, (current - 1) % m_perPage);
        job.FirstJ = 0;
        job.Line = kRed;
        job.FillColour = kRed;
        const DisplayColours colours = DrawableColours(ps.Colours);
        job.Fill = colours.Fill != colours.Background;
        p.save();
        p.setClipRect(wave::TraceArea(m_layout));
        m_drawTrace(p, job);
        p.restore();
    }

    if (cursorChannel == 0)
        return;
    const int column = cursorChannel - pageFirst;
    if (m_cursorSample > samples - 1)
        m_cursorSample = samples - 1;
    if (m_cursorSample < 0)
        m_cursorSample = 0;
    const QVector<float> &v = st.Traces[static_cast<size_t>(cursorChannel - 1)];
    if (v.isEmpty() || v.size() <= m_cursorSample)
        return;

    const double timeMs = m_cursorSample * msPerSample;
    const QString text = wave::ReadoutText(cursorChannel, timeMs, v[m_cursorSample]);
    m_cursorY = wave::CursorRow(m_layout, m_cursorSample, m_windowStart, m_windowLength);
    const int baseline = wave::ReadoutBaseline(m_cursorY);
    const int width = wave::ReadoutWidth(timeMs);
    const int left = wave::ReadoutLeft(m_cursorX, width, cursorChannel, m_perPage, m_page, m_columns);
    p.fillRect(QRect(QPoint(left, baseline - kReadoutAbove),
                     QPoint(left + width - 1, baseline + kReadoutBelow)),
               Qt::white);
    p.setFont(m_font20Bold);
    p.setPen(QPen(kBlue, 1));
    p.drawText(QPoint(left, baseline), text);

    const int colLeft = static_cast<int>(m_layout.Left(column - 1));
    const int colRight = static_cast<int>(m_layout.Right(column - 1));
    const int colMid = static_cast<int>(m_layout.Left(column - 1) + m_layout.ColumnWidth / 2);
    p.drawLine(colLeft, m_cursorY, colRight, m_cursorY);
    if (m_mode == AcquisitionMode && ps.MeteringOn) {
        p.setPen(QPen(kBlue, kRangePen));
        const int ys = wave::CursorRow(m_layout, m_rangeStart, m_windowStart, m_windowLength);
        const int ye = wave::CursorRow(m_layout, m_rangeEnd, m_windowStart, m_windowLength);
        p.drawLine(colLeft, ys, colMid, ys);
        p.drawLine(colMid, ye, colRight, ye);
    }
}

void CShowWave::mouseMoveEvent(QMouseEvent *event)
{
    if (Store().AcqState == AcqSampling)
        return;
    m_cursorX = 0;
    m_cursorY = 0;
    const QPoint pt = event->position().toPoint();
    if (m_layout.InPlot(pt.x(), pt.y())) {
        m_cursorX = pt.x();
        m_cursorY = pt.y();
        m_cursorSample = wave::MoveCursorSample(m_layout, pt.y(), m_windowStart, m_windowLength);
    }
    update();
}

void CShowWave::mousePressEvent(QMouseEvent *event)
{
    const int acq = Store().AcqState;
    if (event->button() != Qt::LeftButton || m_mode != AcquisitionMode || acq == AcqIdle
        || acq == AcqSampling)
        return;
    const QPoint pt = event->position().toPoint();
    if (!m_layout.InPlot(pt.x(), pt.y()) || m_layout.Columns < 1)
        return;
    const int column = wave::ColumnAt(m_layout, pt.x());
    if (column == 0)
        return;
    const int channel = column + (m_page - 1) * m_perPage;
    if (channel < 1 || channel > kMaxChannels)
        return;
    ParamSet &ps = CurrentParams();
    const int previous = ps.CurrentChannel;
    ps.CurrentChannel = channel;
    const int samples = SampleCount();
    m_cursorX = pt.x();
    m_cursorY = pt.y();
    m_cursorSample = wave::PressCursorSample(m_layout, pt.y(), samples);
    if (previous >= 0) {
        if (pt.x() > m_layout.Left(column - 1) + m_layout.ColumnWidth / 2) {
            if (m_rangeStart < m_cursorSample)
                m_rangeEnd = m_cursorSample;
        } else if (m_cursorSample < m_rangeEnd) {
            m_rangeStart = m_cursorSample;
        }
    }
    ReportCursor(channel);
    update();
}

void CShowWave::ReportCursor(int channel)
{
    const ParamSet &ps = CurrentParams();
    if (ps.MeteringOn || channel < 1 || channel > kMaxChannels)
        return;
    const int samples = SampleCount();
    const QVector<float> &v = Store().Traces[static_cast<size_t>(channel - 1)];
    const int at = m_cursorSample < samples - 1 ? m_cursorSample : samples - 1;
    const float value = (at >= 0 && at < v.size()) ? v[at] : 0.0f;
    emit SetMainPara(channel, static_cast<float>(m_cursorSample * ps.Header.SampleInterval / kUsPerMs), value);
}

void CShowWave::StepCursor(int delta)
{
    // Kept on the record, as the paint keeps it, so that the readout and the
    // report name the same sample.
    const int last = SampleCount() - 1;
    m_cursorSample = qBound(0, m_cursorSample + delta, qMax(0, last));
    if (m_mode == AcquisitionMode)
        ReportCursor(CurrentParams().CurrentChannel);
    repaint();
}
