#include "analysis/DispersionPlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

const char *const kFontFamily = "yaheikr";
/// Text height follows the picture: 16 px at 480 rows, within these bounds.
constexpr int kRowsPerFontPixel = 30;
constexpr int kMinFontPixels = 12;
constexpr int kMaxFontPixels = 22;
// Margins around the colour field, in font heights.
constexpr double kLeftMargin = 3.6;
constexpr double kRightMargin = 3.4;
constexpr double kTopMargin = 1.9;
constexpr double kBottomMargin = 2.7;
constexpr double kBarGap = 0.6;
constexpr double kBarWidth = 0.8;
constexpr int kTickLength = 5;
constexpr int kMaxFrequencyTicks = 10;
constexpr int kMaxVelocityTicks = 8;
/// Picks closer than this many frequency steps are joined into one line.
constexpr double kJoinSteps = 1.5;
// The curve: a white line of a tenth of the text height over a black one
// this many times wider, and white dots of this many line widths.
constexpr double kCurveWidthPerFontPixel = 0.1;
constexpr double kCurveOutline = 2.5;
constexpr double kDotRadius = 1.6;
// The resolution limits: thin dashed lines, slightly see-through.
constexpr double kLimitPenWidth = 1.5;
constexpr int kLimitAlpha = 210;
constexpr int kTextGap = 4; ///< pixels between a line or mark and its label
// The combined curve: orange, which stands apart from every viridis colour
// and from the white picked curve; bars as wide as a dot, boxes behind text.
const QColor kOverlayColour(255, 120, 0);
constexpr double kOverlayPenPerFontPixel = 0.12;
constexpr double kBarCapPerFontPixel = 0.3;
constexpr int kCaptionAlpha = 200;

// viridis (van der Walt and Smith, public domain), every 16th of its 256
// entries and the last: its lightness rises evenly from the darkest to the
// brightest colour, so the eye reads the height of a ridge from its colour,
// in daylight and for colour-blind operators alike.
struct Stop
{
    int At;
    int R, G, B;
};
constexpr Stop kViridis[] = {
    {0, 68, 1, 84},      {16, 72, 24, 106},   {32, 71, 45, 123},   {48, 66, 64, 134},
    {64, 59, 82, 139},   {80, 51, 99, 141},   {96, 44, 114, 142},  {112, 38, 130, 142},
    {128, 33, 145, 140}, {144, 31, 160, 136}, {160, 40, 174, 128}, {176, 63, 188, 115},
    {192, 94, 201, 98},  {208, 132, 212, 75}, {224, 173, 220, 48}, {240, 216, 226, 25},
    {255, 253, 231, 37},
};
constexpr int kLevels = 256;

const std::array<QRgb, kLevels> &ColourTable()
{
    static const std::array<QRgb, kLevels> table = [] {
        std::array<QRgb, kLevels> t{};
        for (size_t s = 0; s + 1 < std::size(kViridis); ++s) {
            const Stop &a = kViridis[s];
            const Stop &b = kViridis[s + 1];
            for (int i = a.At; i <= b.At; ++i) {
                const double w = double(i - a.At) / (b.At - a.At);
                t[size_t(i)] = qRgb(int(std::lround(a.R + w * (b.R - a.R))), int(std::lround(a.G + w * (b.G - a.G))),
                                    int(std::lround(a.B + w * (b.B - a.B))));
            }
        }
        return t;
    }();
    return table;
}

/// Axis range of grid points: first to last, or one step around a single point.
void AxisRange(const std::vector<double> &points, double lo, double hi, double step, double &from, double &to)
{
    if (points.size() >= 2) {
        from = points.front();
        to = points.back();
        return;
    }
    const double centre = points.empty() ? 0.5 * (lo + hi) : points.front();
    const double half = points.empty() ? 0.5 * (hi - lo) : 0.5 * step;
    from = centre - (half > 0.0 ? half : 0.5);
    to = centre + (half > 0.0 ? half : 0.5);
}

/// Fractional index of value among evenly spaced points, held within them.
double GridIndex(const std::vector<double> &points, double value)
{
    if (points.size() < 2)
        return 0.0;
    const double step = (points.back() - points.front()) / double(points.size() - 1);
    return std::clamp((value - points.front()) / step, 0.0, double(points.size() - 1));
}

QString Number(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

DispersionPlot::DispersionPlot(const DispersionImage &image, QSize size)
    : m_image(image)
    , m_size(size)
    , m_font(QString::fromLatin1(kFontFamily))
{
    const int px = std::clamp(size.height() / kRowsPerFontPixel, kMinFontPixels, kMaxFontPixels);
    m_font.setPixelSize(px);
    const int left = int(kLeftMargin * px);
    const int top = int(kTopMargin * px);
    const int right = int(kRightMargin * px);
    const int bottom = int(kBottomMargin * px);
    m_plot = QRect(left, top, std::max(1, size.width() - left - right), std::max(1, size.height() - top - bottom));
    m_bar = QRect(m_plot.right() + 1 + int(kBarGap * px), m_plot.top(), int(kBarWidth * px), m_plot.height());
    const DispersionGrid &g = image.Grid;
    AxisRange(image.Frequencies, g.FMin, g.FMax, g.Df, m_fLo, m_fHi);
    AxisRange(image.Velocities, g.VMin, g.VMax, g.Dv, m_vLo, m_vHi);
}

bool DispersionPlot::At(QPointF pixel, double &frequency, double &velocity) const
{
    if (!m_plot.contains(pixel.toPoint()))
        return false;
    frequency = m_fLo + (pixel.x() - m_plot.left() + 0.5) / m_plot.width() * (m_fHi - m_fLo);
    velocity = m_vHi - (pixel.y() - m_plot.top() + 0.5) / m_plot.height() * (m_vHi - m_vLo);
    return true;
}

QPointF DispersionPlot::PixelOf(double frequency, double velocity) const
{
    return QPointF(m_plot.left() + (frequency - m_fLo) / (m_fHi - m_fLo) * m_plot.width() - 0.5,
                   m_plot.top() + (m_vHi - velocity) / (m_vHi - m_vLo) * m_plot.height() - 0.5);
}

QRgb DispersionPlot::Colour(float value)
{
    const float v = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    return ColourTable()[size_t(std::lround(v * (kLevels - 1)))];
}

QVector<double> DispersionPlot::Ticks(double lo, double hi, int maxTicks)
{
    QVector<double> ticks;
    const double span = hi - lo;
    if (!(span > 0.0) || !std::isfinite(span) || maxTicks < 1)
        return ticks;
    double step = std::pow(10.0, std::floor(std::log10(span / maxTicks)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (span / (m * step) <= maxTicks) {
            step *= m;
            break;
        }
    }
    // Multiples of the step; the small slack keeps an end that lies on one.
    const double slack = step * 1e-9;
    for (double t = std::ceil((lo - slack) / step) * step; t <= hi + slack; t += step)
        ticks.append(std::abs(t) < slack ? 0.0 : t);
    return ticks;
}

QImage DispersionPlot::Draw() const
{
    QImage picture(m_size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (m_size.isEmpty())
        return picture;
    DrawField(picture);
    QPainter p(&picture);
    p.setFont(m_font);
    p.setRenderHint(QPainter::Antialiasing);
    DrawLimits(p);
    DrawCurve(p);
    DrawOverlay(p);
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawAxes(p);
    DrawColourBar(p);
    return picture;
}

void DispersionPlot::DrawField(QImage &picture) const
{
    const QRect area = m_plot.intersected(picture.rect());
    const size_t nf = m_image.Frequencies.size();
    const size_t nv = m_image.Velocities.size();
    if (area.isEmpty() || nf == 0 || nv == 0 || m_image.Values.size() != nf * nv) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            std::fill_n(reinterpret_cast<QRgb *>(picture.scanLine(y)) + area.left(), area.width(), Colour(0.0f));
        return;
    }
    // Each column's place between two frequencies, worked out once; then per
    // row a line through the velocities, interpolated across.
    std::vector<int> column(size_t(area.width()));
    std::vector<float> across(size_t(area.width()));
    for (int x = area.left(); x <= area.right(); ++x) {
        double f = 0.0;
        double v = 0.0;
        At(QPointF(x, area.top()), f, v);
        const double pos = GridIndex(m_image.Frequencies, f);
        const int i = std::min(int(pos), int(nf) - 1);
        column[size_t(x - area.left())] = i;
        across[size_t(x - area.left())] = float(pos - i);
    }
    std::vector<float> line(nf + 1);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        double f = 0.0;
        double v = 0.0;
        At(QPointF(area.left(), y), f, v);
        const double pos = GridIndex(m_image.Velocities, v);
        const size_t j = std::min(size_t(pos), nv - 1);
        const size_t j1 = std::min(j + 1, nv - 1);
        const float w = float(pos - double(j));
        for (size_t i = 0; i < nf; ++i)
            line[i] = (1.0f - w) * m_image.Value(int(i), int(j)) + w * m_image.Value(int(i), int(j1));
        line[nf] = line[nf - 1];
        QRgb *out = reinterpret_cast<QRgb *>(picture.scanLine(y)) + area.left();
        for (size_t x = 0; x < column.size(); ++x) {
            const size_t i = size_t(column[x]);
            out[x] = Colour(line[i] + across[x] * (line[i + 1] - line[i]));
        }
    }
}

void DispersionPlot::DrawLimits(QPainter &p) const
{
    if (!m_image.Ok())
        return;
    p.save();
    p.setClipRect(m_plot);
    p.setPen(QPen(QColor(255, 255, 255, kLimitAlpha), kLimitPenWidth, Qt::DashLine));
    const QFontMetrics fm(m_font);
    for (double lambda : {m_image.ShortestWavelength, m_image.LongestWavelength}) {
        if (!(lambda > 0.0))
            continue;
        const QPointF from = PixelOf(m_fLo, lambda * m_fLo);
        const QPointF to = PixelOf(m_fHi, lambda * m_fHi);
        p.drawLine(from, to);
        // Label where the line leaves the field: right of it at the top, below it at the right edge.
        const double fEnd = std::min(m_fHi, m_vHi / lambda);
        const QPointF end = PixelOf(fEnd, lambda * fEnd);
        if (end.y() > m_plot.bottom())
            continue;
        const QString text = QStringLiteral("λ=%1m").arg(lambda, 0, 'f', 1);
        const int w = fm.horizontalAdvance(text);
        p.drawText(QPointF(std::clamp(end.x() + kTextGap, double(m_plot.left() + kTextGap),
                                      double(m_plot.right() - w - kTextGap)),
                           std::min(end.y() + fm.ascent() + kTextGap, double(m_plot.bottom() - fm.descent()))),
                   text);
    }
    p.restore();
}

void DispersionPlot::DrawCurve(QPainter &p) const
{
    const std::vector<DispersionPick> &curve = m_image.Curve;
    if (curve.empty())
        return;
    p.save();
    p.setClipRect(m_plot);
    const double join = kJoinSteps * m_image.Grid.Df;
    QPainterPath path;
    for (size_t i = 0; i < curve.size(); ++i) {
        const QPointF at = PixelOf(curve[i].Frequency, curve[i].Velocity);
        if (i == 0 || curve[i].Frequency - curve[i - 1].Frequency > join)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    // Black under white: the line stands out from the darkest and the
    // brightest colours, and is thin enough to leave the ridge in sight.
    const double width = m_font.pixelSize() * kCurveWidthPerFontPixel;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, width * kCurveOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(Qt::white);
    const double r = width * kDotRadius;
    for (const DispersionPick &pick : curve)
        p.drawEllipse(PixelOf(pick.Frequency, pick.Velocity), r, r);
    p.restore();
}

void DispersionPlot::DrawAxes(QPainter &p) const
{
    const QFontMetrics fm(m_font);
    const int px = m_font.pixelSize();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_plot.adjusted(-1, -1, 0, 0));

    for (double f : Ticks(m_fLo, m_fHi, kMaxFrequencyTicks)) {
        const int x = int(PixelOf(f, m_vLo).x() + 0.5);
        p.drawLine(x, m_plot.bottom() + 1, x, m_plot.bottom() + kTickLength);
        const QString label = Number(f);
        const int w = fm.horizontalAdvance(label);
        p.drawText(QPoint(x - w / 2, m_plot.bottom() + kTickLength + fm.ascent()), label);
    }
    for (double v : Ticks(m_vLo, m_vHi, kMaxVelocityTicks)) {
        const int y = int(PixelOf(m_fLo, v).y() + 0.5);
        p.drawLine(m_plot.left() - kTickLength, y, m_plot.left() - 1, y);
        const QString label = Number(v);
        const int w = fm.horizontalAdvance(label);
        p.drawText(QPoint(m_plot.left() - kTickLength - kTextGap / 2 - w, y + fm.ascent() / 2 - 1), label);
    }
    const QString fTitle = QStringLiteral("频率(Hz)");
    p.drawText(QPoint(m_plot.center().x() - fm.horizontalAdvance(fTitle) / 2, m_size.height() - fm.descent() - kTextGap / 2), fTitle);
    const QString vTitle = QStringLiteral("相速度(m/s)");
    const int titleBase = m_plot.top() - px / 2;
    p.drawText(QPoint(std::max(kTextGap / 2, m_plot.left() - fm.horizontalAdvance(vTitle) / 2), titleBase), vTitle);
    const QString summary = DispersionSummary(m_image);
    const int room = m_size.width() - m_plot.left() - fm.horizontalAdvance(vTitle);
    const QString shown = fm.elidedText(summary, Qt::ElideRight, std::max(0, room));
    p.drawText(QPoint(m_bar.right() - fm.horizontalAdvance(shown), titleBase), shown);
}

void DispersionPlot::DrawColourBar(QPainter &p) const
{
    if (m_bar.width() <= 0 || m_bar.height() <= 0)
        return;
    for (int y = m_bar.top(); y <= m_bar.bottom(); ++y) {
        const float v = 1.0f - float(y - m_bar.top()) / float(std::max(1, m_bar.height() - 1));
        p.setPen(QColor::fromRgb(Colour(v)));
        p.drawLine(m_bar.left(), y, m_bar.right(), y);
    }
    const QFontMetrics fm(m_font);
    p.setPen(Qt::black);
    p.drawRect(m_bar.adjusted(-1, -1, 0, 0));
    p.drawText(QPoint(m_bar.right() + kTextGap, m_bar.top() + fm.ascent()), QStringLiteral("1"));
    p.drawText(QPoint(m_bar.right() + kTextGap, m_bar.bottom()), QStringLiteral("0"));
}

void DispersionPlot::SetOverlay(std::vector<PlotBar> bars, QString caption)
{
    m_bars = std::move(bars);
    m_caption = std::move(caption);
}

QRect DispersionPlot::CaptionBox() const
{
    if (m_caption.isEmpty())
        return {};
    const QFontMetrics fm(m_font);
    const QString text = fm.elidedText(m_caption, Qt::ElideRight, m_plot.width() - 4 * kTextGap);
    return QRect(m_plot.left() + kTextGap, m_plot.bottom() - fm.height() - 2 * kTextGap,
                 fm.horizontalAdvance(text) + 2 * kTextGap, fm.height() + kTextGap);
}

void DispersionPlot::DrawOverlay(QPainter &p) const
{
    if (m_bars.empty() && m_caption.isEmpty())
        return;
    p.save();
    p.setClipRect(m_plot);
    const double px = m_font.pixelSize();
    const double cap = px * kBarCapPerFontPixel;
    QPen pen(kOverlayColour, std::max(1.0, px * kOverlayPenPerFontPixel));
    p.setPen(pen);
    p.setBrush(kOverlayColour);
    QPainterPath line;
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const PlotBar &b = m_bars[i];
        const QPointF mid = PixelOf(b.Frequency, b.Velocity);
        const QPointF top = PixelOf(b.Frequency, b.Velocity + b.Sd);
        const QPointF bottom = PixelOf(b.Frequency, b.Velocity - b.Sd);
        p.drawLine(top, bottom);
        p.drawLine(QPointF(top.x() - cap, top.y()), QPointF(top.x() + cap, top.y()));
        p.drawLine(QPointF(bottom.x() - cap, bottom.y()), QPointF(bottom.x() + cap, bottom.y()));
        p.drawRect(QRectF(mid.x() - cap, mid.y() - cap, 2 * cap, 2 * cap));
        if (i == 0)
            line.moveTo(mid);
        else
            line.lineTo(mid);
    }
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    if (!m_caption.isEmpty()) {
        const QFontMetrics fm(m_font);
        const QString text = fm.elidedText(m_caption, Qt::ElideRight, m_plot.width() - 4 * kTextGap);
        const QRect box = CaptionBox();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, kCaptionAlpha));
        p.drawRect(box);
        p.setPen(Qt::black);
        p.drawText(box, Qt::AlignCenter, text);
    }
    p.restore();
}
