#include "analysis/DispersionView.h"

#include "analysis/DispersionPlot.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kOutlineWidth = 3;
}

DispersionView::DispersionView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

DispersionView::~DispersionView() = default;

void DispersionView::SetImage(const DispersionImage *image)
{
    m_image = image;
    Rebuild();
    update();
}

void DispersionView::SetCursor(double frequency, double velocity)
{
    if (m_image && !m_image->Frequencies.empty() && !m_image->Velocities.empty()) {
        frequency = std::clamp(frequency, m_image->Frequencies.front(), m_image->Frequencies.back());
        velocity = std::clamp(velocity, m_image->Velocities.front(), m_image->Velocities.back());
    }
    m_frequency = frequency;
    m_velocity = velocity;
    update();
    emit CursorMoved(m_frequency, m_velocity);
}

void DispersionView::Rebuild()
{
    m_plot.reset();
    m_picture = QImage();
    if (!m_image || width() <= 0 || height() <= 0)
        return;
    m_plot = std::make_unique<DispersionPlot>(*m_image, size());
    m_plot->SetOverlay(m_bars, m_caption);
    m_picture = m_plot->Draw();
}

void DispersionView::SetOverlay(std::vector<PlotBar> bars, QString caption)
{
    m_bars = std::move(bars);
    m_caption = std::move(caption);
    Rebuild();
    update();
}

void DispersionView::resizeEvent(QResizeEvent *)
{
    Rebuild();
}

void DispersionView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_picture.isNull()) {
        p.fillRect(rect(), Qt::white);
        return;
    }
    p.drawImage(0, 0, m_picture);
    const QRect area = m_plot->PlotArea();
    const QPointF at = m_plot->PixelOf(m_frequency, m_velocity);
    if (!area.contains(at.toPoint()))
        return;
    // Black under white, as the picked curve: visible on every colour of the map.
    p.setClipRect(area);
    const int x = int(at.x() + 0.5);
    const int y = int(at.y() + 0.5);
    for (const auto &[colour, width] : {std::pair{QColor(Qt::black), kOutlineWidth}, std::pair{QColor(Qt::white), 1}}) {
        p.setPen(QPen(colour, width));
        p.drawLine(area.left(), y, area.right(), y);
        p.drawLine(x, area.top(), x, area.bottom());
    }
    // The caption stays readable under the cursor: its box is drawn again over the lines.
    const QRect caption = m_plot->CaptionBox();
    if (!caption.isEmpty()) {
        p.setClipping(false);
        p.drawImage(caption, m_picture, caption);
    }
}

void DispersionView::CursorToPixel(QPointF pixel)
{
    double f = 0.0;
    double v = 0.0;
    if (m_plot && m_plot->At(pixel, f, v))
        SetCursor(f, v);
}

void DispersionView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        CursorToPixel(event->position());
}

void DispersionView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        CursorToPixel(event->position());
}
