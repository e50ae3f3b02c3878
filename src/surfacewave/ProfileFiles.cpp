#include "surfacewave/ProfileFiles.h"

#include "analysis/DispersionPlot.h"
#include "surfacewave/CombinedCurve.h"

#include <QList>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char *const kProfileHeader = "depth_top_m,thickness_m,vs_m_s,vp_m_s,density_kg_m3";

// Colours of the picture: the best model red, the band a pale blue, the
// unconstrained depth under a grey veil, the picks black.
const QColor kBest(200, 30, 30);
const QColor kBand(150, 190, 235);
const QColor kMedian(40, 80, 160);
const QColor kVeil(128, 128, 128, 110);
const QColor kAxis(0, 0, 0);
constexpr int kMaxDepthTicks = 8;
constexpr int kMaxVelocityTicks = 6;
constexpr int kMargin = 8;
/// Room for the tick labels left of and below a plot, in text heights.
constexpr double kLabelColumns = 3.2;
/// The curve plot takes this share of the width, right of the profile.
constexpr double kCurvePlotShare = 0.42;

struct Axes
{
    QRectF Area;
    double XLo, XHi, YLo, YHi;
    bool YDown; ///< depth grows downwards

    QPointF At(double x, double y) const
    {
        const double px = Area.left() + (x - XLo) / (XHi - XLo) * Area.width();
        const double share = (y - YLo) / (YHi - YLo);
        const double py = YDown ? Area.top() + share * Area.height() : Area.bottom() - share * Area.height();
        return QPointF(px, py);
    }
};

void DrawFrame(QPainter &p, const Axes &a, const QString &xTitle, const QString &yTitle)
{
    p.setPen(QPen(kAxis, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(a.Area);
    const QFontMetrics fm(p.font());
    for (double x : DispersionPlot::Ticks(a.XLo, a.XHi, kMaxVelocityTicks)) {
        const QPointF at = a.At(x, a.YLo);
        const double y = a.YDown ? a.Area.top() : a.Area.bottom();
        p.drawLine(QPointF(at.x(), y), QPointF(at.x(), y + (a.YDown ? -4 : 4)));
        const QString label = QString::number(x);
        const double ty = a.YDown ? a.Area.top() - 3 : a.Area.bottom() + fm.ascent() + 2;
        p.drawText(QPointF(at.x() - fm.horizontalAdvance(label) / 2.0, ty), label);
    }
    for (double y : DispersionPlot::Ticks(a.YLo, a.YHi, kMaxDepthTicks)) {
        const QPointF at = a.At(a.XLo, y);
        p.drawLine(at, at + QPointF(4, 0));
        const QString label = QString::number(y);
        p.drawText(QPointF(at.x() - fm.horizontalAdvance(label) - 3, at.y() + fm.ascent() / 2.0 - 1), label);
    }
    p.drawText(QRectF(a.Area.left(), a.Area.bottom() + 2, a.Area.width(), fm.height() * 2.2),
               Qt::AlignRight | Qt::AlignBottom, xTitle);
    p.save();
    p.translate(a.Area.left() - fm.height() * kLabelColumns + 2, a.Area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-a.Area.height() / 2.0, 0, a.Area.height(), fm.height()), Qt::AlignCenter, yTitle);
    p.restore();
}

void DrawProfilePanel(QPainter &p, const InversionResult &r, const QRectF &area)
{
    const VsBand &b = r.Band;
    double vHi = 0.0;
    for (double v : b.High)
        vHi = std::max(vHi, v);
    for (const Layer &l : r.Best)
        vHi = std::max(vHi, l.Vs);
    const Axes a{area, 0.0, vHi * 1.1, 0.0, b.Depth.empty() ? 30.0 : b.Depth.back(), true};

    // The band as one polygon: down its low edge, back up its high edge.
    QPolygonF band;
    for (size_t i = 0; i < b.Depth.size(); ++i)
        band << a.At(b.Low[i], b.Depth[i]);
    for (size_t i = b.Depth.size(); i-- > 0;)
        band << a.At(b.High[i], b.Depth[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(kBand);
    p.drawPolygon(band);
    QPolygonF median;
    for (size_t i = 0; i < b.Depth.size(); ++i)
        median << a.At(b.Median[i], b.Depth[i]);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kMedian, 1.5, Qt::DashLine));
    p.drawPolyline(median);

    QPolygonF steps;
    double top = 0.0;
    for (size_t i = 0; i < r.Best.size(); ++i) {
        const bool half = i + 1 == r.Best.size();
        const double bottom = half ? a.YHi : top + r.Best[i].Thickness;
        steps << a.At(r.Best[i].Vs, top) << a.At(r.Best[i].Vs, std::min(bottom, a.YHi));
        top = bottom;
    }
    p.setPen(QPen(kBest, 2.5));
    p.drawPolyline(steps);

    if (r.ConstrainedDepth < a.YHi) {
        const QPointF from = a.At(a.XLo, r.ConstrainedDepth);
        p.fillRect(QRectF(from, area.bottomRight()), kVeil);
    }
    DrawFrame(p, a, QStringLiteral("Vs (m/s)"), QStringLiteral("深度 (m)"));
}

void DrawCurvePanel(QPainter &p, const InversionResult &r, const QRectF &area)
{
    const std::vector<CurvePoint> &pts = r.Curve.Points;
    if (pts.empty())
        return;
    double fLo = pts.front().Frequency, fHi = pts.back().Frequency;
    double vLo = pts.front().Velocity, vHi = vLo;
    for (const CurvePoint &c : pts) {
        vLo = std::min(vLo, c.Velocity - c.Sd);
        vHi = std::max(vHi, c.Velocity + c.Sd);
    }
    if (!(fHi > fLo))
        fHi = fLo + 1.0;
    const Axes a{area, fLo, fHi, vLo * 0.95, vHi * 1.05, false};
    p.setPen(QPen(kAxis, 1));
    for (const CurvePoint &c : pts) {
        p.drawLine(a.At(c.Frequency, c.Velocity - c.Sd), a.At(c.Frequency, c.Velocity + c.Sd));
        p.drawEllipse(a.At(c.Frequency, c.Velocity), 2.0, 2.0);
    }
    QPolygonF fitted;
    for (size_t i = 0; i < pts.size() && i < r.Fitted.size(); ++i)
        if (std::isfinite(r.Fitted[i]))
            fitted << a.At(pts[i].Frequency, std::clamp(r.Fitted[i], a.YLo, a.YHi));
    p.setPen(QPen(kBest, 2));
    p.drawPolyline(fitted);
    DrawFrame(p, a, QStringLiteral("频率 (Hz)"), QStringLiteral("相速度 (m/s)"));
}

} // namespace

InversionCurve ParseCurveCsv(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    int fColumn = -1;
    int vColumn = -1;
    int sdColumn = -1;
    bool headerSeen = false;
    std::vector<CurvePoint> points;
    InversionCurve refused;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(',');
        if (!headerSeen) {
            for (int c = 0; c < fields.size(); ++c) {
                const QByteArray name = fields.at(c).trimmed();
                if (name == "frequency_hz")
                    fColumn = c;
                else if (name == "velocity_m_s")
                    vColumn = c;
                else if (name == "sd_m_s")
                    sdColumn = c;
            }
            if (fColumn < 0 || vColumn < 0) {
                refused.Problem = QStringLiteral("line %1: the header must name frequency_hz and velocity_m_s").arg(i + 1);
                return refused;
            }
            headerSeen = true;
            continue;
        }
        if (fields.at(0).trimmed() == "vs30_m_s")
            break;
        const int needed = std::max({fColumn, vColumn, sdColumn}) + 1;
        bool okF = false;
        bool okV = false;
        bool okSd = true;
        CurvePoint p;
        if (fields.size() >= needed) {
            p.Frequency = fields.at(fColumn).trimmed().toDouble(&okF);
            p.Velocity = fields.at(vColumn).trimmed().toDouble(&okV);
            if (sdColumn >= 0)
                p.Sd = fields.at(sdColumn).trimmed().toDouble(&okSd);
        }
        if (!okF || !okV || !okSd) {
            refused.Problem = QStringLiteral("line %1: not a pick of frequency, velocity and sd").arg(i + 1);
            return refused;
        }
        points.push_back(p);
    }
    if (!headerSeen) {
        refused.Problem = QStringLiteral("empty: no header naming frequency_hz and velocity_m_s");
        return refused;
    }
    return PrepareCurve(std::move(points));
}

QByteArray ProfileCsv(const InversionResult &r)
{
    QByteArray out = QByteArray(kProfileHeader) + '\n';
    char line[160];
    double top = 0.0;
    for (const Layer &l : r.Best) {
        std::snprintf(line, sizeof line, "%.2f,%.2f,%.1f,%.1f,%.0f\n", top, l.Thickness, l.Vs, l.Vp, l.Density);
        out += line;
        top += l.Thickness;
    }
    std::snprintf(line, sizeof line, "misfit,%.4f\n", r.Misfit);
    out += line;
    std::snprintf(line, sizeof line, "vs30_m_s,%.1f,%.1f,%.1f\n", r.Vs30, r.Vs30Low, r.Vs30High);
    out += line;
    return out;
}

QString ProfileVs30Text(const InversionResult &r)
{
    return QStringLiteral("Vs30 = %1 m/s (%2–%3)  %4类 / EC8 %5")
        .arg(r.Vs30, 0, 'f', 0)
        .arg(r.Vs30Low, 0, 'f', 0)
        .arg(r.Vs30High, 0, 'f', 0)
        .arg(NehrpClass(r.Vs30), Ec8Class(r.Vs30));
}

QImage DrawProfile(const InversionResult &r, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!r.Ok() || r.Best.empty())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("yaheikr"));
    font.setPixelSize(std::max(10, size.height() / 36));
    p.setFont(font);
    const QFontMetrics fm(font);
    const double label = fm.height() * kLabelColumns;

    // The summary at the top: Vs30, misfit and whether the run was stopped.
    QString summary = ProfileVs30Text(r) + QStringLiteral("   拟合差 %1").arg(r.Misfit, 0, 'f', 2);
    if (r.Stopped)
        summary += QStringLiteral("   已停止：目前最佳");
    p.setPen(r.Stopped ? kBest : kAxis);
    p.drawText(QPointF(kMargin, kMargin + fm.ascent()), summary);

    const double top = kMargin + fm.height() * 2.5;
    const double bottom = size.height() - kMargin - fm.height() * 2.0;
    const double split = size.width() * (1.0 - kCurvePlotShare);
    DrawProfilePanel(p, r, QRectF(QPointF(kMargin + label, top), QPointF(split - kMargin, bottom)));
    const double curveTop = top + (bottom - top) * 0.35;
    DrawCurvePanel(p, r, QRectF(QPointF(split + label, curveTop), QPointF(size.width() - kMargin, bottom)));
    // A short key above the curve plot.
    p.setPen(QPen(kBest, 2.5));
    p.drawLine(QPointF(split + label, top + fm.height() * 0.5), QPointF(split + label + 20, top + fm.height() * 0.5));
    p.setPen(kAxis);
    p.drawText(QPointF(split + label + 26, top + fm.ascent()), QStringLiteral("最佳模型"));
    p.fillRect(QRectF(split + label, top + fm.height() * 1.2, 20, fm.height() * 0.7), kBand);
    p.drawText(QPointF(split + label + 26, top + fm.height() * 1.2 + fm.ascent() * 0.8),
               QStringLiteral("10–90％ 可接受模型 (%1)").arg(r.Acceptable));
    p.fillRect(QRectF(split + label, top + fm.height() * 2.4, 20, fm.height() * 0.7), kVeil);
    p.drawText(QPointF(split + label + 26, top + fm.height() * 2.4 + fm.ascent() * 0.8),
               QStringLiteral("%1 m以下数据约束不足").arg(r.ConstrainedDepth, 0, 'f', 0));
    return image;
}
