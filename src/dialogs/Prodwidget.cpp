#include "Prodwidget.h"
#include "ui_Prodwidget.h"

#include "WindowBorder.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>

namespace {
const int kWidthDivisor = 2;  // half the screen wide
const int kHeightDivisor = 3; // a third of the screen high
const int kFullPercent = 100;
} // namespace

Prodwidget::Prodwidget(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , ui(std::make_unique<Ui::Prodwidget>())
{
    ui->setupUi(this);
    ui->progressBar->setRange(m_min, m_max);
    ui->progressBar->setValue(m_value);
    ui->progressBar->installEventFilter(this);

    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        resize(area.width() / kWidthDivisor, area.height() / kHeightDivisor);
        move(area.center() - rect().center());
    }
    MeasureBar();
    m_shown = ShownFor(m_value);
    WindowBorder::AddTo(this);
}

Prodwidget::~Prodwidget() = default;

void Prodwidget::SetText(const QString &text)
{
    ui->label->setText(text);
    ui->label->repaint();
}

void Prodwidget::SetRange(int min, int max)
{
    m_min = min;
    m_max = std::max(min, max);
    ui->progressBar->setRange(m_min, m_max);
    m_value = std::clamp(m_value, m_min, m_max);
    ShowValue(m_value);
}

void Prodwidget::SetValue(int value)
{
    m_value = std::clamp(value, m_min, m_max);
    if (ShownFor(m_value) == m_shown)
        return;
    ShowValue(m_value);
}

void Prodwidget::ShowValue(int value)
{
    m_shown = ShownFor(value);
    ui->progressBar->setValue(value);
    // The bar repaints itself only when it judges the change large enough;
    // make sure the new picture is on screen exactly once.
    if (m_paintedValue != value || m_barPaints == 0)
        ui->progressBar->repaint();
}

Prodwidget::Shown Prodwidget::ShownFor(int value) const
{
    Shown s;
    const qint64 steps = qint64(m_max) - m_min;
    const qint64 done = qint64(value) - m_min;
    if (steps <= 0) {
        s.percent = kFullPercent;
        s.chunk = m_barWidth;
        return s;
    }
    // Same truncation as the bar's own "%p%" text.
    s.percent = int(double(done) * kFullPercent / double(steps));
    s.chunk = int(done * m_barWidth / steps);
    return s;
}

void Prodwidget::MeasureBar()
{
    QStyleOptionProgressBar opt;
    opt.initFrom(ui->progressBar);
    opt.minimum = 0;
    opt.maximum = 1;
    opt.progress = 1;
    const QRect area = ui->progressBar->style()->subElementRect(QStyle::SE_ProgressBarContents, &opt,
                                                               ui->progressBar);
    m_barWidth = area.width() > 0 ? area.width() : ui->progressBar->width();
}

bool Prodwidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->progressBar) {
        switch (event->type()) {
        case QEvent::Paint:
            ++m_barPaints;
            m_paintedValue = ui->progressBar->value();
            break;
        case QEvent::Resize:
        case QEvent::StyleChange:
            MeasureBar();
            m_shown = ShownFor(m_value);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
