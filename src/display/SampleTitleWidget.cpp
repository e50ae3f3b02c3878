#include "display/SampleTitleWidget.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPen>
#include <QTimer>

namespace {
constexpr int kAnimationMs = 40;
constexpr int kClockPeriodMs = 1000; // one turn per second
constexpr double kDegreesPerTurn = 360.0;
constexpr int kWidthInHeights = 5;    // banner is five heights wide
constexpr int kParentWidthShare = 7;  // and at most a seventh of the parent's width high
constexpr int kParentHeightShare = 2; // or half its height
constexpr int kWideTextDivisor = 9;
constexpr int kNarrowTextDivisor = 6;
constexpr int kRingPenDivisor = 10;
constexpr int kRingRadiusDivisor = 3;
constexpr int kFaintAlpha = 10;
const QColor kMessageColour(0, 0, 255);
const QColor kTailColour(0, 255, 0);
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

bool SampleTitleWidget::Animating() const
{
    return m_timer && m_timer->isActive();
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
        m_timer->start();
    } else if (state == Acquiring) {
        m_message = QStringLiteral("数据采集中..");
        update();
    } else {
        m_timer->stop();
    }
    setVisible(state != Hidden);
}

void SampleTitleWidget::DoAnimate()
{
    m_clock = (m_clock + m_timer->interval()) % kClockPeriodMs;
    update(0, 0, height(), height());
}

void SampleTitleWidget::paintEvent(QPaintEvent *)
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
    p.setFont(f);
    p.drawText(box, Qt::AlignCenter, m_message);

    if (m_state != WaitingForTrigger && m_state != Acquiring)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(h / 2, h / 2);
    p.translate(c);
    p.rotate(static_cast<double>(m_clock) / kClockPeriodMs * kDegreesPerTurn);
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
