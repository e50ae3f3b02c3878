#include "ReferenceTrace.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

void DrawTraceReference(QPainter &painter, const wave::TraceSpec &spec)
{
    painter.setPen(QPen(spec.Line, 1));
    painter.setBrush(spec.FillColour);
    const int first = spec.FirstSegment();
    const int last = spec.LastSegment();
    if (spec.Samples == nullptr || last < first)
        return;
    const float *s = spec.Samples + spec.WindowStart;
    const int base = spec.Scale.BaseX();
    QPainterPath path;
    bool inLobe = false;
    int lastY = 0;
    for (int j = first; j <= last; ++j) {
        const int x1 = spec.Scale.X(s[j]);
        const int y1 = wave::SampleRow(spec.PlotTop, spec.Pitch, j);
        const int x2 = spec.Scale.X(s[j + 1]);
        const int y2 = wave::SampleRow(spec.PlotTop, spec.Pitch, j + 1);
        painter.drawLine(x1, y1, x2, y2);
        lastY = y2;
        if (s[j] >= 0.0f && !inLobe) {
            path.moveTo(base, y1);
            path.lineTo(x1, y1);
            inLobe = true;
        } else if (s[j] >= 0.0f) {
            path.lineTo(x1, y1);
        } else if (inLobe) {
            path.lineTo(base, y1);
            inLobe = false;
        }
    }
    if (inLobe)
        path.lineTo(base, lastY);
    if (spec.Fill)
        painter.drawPath(path);
}
