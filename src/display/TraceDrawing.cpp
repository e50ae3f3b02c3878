#include "display/TraceDrawing.h"

#include <QLine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPoint>
#include <vector>

namespace wave {

namespace {

constexpr int kPenWidth = 1;

// A long record puts dozens of samples on one pixel row. Every segment
// between two samples of the same row is horizontal, and consecutive ones
// share their ends, so together they cover exactly the run from the row's
// smallest to its largest x. Only the segment from a row's last sample to the
// next row's first sample is drawn as it is. This turns 16384 segments into
// about two lines per row without changing a pixel.
void AddRowRuns(const std::vector<QPoint> &pts, std::vector<QLine> &lines)
{
    const size_t n = pts.size();
    size_t a = 0;
    while (a < n) {
        const int y = pts[a].y();
        size_t b = a;
        int lo = pts[a].x();
        int hi = lo;
        while (b + 1 < n && pts[b + 1].y() == y) {
            ++b;
            const int x = pts[b].x();
            if (x < lo)
                lo = x;
            if (x > hi)
                hi = x;
        }
        if (b > a)
            lines.emplace_back(lo, y, hi, y);
        if (b + 1 < n)
            lines.emplace_back(pts[b], pts[b + 1]);
        a = b + 1;
    }
}

// The outline of a lobe is stroked as one polyline, whose joins and ends the
// stroker rasterises differently from lone lines; so the lobe keeps its
// polyline, and only the rows strictly inside it collapse to their extremes
// (first, smallest, largest, last), which the back-and-forth along the row
// covered anyway. The rows holding the polyline's ends keep every vertex,
// because the stroker leaves out an end pixel depending on the last segment.
void AddRowPolyline(const std::vector<QPoint> &pts, QPainterPath &path)
{
    const size_t n = pts.size();
    QPoint prev = pts.front();
    path.moveTo(prev);
    auto to = [&](const QPoint &p) {
        if (p != prev) {
            path.lineTo(p);
            prev = p;
        }
    };
    size_t a = 0;
    while (a < n) {
        const int y = pts[a].y();
        size_t b = a;
        int lo = pts[a].x();
        int hi = lo;
        while (b + 1 < n && pts[b + 1].y() == y) {
            ++b;
            const int x = pts[b].x();
            if (x < lo)
                lo = x;
            if (x > hi)
                hi = x;
        }
        if (a == 0 || b + 1 == n) {
            for (size_t k = (a == 0 ? 1 : a); k <= b; ++k) {
                path.lineTo(pts[k]);
                prev = pts[k];
            }
        } else {
            to(pts[a]);
            if (b > a) {
                to(QPoint(lo, y));
                to(QPoint(hi, y));
                to(pts[b]);
            }
        }
        a = b + 1;
    }
}

// For the fill only the edges that cross pixel rows matter; edges along one
// row enclose no area. A lobe keeps the first and last vertex of each row.
void AddFillVertex(std::vector<QPoint> &poly, const QPoint &p)
{
    const size_t n = poly.size();
    if (n >= 2 && poly[n - 1].y() == p.y() && poly[n - 2].y() == p.y())
        poly[n - 1] = p;
    else
        poly.push_back(p);
}

} // namespace

void DrawTrace(QPainter &painter, const TraceSpec &spec)
{
    const int first = spec.FirstSegment();
    const int last = spec.LastSegment();
    if (spec.Samples == nullptr || last < first)
        return;

    // Points first … last + 1 of the window; the loop's last segment ends at last + 1.
    std::vector<QPoint> pts;
    pts.reserve(static_cast<size_t>(last - first + 2));
    const float *s = spec.Samples + spec.WindowStart;
    for (int j = first; j <= last + 1; ++j)
        pts.emplace_back(spec.Scale.X(s[j]), SampleRow(spec.PlotTop, spec.Pitch, j));

    std::vector<QLine> lines;
    lines.reserve(pts.size() < 4096 ? pts.size() : 4096);
    AddRowRuns(pts, lines);

    painter.setPen(QPen(spec.Line, kPenWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    if (!spec.Fill)
        return;

    // Lobes: all fills go down before all outlines, as a single path with pen
    // and brush would draw them.
    const int base = spec.Scale.BaseX();
    QPainterPath fill;
    QPainterPath outline;
    std::vector<QPoint> lobe;
    std::vector<QPoint> poly;
    bool inLobe = false;
    auto closeLobe = [&](int y) {
        const QPoint back(base, y);
        lobe.push_back(back);
        AddFillVertex(poly, back);
        AddRowPolyline(lobe, outline);
        fill.moveTo(poly.front());
        for (size_t k = 1; k < poly.size(); ++k)
            fill.lineTo(poly[k]);
        lobe.clear();
        poly.clear();
        inLobe = false;
    };
    for (int j = first; j <= last; ++j) {
        const QPoint &p = pts[static_cast<size_t>(j - first)];
        if (s[j] >= 0.0f) {
            if (!inLobe) {
                const QPoint start(base, p.y());
                lobe.push_back(start);
                poly.push_back(start);
                inLobe = true;
            }
            lobe.push_back(p);
            AddFillVertex(poly, p);
        } else if (inLobe) {
            closeLobe(p.y());
        }
    }
    if (inLobe)
        closeLobe(pts.back().y());

    painter.setPen(Qt::NoPen);
    painter.setBrush(spec.FillColour);
    painter.drawPath(fill);
    painter.setPen(QPen(spec.Line, kPenWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

} // namespace wave
