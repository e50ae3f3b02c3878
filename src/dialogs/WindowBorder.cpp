#include "WindowBorder.h"

#include <QChildEvent>
#include <QEvent>
#include <QPainter>

namespace {
const char kObjectName[] = "windowBorder";
}

void WindowBorder::AddTo(QWidget *window)
{
    if (!window || window->findChild<WindowBorder *>(QLatin1String(kObjectName), Qt::FindDirectChildrenOnly))
        return;
    new WindowBorder(window);
}

WindowBorder::WindowBorder(QWidget *window)
    : QWidget(window)
{
    setObjectName(QLatin1String(kObjectName));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
}

bool WindowBorder::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        setGeometry(parentWidget()->rect());
        break;
    case QEvent::ChildAdded:
    case QEvent::Show:
        // Widgets added later would otherwise cover the frame.
        if (static_cast<QWidget *>(watched) == parentWidget())
            raise();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void WindowBorder::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    // Filled bands rather than a wide pen, so that every pixel of the edge is
    // covered whatever the pen's rounding.
    p.fillRect(QRect(r.left(), r.top(), r.width(), kWidth), Qt::black);
    p.fillRect(QRect(r.left(), r.bottom() - kWidth + 1, r.width(), kWidth), Qt::black);
    p.fillRect(QRect(r.left(), r.top(), kWidth, r.height()), Qt::black);
    p.fillRect(QRect(r.right() - kWidth + 1, r.top(), kWidth, r.height()), Qt::black);
}
