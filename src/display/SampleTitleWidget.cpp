#include "display/SampleTitleWidget.h"

#include <QConicalGradient>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QTimer>

#include <cmath>

namespace {
constexpr int kAnimationMs = 40;
constexpr int kClockPeriodMs = 1000; // one turn per second
constexpr int kStepsPerTurn = kClockPeriodMs / kAnimationMs;
constexpr double kDegreesPerTurn = 360.0;
constexpr int kWidthInHeights = 5;    // banner is five heights wide
constexpr int kParentWidthShare = 7;  // and at most a seventh of the parent's width high
constexpr int kParentHeightShare = 2; // or half its height
constexpr int kWideTextDivisor = 9;
constexpr int kNarrowTextDivisor = 6;
constexpr int kRingPenDivisor = 10;
constexpr int kRingRadiusDivisor = 3;
constexpr int kFaintAlpha = 10;
constexpr double kInchesPerMetre = 1.0 / 0.0254;
const QColor kMessageColour(0, 0, 255);
const QColor kTailColour(0, 255, 0);

/// The ring in the square (0, 0)…(h, h) at clock, stroked with the painter's
/// pen widened and given the two-tailed gradient.
void DrawRing(QPainter &p, int h, int clock)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(h / 2, h / 2);
    p.translate(c);
    p.rotate(static_cast<double>(clock) / kClockPeriodMs * kDegreesPerTurn);
    p.translate(-c);
    QConicalGradient g(c, 0.0);
    QColor faint(255, 255, 255, kFaintAlpha);
    g.setColorAt(0.0, faint);
    g.setColorAt(0.05, Qt::white);
    g.setColorAt(0.49, kTailColour);
    g.setColorAt(0.5, faint);
    g.setColorAt(0.55, Qt::white);
    g.setColorAt(0.99, kTailColour);
    QPen pen = p.pen();
    pen.setWidth((h + 1) / kRingPenDivisor);
    pen.setBrush(g);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const int r = (h + 1) / kRingRadiusDivisor;
    p.drawEllipse(QRect(QPoint(static_cast<int>(c.x()) - r, static_cast<int>(c.y()) - r),
                        QPoint(static_cast<int>(c.x()) + r - 1, static_cast<int>(c.y()) + r - 1)));
    p.restore();
}

/// True when a ring frame laid over the picture gives the very pixels the
/// stroke itself would. A ring stroked onto a transparent square holds colour
/// × coverage per pixel, and laying it over a 32-bit picture adds the picture
/// × what that leaves, which is how the stroke blends in the first place.
/// Scaled, rotated or faded painting would resample, and 16-bit pictures
/// blend at a precision of their own: those get the stroke itself.
bool FrameBlendsAsTheStroke(const QPainter &p)
{
    const QPaintEngine *engine = p.paintEngine();
    const QPaintDevice *target = engine ? engine->paintDevice() : nullptr;
    if (!target || engine->type() != QPaintEngine::Raster || target->devType() != QInternal::Image)
        return false;
    const QImage::Format format = static_cast<const QImage *>(target)->format();
    const QTransform &t = p.deviceTransform();
    return (format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32)
        && t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx())
        && t.dy() == std::floor(t.dy()) && target->devicePixelRatio() == 1.0 && p.opacity() == 1.0
        && p.compositionMode() == QPainter::CompositionMode_SourceOver;
}

/// Smallest rectangle holding every pixel of image that is not fully transparent.
QRect InkBounds(const QImage &image)
{
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

SampleTitleWidget::SampleTitleWidget(QWidget *parent)
    : QWidget(parent)
{
    if (parent) {
        m_timer = new QTimer(this);
        m_timer->setInterval(kAnimationMs);
        m_message = QStringLiteral("等待落锤...");
        m_state = Hidden;
        SetState(Hidden);
        connect(m_timer, &QTimer::timeout, this, &SampleTitleWidget::DoAnimate);
    } else {
        hide();
    }
}

int SampleTitleWidget::BannerHeight(int parentWidth, int parentHeight)
{
    const int byHeight = parentHeight / kParentHeightShare;
    const int byWidth = parentWidth / kParentWidthShare;
    return byHeight < byWidth ? byHeight : byWidth;
}

int SampleTitleWidget::MessagePointSize(int boxWidth, int boxHeight)
{
    return (boxWidth / kNarrowTextDivisor < 2 * boxHeight / 3) ? boxWidth / kWideTextDivisor
                                                                : boxHeight / 2;
}

void SampleTitleWidget::SetState(int state)
{
    if (!parentWidget()) {
        hide();
        return;
    }
    m_clock = 0;
    m_state = state;
    if (state == WaitingForTrigger) {
        m_message = QStringLiteral("等待触发...");
        const QWidget *p = parentWidget();
        const int b = BannerHeight(p->width(), p->height());
        QRect r(0, 0, kWidthInHeights * b, b);
        r.moveCenter(QPoint((p->width() - 1) / 2, (p->height() - 1) / 2));
        setGeometry(r);
        m_spinning = true;
        // Shown already: the turn starts over now. Otherwise the show does it.
        if (isVisible())
            m_timer->start();
    } else if (state == Acquiring) {
        m_message = QStringLiteral("数据采集中..");
        update();
    } else {
        m_spinning = false;
        m_timer->stop();
    }
    setVisible(state != Hidden);
}

void SampleTitleWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_spinning && !m_timer->isActive())
        m_timer->start();
}

void SampleTitleWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nobody sees the ring turn behind a hidden screen: no ticks meanwhile.
    if (m_timer)
        m_timer->stop();
}

void SampleTitleWidget::DoAnimate()
{
    m_clock = (m_clock + m_timer->interval()) % kClockPeriodMs;
    update(0, 0, height(), height());
}

const QImage *SampleTitleWidget::RingFrame(int clock)
{
    const int side = height();
    if (side <= 0 || clock < 0 || clock % kAnimationMs != 0 || clock / kAnimationMs >= kStepsPerTurn)
        return nullptr;
    if (side != m_ringSide) {
        m_ringFrames.assign(kStepsPerTurn, QImage());
        m_ringSide = side;
    }
    QImage &frame = m_ringFrames[static_cast<size_t>(clock / kAnimationMs)];
    if (frame.isNull()) {
        frame = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        QPainter p(&frame);
        p.setPen(kMessageColour); // the pen the banner's painter holds when it strokes the ring
        DrawRing(p, side - 1, clock);
    }
    return &frame;
}

QRect SampleTitleWidget::MessageInk(const QFont &font, const QRect &box)
{
    if (m_inkMessage == m_message && m_inkFont == font && m_inkBox == box)
        return m_messageInk;
    // Drawn once on a transparent sheet at the screen's resolution: what it
    // touches there is what it touches on the banner.
    QImage probe(size(), QImage::Format_ARGB32_Premultiplied);
    probe.setDotsPerMeterX(qRound(logicalDpiX() * kInchesPerMetre));
    probe.setDotsPerMeterY(qRound(logicalDpiY() * kInchesPerMetre));
    probe.fill(Qt::transparent);
    {
        QPainter p(&probe);
        p.setPen(kMessageColour);
        p.setFont(font);
        p.drawText(box, Qt::AlignCenter, m_message);
    }
    m_messageInk = InkBounds(probe);
    m_inkMessage = m_message;
    m_inkFont = font;
    m_inkBox = box;
    return m_messageInk;
}

void SampleTitleWidget::paintEvent(QPaintEvent *event)
{
    const int w = width() - 1;
    const int h = height() - 1;
    QPainter p(this);
    p.setBrush(Qt::NoBrush);
    p.setPen(kMessageColour);

    const QRect box(QPoint(h, 0), QPoint(w - 1, h));
    QFont f = p.font();
    const int size = MessagePointSize(box.width(), box.height());
    if (size > 0)
        f.setPointSize(size);
    // A ring step repaints only the ring's square, which the message does not
    // reach; laying the message out for nothing was most of what a step cost.
    if (event->region().intersects(MessageInk(f, box))) {
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, m_message);
    }

    if (m_state != WaitingForTrigger && m_state != Acquiring)
        return;
    const QImage *frame = FrameBlendsAsTheStroke(p) ? RingFrame(m_clock) : nullptr;
    if (frame)
        p.drawImage(0, 0, *frame);
    else
        DrawRing(p, h, m_clock);
}
