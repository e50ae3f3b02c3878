#pragma once

#include "display/TraceDrawing.h"

/// The straightforward drawing of one trace: one line per pair of samples and
/// one path vertex per sample, exactly as the display rules describe it. The
/// view's own drawing must give the same pixels.
void DrawTraceReference(QPainter &painter, const wave::TraceJob &job);
