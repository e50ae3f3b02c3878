#include "analysis/CPingPu.h"

#include "analysis/SpectrumAnalysis.h"
#include "params/ParamSet.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kFramePen = 3;
constexpr double kSmallest = 1e-9; // below this a peak or a scale counts as nothing
const QColor kAreaGrey(220, 220, 220);
const QColor kCursorRed(255, 0, 0);

// Axes, from the plot rectangle's corners.
constexpr int kAxisOverrun = 38;   // the x axis runs past x2 by this much
constexpr int kArrowLength = 5;
constexpr int kYAxisTop = 2;
constexpr int kYArrowDrop = 7;
constexpr int kYArrowLeft = 3;
constexpr int kYArrowRight = 7;

constexpr int kMajorTick = 5;
constexpr int kMinorTick = 3;
constexpr int kLabelDrop = 5;
constexpr int kLabelWidth = 200;
constexpr int kLabelHeight = 24;
constexpr int kLabelPixelsPerChar = 3;

constexpr int kAxisPixels = 15;
constexpr int kReadoutPixels = 20;

} // namespace

CPingPu::CPingPu(QWidget *parent)
    : QWidget(parent)
    , m_axisFont(QStringLiteral("yaheikr"))
    , m_readoutFont(QStringLiteral("yaheikr"))
{
    m_axisFont.setPixelSize(kAxisPixels);
    m_readoutFont.setPixelSize(kReadoutPixels);
}

void CPingPu::SetSpectrum(const ChannelSpectrum *spectrum)
{
    m_spectrum = spectrum;
    m_pictureValid = false;
}

int CPingPu::Bins() const
{
    return m_spectrum ? m_spectrum->Bins() : 0;
}

SpectrumPlotLayout CPingPu::Plot() const
{
    return ComputeSpectrumPlot(width(), height(), Bins());
}

QString CPingPu::ReadoutText() const
{
    return SpectrumReadout(m_mainHz, m_cursorHz);
}

void CPingPu::DrawPicture(QPainter &p, const SpectrumPlotLayout &l) const
{
    p.fillRect(rect(), DrawableColours(CurrentParams().Colours).Background);
    p.setPen(QPen(Qt::black, kFramePen));
    p.drawRect(0, 0, l.W, l.H);
    const int bins = Bins();
    if (bins < 1 || !l.Drawable())
        return;

    const float *values = m_spectrum->Values.data();
    const float peak = values[m_spectrum->MainBin];
    const double scale = peak >= kSmallest ? l.AxisHeight / double(peak) : 0.0;
    const int x0 = l.X0;
    const int yb = l.Baseline;
    const int xEnd = l.X2 + kAxisOverrun;
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(x0, yb, xEnd, yb);
    p.drawLine(xEnd - kArrowLength, yb - kArrowLength, xEnd, yb);
    p.drawLine(xEnd - kArrowLength, yb + kArrowLength, xEnd, yb);
    const int yTop = l.Y1 + kYAxisTop;
    p.drawLine(x0, yTop, x0, yb);
    p.drawLine(x0, yTop, l.X1 - kYArrowLeft, l.Y1 + kYArrowDrop);
    p.drawLine(x0, yTop, l.X1 + kYArrowRight, l.Y1 + kYArrowDrop);

    if (scale > kSmallest) {
        // One path for the whole spectrum, reduced to what the pixels show:
        // at 131072 points a line per bin took longer than the transform.
        const QPolygon outline = SpectrumOutline(l, values, bins, scale);
        QPolygon area;
        area.reserve(outline.size() + 3);
        area << QPoint(l.X1 + 1, outline.first().y());
        area += outline;
        area << QPoint(l.BinX(bins - 1), yb) << QPoint(l.X1 + 1, yb);
        p.setBrush(kAreaGrey);
        p.drawPolygon(area);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(outline);
    }

    const FrequencyAxis axis = ChooseFrequencyAxis(m_spectrum->RangeHz);
    p.setFont(m_axisFont);
    p.drawText(QRect(xEnd, yb + kLabelDrop, kLabelWidth, kLabelHeight), Qt::AlignLeft | Qt::AlignTop, axis.Unit);
    for (const FrequencyTick &tick : FrequencyTicks(bins, m_spectrum->RangeHz)) {
        const int x = l.BinX(tick.Bin);
        p.drawLine(x, yb, x, yb + (tick.Major ? kMajorTick : kMinorTick));
        if (!tick.Major)
            continue;
        const int left = x - kLabelPixelsPerChar * int(tick.Label.size());
        p.drawText(QRect(left, yb + kLabelDrop, kLabelWidth, kLabelHeight), Qt::AlignLeft | Qt::AlignTop,
                   tick.Label);
    }
}

void CPingPu::paintEvent(QPaintEvent *)
{
    const SpectrumPlotLayout l = Plot();
    if (!m_pictureValid || m_picture.size() != size()) {
        m_picture = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        QPainter ip(&m_picture);
        DrawPicture(ip, l);
        m_pictureValid = true;
    }
    QPainter p(this);
    p.drawImage(0, 0, m_picture);

    const int bins = Bins();
    if (bins >= 1) {
        // A cursor left beyond a shorter spectrum stays on its last bin.
        m_cursorBin = std::clamp(m_cursorBin, 0, bins - 1);
        m_mainHz = m_spectrum->MainHz();
        m_cursorHz = m_spectrum->BinHz(m_cursorBin);
        if (l.Drawable()) {
            const int x = l.BinX(m_cursorBin) - 1;
            p.setPen(QPen(kCursorRed, 1));
            p.drawLine(x, l.Y1, x, l.Baseline);
        }
    }
    p.setPen(QPen(Qt::black, 1));
    p.setFont(m_readoutFont);
    p.drawText(l.ReadoutBox(), Qt::AlignCenter, ReadoutText());
}

void CPingPu::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pt = event->position().toPoint();
    const int bin = SpectrumCursorBin(Plot(), pt.x(), pt.y(), Bins());
    if (bin < 0)
        return;
    m_cursorBin = bin;
    update();
}
