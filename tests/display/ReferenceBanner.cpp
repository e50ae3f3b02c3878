#include "ReferenceBanner.h"

#include "display/SampleTitleWidget.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPen>

void DrawBannerReference(QPainter &p, const QSize &size, bool ringShown, int clock,
                         const QString &message, const QFont &font)
{
    const int w = size.width() - 1;
    const int h = size.height() - 1;
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(0, 0, 255));

    const QRect box(QPoint(h, 0), QPoint(w - 1, h));
    QFont f = font;
    const int pointSize = SampleTitleWidget::MessagePointSize(box.width(), box.height());
    if (pointSize > 0)
        f.setPointSize(pointSize);
    p.setFont(f);
    p.drawText(box, Qt::AlignCenter, message);

    if (!ringShown)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(h / 2, h / 2);
    p.translate(c);
    p.rotate(clock / 1000.0 * 360.0);
    p.translate(-c);
    QConicalGradient g(c, 0.0);
    const QColor faint(255, 255, 255, 10);
    g.setColorAt(0.0, faint);
    g.setColorAt(0.05, Qt::white);
    g.setColorAt(0.49, QColor(0, 255, 0));
    g.setColorAt(0.5, faint);
    g.setColorAt(0.55, Qt::white);
    g.setColorAt(0.99, QColor(0, 255, 0));
    QPen pen = p.pen();
    pen.setWidth((h + 1) / 10);
    pen.setBrush(g);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const int r = (h + 1) / 3;
    const int cx = static_cast<int>(c.x());
    const int cy = static_cast<int>(c.y());
    p.drawEllipse(QRect(QPoint(cx - r, cy - r), QPoint(cx + r - 1, cy + r - 1)));
    p.restore();
}
