#include "NoiseMonitorView.h"

#include "NoiseMonitorSession.h"
#include "dialogs/ScreenSetup.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace monitor {

namespace {
constexpr int kChannelsPerColumn = 12;
constexpr int kColumnGap = 8;
constexpr int kLabelWidth = 34;
constexpr int kMinNumbersWidth = 120;
constexpr double kNumbersShare = 0.3;
constexpr double kBarShare = 0.55; ///< of what label and numbers leave; the strip has the rest
constexpr int kRowGap = 2;
} // namespace

RowGeometry RowAt(int index, int channels, const QSize &size)
{
    const int n = std::clamp(channels, 1, kMaxChannels);
    const int columns = n > kChannelsPerColumn ? 2 : 1;
    const int rows = (n + columns - 1) / columns;
    const int column = std::clamp(index, 0, n - 1) / rows;
    const int row = std::clamp(index, 0, n - 1) % rows;
    const int columnWidth = (size.width() - (columns - 1) * kColumnGap) / columns;
    const int rowHeight = std::max(1, (size.height() - kScaleHeight) / rows);

    RowGeometry g;
    g.Row = QRect(column * (columnWidth + kColumnGap), kScaleHeight + row * rowHeight, columnWidth,
                  rowHeight);
    const int inner = std::max(1, rowHeight - kRowGap);
    const int numbers = std::max(kMinNumbersWidth, static_cast<int>(columnWidth * kNumbersShare));
    const int rest = std::max(0, columnWidth - kLabelWidth - numbers);
    const int bar = static_cast<int>(rest * kBarShare);
    const int x = g.Row.left();
    const int y = g.Row.top();
    g.Label = QRect(x, y, kLabelWidth, inner);
    g.Bar = QRect(x + kLabelWidth, y, bar, inner);
    g.Numbers = QRect(g.Bar.right() + 1, y, numbers, inner);
    g.Strip = QRect(g.Numbers.right() + 1, y, std::max(0, rest - bar), inner);
    return g;
}

int BarX(const QRect &bar, double db)
{
    return bar.left() + static_cast<int>(ScaleFraction(db) * (bar.width() - 1));
}

} // namespace monitor

namespace {
constexpr int kHoldWidth = 3;
constexpr int kStripMargin = 4;
constexpr int kNumberDigits = 3;
constexpr int kLabelDbStep = 40;
/// Row text in pixels at most: the numbers column holds "0.00928/0.0312" at this size.
constexpr int kLargestRowFont = 13;
constexpr int kLabelHalfWidth = 15;
const QColor kFrameColour(160, 160, 160);
const QColor kTickColour(215, 215, 215);
const QColor kTraceColour(0, 0, 0);
const QColor kMissingColour(128, 128, 128);

QString number(double v)
{
    // The toolkit pads exponents to two digits; the column is tightest for
    // the smallest numbers, where those characters cost most.
    QString s = QString::number(v, 'g', kNumberDigits);
    const int e = s.indexOf(QLatin1Char('e'));
    if (e >= 0)
        while (e + 2 < s.size() - 1 && s.at(e + 2) == QLatin1Char('0'))
            s.remove(e + 2, 1);
    return s;
}
} // namespace

QString monitor::LevelText(double rms, double peak)
{
    return number(rms) + QLatin1Char('/') + number(peak);
}

QFont monitor::FittingFont(const QFont &face, const QString &text, int width)
{
    QFont fitted = face;
    int px = face.pixelSize();
    while (px > kSmallestRowFont && QFontMetrics(fitted).horizontalAdvance(text) > width)
        fitted.setPixelSize(--px);
    return fitted;
}

NoiseMonitorView::NoiseMonitorView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor NoiseMonitorView::QuietColour() { return QColor(0, 150, 60); }
QColor NoiseMonitorView::AboveColour() { return QColor(220, 0, 0); }
QColor NoiseMonitorView::ThresholdColour() { return QColor(255, 140, 0); }
QColor NoiseMonitorView::HoldColour() { return QColor(0, 0, 255); }

void NoiseMonitorView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Draw(painter, size());
}

void NoiseMonitorView::Draw(QPainter &painter, const QSize &size) const
{
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (!m_session)
        return;
    const monitor::NoiseMeter &meter = m_session->Meter();
    const int channels = CurrentParams().ChannelsInUse();
    if (channels <= 0)
        return;
    const int rowFont = std::clamp(monitor::RowAt(0, channels, size).Row.height() - 6, 9, kLargestRowFont);
    painter.setFont(ScreenFont(10));

    // The scale and the threshold line over each column.
    for (int first : {0, channels - 1}) {
        const monitor::RowGeometry top = monitor::RowAt(first, channels, size);
        if (first > 0 && top.Row.left() == 0)
            break; // one column only
        QRect column = top.Bar;
        column.setTop(0);
        column.setBottom(size.height() - 1);
        drawScale(painter, column);
        painter.setPen(Qt::black);
        painter.drawText(QRect(top.Numbers.left() + 4, 0, top.Numbers.width() + top.Strip.width(),
                               monitor::kScaleHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("RMS/峰值 %1").arg(m_session->Unit().Symbol()));
    }

    QFont rowFace = ScreenFont(rowFont);
    rowFace.setPixelSize(rowFont);
    painter.setFont(rowFace);
    const auto &levels = meter.Levels();
    const TraceSet &traces = m_session->Traces();
    for (int c = 0; c < channels; ++c) {
        const monitor::RowGeometry g = monitor::RowAt(c, channels, size);
        const monitor::ChannelLevel &l = levels[c];
        const bool measured = meter.Rounds() > 0 && l.HasData;
        painter.setPen(!measured ? kMissingColour : l.Above ? AboveColour() : Qt::black);
        painter.drawText(g.Label, Qt::AlignRight | Qt::AlignVCenter, QString::number(c + 1) + QLatin1Char(' '));

        painter.setPen(kFrameColour);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(g.Bar.adjusted(0, 0, -1, -1));
        if (measured) {
            const int x = monitor::BarX(g.Bar, l.RmsDb);
            if (x > g.Bar.left())
                painter.fillRect(QRect(g.Bar.left() + 1, g.Bar.top() + 1, x - g.Bar.left(), g.Bar.height() - 2),
                                 l.Above ? AboveColour() : QuietColour());
            // This round's peak as a thin line, the held peak as a heavier mark.
            painter.setPen(Qt::black);
            const int px = monitor::BarX(g.Bar, l.PeakDb);
            painter.drawLine(px, g.Bar.top() + 1, px, g.Bar.bottom() - 1);
        }
        if (l.HeldPeakDb > monitor::kSilentDb) {
            const int hx = std::min(monitor::BarX(g.Bar, l.HeldPeakDb), g.Bar.right() - kHoldWidth);
            painter.fillRect(QRect(hx, g.Bar.top(), kHoldWidth, g.Bar.height()), HoldColour());
        }

        painter.setPen(measured && l.Above ? AboveColour() : Qt::black);
        const QString text = measured ? monitor::LevelText(l.Rms, l.Peak) : QStringLiteral("--");
        const QRect numbers = g.Numbers.adjusted(4, 0, 0, 0);
        painter.setFont(monitor::FittingFont(rowFace, text, numbers.width()));
        painter.drawText(numbers, Qt::AlignLeft | Qt::AlignVCenter, text);
        painter.setFont(rowFace);
        if (measured)
            drawStrip(painter, g.Strip, traces[c]);
    }

    // Over the bars, so that the line stays visible through a full bar.
    QPen threshold(ThresholdColour(), 2, Qt::DashLine);
    painter.setPen(threshold);
    for (int first : {0, channels - 1}) {
        const monitor::RowGeometry top = monitor::RowAt(first, channels, size);
        if (first > 0 && top.Row.left() == 0)
            break;
        const int x = monitor::BarX(top.Bar, meter.ThresholdDb());
        painter.drawLine(x, monitor::kScaleHeight, x, size.height() - 1);
    }
}

void NoiseMonitorView::drawScale(QPainter &painter, const QRect &column) const
{
    for (double db = monitor::kScaleBottomDb; db <= monitor::kScaleTopDb; db += monitor::kScaleTickDb) {
        const int x = monitor::BarX(column, db);
        painter.setPen(kTickColour);
        painter.drawLine(x, monitor::kScaleHeight, x, column.bottom());
        if (static_cast<int>(db) % kLabelDbStep != 0)
            continue;
        if (x + kLabelHalfWidth > column.right())
            continue; // the end of the scale is the numbers' heading's room
        painter.setPen(Qt::black);
        const QRect label(x - 2 * kLabelHalfWidth, 0, 4 * kLabelHalfWidth, monitor::kScaleHeight);
        painter.drawText(label, Qt::AlignCenter, QString::number(static_cast<int>(db)));
    }
}

void NoiseMonitorView::drawStrip(QPainter &painter, const QRect &strip, const QVector<float> &trace) const
{
    const int width = strip.width() - kStripMargin;
    if (width <= 1 || trace.isEmpty())
        return;
    // Each pixel column shows the smallest and largest sample it covers: no
    // spike is lost however many samples fall on a pixel.
    double sum = 0.0;
    for (float v : trace)
        sum += v;
    const float mean = static_cast<float>(sum / trace.size());
    float swing = 0.0f;
    for (float v : trace)
        swing = std::max(swing, std::fabs(v - mean));
    const int mid = strip.center().y();
    const double half = (strip.height() - 2) / 2.0;
    const double scale = swing > 0.0f ? half / swing : 0.0;
    const int n = trace.size();
    painter.setPen(kTraceColour);
    int lastTop = mid, lastBottom = mid;
    for (int px = 0; px < width; ++px) {
        const int from = static_cast<int>(static_cast<qint64>(px) * n / width);
        const int to = std::max(from + 1, static_cast<int>(static_cast<qint64>(px + 1) * n / width));
        float lo = trace[from], hi = trace[from];
        for (int i = from + 1; i < to && i < n; ++i) {
            lo = std::min(lo, trace[i]);
            hi = std::max(hi, trace[i]);
        }
        int top = mid - static_cast<int>((hi - mean) * scale);
        int bottom = mid - static_cast<int>((lo - mean) * scale);
        // Joined to the previous column, so a steep edge leaves no gap.
        if (px > 0) {
            top = std::min(top, lastBottom);
            bottom = std::max(bottom, lastTop);
        }
        const int x = strip.left() + kStripMargin + px;
        painter.drawLine(x, top, x, bottom);
        lastTop = top;
        lastBottom = bottom;
    }
}
