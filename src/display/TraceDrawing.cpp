#include "display/TraceDrawing.h"

#include <QImage>
#include <QLine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPoint>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace wave {

namespace {

constexpr int kPenWidth = 1;

// A 1-pixel opaque line along a row covers exactly the pixels from its left
// to its right end, clipped to the device. When the painter draws straight
// into an image with nothing in between (no transform, clip, blending or
// antialiasing), such runs are written into the scan lines directly.
QImage *DirectTarget(QPainter &painter, const QColor &colour)
{
    QPaintDevice *device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image)
        return nullptr;
    auto *img = static_cast<QImage *>(device);
    const bool format = img->format() == QImage::Format_ARGB32_Premultiplied
        || img->format() == QImage::Format_RGB32;
    if (!format || img->devicePixelRatio() != 1.0 || painter.hasClipping()
        || !painter.transform().isIdentity() || painter.testRenderHint(QPainter::Antialiasing)
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || painter.opacity() != 1.0 || colour.alpha() != 255)
        return nullptr;
    return img;
}

/// Scan lines of the image the painter draws on.
struct Pixels
{
    uchar *Bits = nullptr;
    qsizetype BytesPerLine = 0;
    int Width = 0;
    int Height = 0;

    explicit Pixels(QImage &img)
        : Bits(img.bits()), BytesPerLine(img.bytesPerLine()), Width(img.width()), Height(img.height())
    {
    }
    QRgb *Row(int y) const { return reinterpret_cast<QRgb *>(Bits + y * BytesPerLine); }
};

// The raster engine's 1-pixel aliased line with square caps, for integer end
// points inside the image: 26.6 fixed-point end points extended by half a
// pixel, stepped along the major axis in 16.16 with the minor coordinate
// rounded as the engine rounds it. The comparison with lines drawn through
// QPainter (tests) keeps this honest. Returns false when the line must go
// through QPainter (an end outside the image).
bool PlotLine(const Pixels &img, const QLine &l, QRgb colour)
{
    const int w = img.Width;
    const int h = img.Height;
    if (l.x1() < 0 || l.x2() < 0 || l.y1() < 0 || l.y2() < 0 || l.x1() >= w || l.x2() >= w
        || l.y1() >= h || l.y2() >= h)
        return false;
    constexpr int kOne = 64;         // 1.0 in 26.6
    constexpr int kHalf = kOne / 2;
    constexpr int kShift = 6;        // 26.6 to whole pixels
    constexpr int kTo16Dot16 = 1024; // 26.6 to 16.16
    constexpr qint64 kOne16 = 65536; // 1.0 in 16.16
    constexpr int kShift16 = 16;
    int x1 = l.x1() * kOne;
    int y1 = l.y1() * kOne;
    int x2 = l.x2() * kOne;
    int y2 = l.y2() * kOne;
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    auto fixedDiv = [](int a, int b) {
        return static_cast<int>((static_cast<qint64>(a) * kOne16) / b);
    };
    if (dx == 0 && dy == 0) {
        img.Row(l.y1())[l.x1()] = colour;
        return true;
    }
    if (dx < dy) {
        if (y1 > y2) {
            std::swap(y1, y2);
            std::swap(x1, x2);
        }
        const int xinc = fixedDiv(x2 - x1, y2 - y1);
        int x = x1 * kTo16Dot16;
        y1 -= kHalf;
        x -= xinc >> 1;
        y2 += kHalf;
        int y = (y1 + kHalf) >> kShift;
        const int ys = (y2 + kHalf) >> kShift;
        const int round = xinc > 0 ? kHalf : 0;
        if (y == ys)
            return true;
        x += (((y << kShift) + round - y1) * xinc) >> kShift;
        do {
            const int px = x >> kShift16;
            if (px >= 0 && px < w && y >= 0 && y < h)
                img.Row(y)[px] = colour;
            x += xinc;
        } while (++y < ys);
    } else {
        if (x1 > x2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const int yinc = fixedDiv(y2 - y1, x2 - x1);
        int y = y1 * kTo16Dot16;
        x1 -= kHalf;
        y -= yinc >> 1;
        x2 += kHalf;
        int x = (x1 + kHalf) >> kShift;
        const int xs = (x2 + kHalf) >> kShift;
        const int round = yinc > 0 ? kHalf : 0;
        if (x == xs)
            return true;
        y += (((x << kShift) + round - x1) * yinc) >> kShift;
        do {
            const int py = y >> kShift16;
            if (x >= 0 && x < w && py >= 0 && py < h)
                img.Row(py)[x] = colour;
            y += yinc;
        } while (++x < xs);
    }
    return true;
}

void FillRuns(const Pixels &img, const std::vector<QLine> &runs, QRgb colour)
{
    const int w = img.Width;
    const int h = img.Height;
    for (const QLine &r : runs) {
        const int y = r.y1();
        if (y < 0 || y >= h)
            continue;
        const int x0 = r.x1() < 0 ? 0 : r.x1();
        const int x1 = r.x2() >= w ? w - 1 : r.x2();
        if (x0 > x1)
            continue;
        QRgb *line = img.Row(y);
        std::fill(line + x0, line + x1 + 1, colour);
    }
}

// A long record puts dozens of samples on one pixel row. Every segment
// between two samples of the same row is horizontal, and consecutive ones
// share their ends, so together they cover exactly the run from the row's
// smallest to its largest x. Only the segment from a row's last sample to the
// next row's first sample is drawn as it is. This turns 16384 segments into
// about two lines per row without changing a pixel.
void AddRowRuns(const std::vector<QPoint> &pts, std::vector<QLine> &runs, std::vector<QLine> &steps)
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
            runs.emplace_back(lo, y, hi, y);
        if (b + 1 < n)
            steps.emplace_back(pts[b], pts[b + 1]);
        a = b + 1;
    }
}

// The outline of a lobe is stroked as one polyline, whose joins and ends the
// stroker rasterises with some care: the ends of an open polyline get caps, a
// polyline that ends where it began counts as closed and gets none, a
// segment that turns back gets a cap, and a gap at a corner gets a pixel
// filled in. Each row of the lobe is therefore kept as the moves that decide
// those pixels: the arrival at its first vertex and the first real move away
// from it, and the last real move into its last vertex and the departure
// (repeated points never count: a path drops them as they are added). Every
// pixel between the row's smallest and largest x is covered by the
// back-and-forth along the row anyway; that run is returned in runs and
// drawn as a run.
template <typename Points>
void AddRowPolyline(const Points &pts, QPainterPath &path, std::vector<QLine> &runs,
                    std::vector<QPoint> &fill)
{
    const size_t n = pts.size();
    QPoint prev = pts[0];
    path.moveTo(prev);
    auto to = [&](const QPoint &p) {
        if (p != prev) {
            path.lineTo(p);
            prev = p;
        }
    };
    size_t a = 0;
    while (a < n) {
        const QPoint pa = pts[a];
        const int y = pa.y();
        size_t b = a;
        int lo = pa.x();
        int hi = lo;
        while (b + 1 < n && pts[b + 1].y() == y) {
            ++b;
            const int x = pts[b].x();
            if (x < lo)
                lo = x;
            if (x > hi)
                hi = x;
        }
        const QPoint pb = pts[b];
        // For the fill only the edges that cross pixel rows matter; edges
        // along one row enclose no area, so a row keeps its first and last vertex.
        fill.push_back(pa);
        if (b > a)
            fill.push_back(pb);
        if (b + 1 == n) {
            // The row that ends the polyline keeps every vertex: how the
            // stroker ends a polyline depends on more than its last segment.
            for (size_t k = a; k <= b; ++k)
                to(pts[k]);
        } else {
            to(pa);
            size_t k = a + 1;
            while (k <= b && pts[k].x() == pa.x())
                ++k;
            if (k <= b) {
                to(pts[k]);
                size_t q = b;
                while (q > a && pts[q - 1].x() == pb.x())
                    --q;
                if (q - 1 > k)
                    to(pts[q - 1]);
                to(pb);
                if (hi > lo)
                    runs.emplace_back(lo, y, hi, y);
            }
        }
        a = b + 1;
    }
}

/// One lobe as a polyline without copying its samples: from the baseline
/// across to the first positive sample, down the positive samples, and back
/// to the baseline on the row after the last one.
struct LobePoints
{
    const QPoint *Samples = nullptr; ///< first positive sample of the lobe
    size_t Count = 0;                ///< positive samples
    QPoint Start;
    QPoint Back;

    size_t size() const { return Count + 2; }
    QPoint operator[](size_t k) const
    {
        if (k == 0)
            return Start;
        if (k > Count)
            return Back;
        return Samples[k - 1];
    }
};

} // namespace

void DrawTrace(QPainter &painter, const TraceJob &job)
{
    const int first = job.FirstSegment();
    const int last = job.LastSegment();
    if (job.Samples == nullptr || last < first)
        return;

    // Points first … last + 1 of the window; the loop's last segment ends at last + 1.
    // Kept between calls: a rebuild draws two dozen traces of the same length.
    thread_local std::vector<QPoint> pts;
    const size_t count = static_cast<size_t>(last - first + 2);
    pts.resize(count);
    const float *s = job.Samples + job.WindowStart;
    bool damaged = false; // NaN samples: only a damaged record has them
    for (size_t k = 0; k < count; ++k) {
        const int j = first + static_cast<int>(k);
        damaged |= std::isnan(s[j]);
        pts[k] = QPoint(job.Scale.X(s[j]), SampleRow(job.PlotTop, job.Pitch, j));
    }

    thread_local std::vector<QLine> runs;
    thread_local std::vector<QLine> steps;
    runs.clear();
    steps.clear();
    AddRowRuns(pts, runs, steps);

    painter.setPen(QPen(job.Line, kPenWidth));
    painter.setBrush(Qt::NoBrush);
    QImage *direct = DirectTarget(painter, job.Line);
    if (direct) {
        const Pixels px(*direct);
        FillRuns(px, runs, job.Line.rgba());
        thread_local std::vector<QLine> rest;
        rest.clear();
        for (const QLine &l : steps) {
            if (!PlotLine(px, l, job.Line.rgba()))
                rest.push_back(l);
        }
        painter.drawLines(rest.data(), static_cast<int>(rest.size()));
    } else {
        painter.drawLines(runs.data(), static_cast<int>(runs.size()));
        painter.drawLines(steps.data(), static_cast<int>(steps.size()));
    }
    if (!job.Fill)
        return;

    // Lobes: all fills go down before all outlines, as a single path with pen
    // and brush would draw them. The fill is one polygon for the whole trace:
    // the lobes joined along the baseline, where the way down between two
    // lobes and the closing way up cancel out and enclose nothing.
    const int base = job.Scale.BaseX();
    QPainterPath outline;
    outline.reserve(static_cast<int>(count / 2 + 16));
    thread_local std::vector<QLine> outlineRuns;
    thread_local std::vector<QPoint> poly;
    outlineRuns.clear();
    poly.clear();
    const size_t segments = count - 1; // samples that start a segment
    size_t k = 0;
    while (k < segments) {
        // A lobe starts only at a sample ≥ 0 and ends only at one < 0: a NaN
        // (a damaged record) neither starts nor ends one, and every lobe
        // holds at least one sample, so the scan always moves on.
        if (!(s[first + static_cast<int>(k)] >= 0.0f)) {
            ++k;
            continue;
        }
        size_t e = k + 1;
        while (e < segments && !(s[first + static_cast<int>(e)] < 0.0f))
            ++e;
        // Samples k … e − 1 are positive; the lobe goes back to the baseline on
        // the row of sample e (negative, or the end of the trace).
        LobePoints lobe;
        lobe.Samples = &pts[k];
        lobe.Count = e - k;
        lobe.Start = QPoint(base, pts[k].y());
        lobe.Back = QPoint(base, pts[e].y());
        if (damaged) {
            // A NaN adds no vertex to its lobe: the lobe runs on from the
            // samples around it.
            thread_local std::vector<QPoint> kept;
            kept.clear();
            kept.push_back(lobe.Start);
            for (size_t i = k; i < e; ++i) {
                if (!std::isnan(s[first + static_cast<int>(i)]))
                    kept.push_back(pts[i]);
            }
            kept.push_back(lobe.Back);
            AddRowPolyline(kept, outline, outlineRuns, poly);
        } else {
            AddRowPolyline(lobe, outline, outlineRuns, poly);
        }
        k = e;
    }
    if (poly.empty())
        return;

    painter.setPen(Qt::NoPen);
    painter.setBrush(job.FillColour);
    painter.drawPolygon(poly.data(), static_cast<int>(poly.size()), Qt::OddEvenFill);
    painter.setPen(QPen(job.Line, kPenWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    if (QImage *img = DirectTarget(painter, job.Line))
        FillRuns(Pixels(*img), outlineRuns, job.Line.rgba());
    else
        painter.drawLines(outlineRuns.data(), static_cast<int>(outlineRuns.size()));
}

} // namespace wave
