#pragma once

#include "display/WaveGeometry.h"

#include <QColor>

class QPainter;

namespace wave {

/// Everything needed to draw one trace as a wiggle line with filled positive lobes.
struct TraceJob
{
    const float *Samples = nullptr;
    int Count = 0;          ///< samples the vector holds
    int WindowStart = 0;    ///< sample index drawn at the top
    int WindowLength = 0;   ///< samples from top to bottom
    int FirstJ = 1;         ///< first window sample a segment starts from
    TraceScale Scale;
    int PlotTop = 0;
    float Pitch = 0.0f;     ///< pixels per sample vertically
    bool Fill = false;      ///< fill the positive lobes
    QColor Line{0, 0, 0};
    QColor FillColour{0, 0, 0};

    /// First and last window index j a segment starts from; empty when last < first.
    /// The loop never reads before sample 0 nor past sample Count − 1.
    int FirstSegment() const { return FirstJ > -WindowStart ? FirstJ : -WindowStart; }
    int LastSegment() const
    {
        const int byData = Count - 2 - WindowStart;
        const int byWindow = WindowLength - 1;
        return byData < byWindow ? byData : byWindow;
    }
};

/// Draws a trace with one drawing call per pixel row instead of one per
/// sample: the pixels are those of the segment-by-segment drawing.
void DrawTrace(QPainter &painter, const TraceJob &job);

/// Signature of a trace drawing routine, so that the view can be pointed at
/// another one (the segment-by-segment drawing the fast one is checked against).
using TraceDrawer = void (*)(QPainter &, const TraceJob &);

} // namespace wave
