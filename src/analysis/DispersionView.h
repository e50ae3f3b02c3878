#pragma once

#include "analysis/DispersionImage.h"
#include "analysis/DispersionPlot.h"

#include <QImage>
#include <QWidget>
#include <memory>

class DispersionPlot;

/// Shows a dispersion image (DispersionPlot) with a cross-hair cursor that a
/// touch or a drag puts anywhere on the image. The picture is drawn once per
/// image and size; a cursor move only paints the cross-hair over it.
class DispersionView : public QWidget
{
    Q_OBJECT

public:
    explicit DispersionView(QWidget *parent = nullptr);
    ~DispersionView() override;

    /// Shows image (which must outlive the view or be replaced first); null shows nothing.
    void SetImage(const DispersionImage *image);
    /// Draws bars and a caption over the image (kept across images and sizes).
    void SetOverlay(std::vector<PlotBar> bars, QString caption);
    /// Puts the cursor on a frequency and velocity (held within the image) and reports it.
    void SetCursor(double frequency, double velocity);
    double CursorFrequency() const { return m_frequency; }
    double CursorVelocity() const { return m_velocity; }
    /// The plot of the current image at the current size (null without an image).
    const DispersionPlot *Plot() const { return m_plot.get(); }

signals:
    /// The cursor moved to frequency (Hz) and velocity (m/s).
    void CursorMoved(double frequency, double velocity);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void Rebuild();
    void CursorToPixel(QPointF pixel);

    const DispersionImage *m_image = nullptr;
    std::unique_ptr<DispersionPlot> m_plot;
    QImage m_picture;
    std::vector<PlotBar> m_bars;
    QString m_caption;
    double m_frequency = 0.0;
    double m_velocity = 0.0;
};
