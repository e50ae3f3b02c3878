#include "ReferenceTrace.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

void DrawTraceReference(QPainter &painter, const wave::TraceJob &job)
{
    painter.setPen(QPen(job.Line, 1));
    painter.setBrush(job.FillColour);
    const int first = job.FirstSegment();
    const int last = job.LastSegment();
    if (job.Samples == nullptr || last < first)
        return;
    const float *s = job.Samples + job.WindowStart;
    const int base = job.Scale.BaseX();
    QPainterPath path;
    bool inLobe = false;
    int lastY = 0;
    for (int j = first; j <= last; ++j) {
        const int x1 = job.Scale.X(s[j]);
        const int y1 = wave::SampleRow(job.PlotTop, job.Pitch, j);
        const int x2 = job.Scale.X(s[j + 1]);
        const int y2 = wave::SampleRow(job.PlotTop, job.Pitch, j + 1);
        painter.drawLine(x1, y1, x2, y2);
        lastY = y2;
        if (s[j] >= 0.0f && !inLobe) {
            path.moveTo(base, y1);
            path.lineTo(x1, y1);
            inLobe = true;
        } else if (s[j] >= 0.0f) {
            path.lineTo(x1, y1);
        } else if (s[j] < 0.0f && inLobe) { // a NaN neither starts nor ends a lobe
            path.lineTo(base, y1);
            inLobe = false;
        }
    }
    if (inLobe)
        path.lineTo(base, lastY);
    if (job.Fill)
        painter.drawPath(path);
}
