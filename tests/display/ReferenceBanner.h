#pragma once

#include <QFont>
#include <QSize>
#include <QString>

class QPainter;

/// The straightforward drawing of the banner, stroke by stroke and every
/// time, exactly as the display rules describe it: message, then (while
/// shown) the ring at clock thousandths of a turn. font is the painter's font
/// before the message size is set. The banner's own drawing must give the
/// same pixels.
void DrawBannerReference(QPainter &p, const QSize &size, bool ringShown, int clock,
                         const QString &message, const QFont &font);
