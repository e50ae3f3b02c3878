#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class NoiseMonitorSession;

namespace monitor {

/// Where one channel's row and its parts lie in the monitor's view.
struct RowGeometry
{
    QRect Row;
    QRect Label;   ///< the channel number
    QRect Bar;     ///< the dB scale: RMS bar, peak, peak hold, threshold line
    QRect Numbers; ///< RMS and peak in the screen's unit
    QRect Strip;   ///< the live trace
};

/// Rows of the view: one column up to twelve channels, two beyond, channel 1
/// at the top left; the top kScaleHeight pixels hold the dB scale's labels.
RowGeometry RowAt(int index, int channels, const QSize &size);
/// Height of the scale labels above the rows.
constexpr int kScaleHeight = 18;
/// x of a level in dB on a bar, clamped to its ends.
int BarX(const QRect &bar, double db);
/// A row's numbers, "RMS/peak", three significant digits each, exponents
/// without padding ("2.92e-5").
QString LevelText(double rms, double peak);
/// face, made smaller where text would not fit width pixels (never below
/// kSmallestRowFont pixels, still read at arm's length).
QFont FittingFont(const QFont &face, const QString &text, int width);
constexpr int kSmallestRowFont = 8;

} // namespace monitor

/// The site-noise monitor's picture: per channel a bar on a dB scale with its
/// threshold line, peak and peak hold, the numbers, and a strip of the last record.
class NoiseMonitorView : public QWidget
{
    Q_OBJECT

public:
    explicit NoiseMonitorView(QWidget *parent = nullptr);

    /// What to show (owned by the screen); null shows an empty frame.
    void SetSession(const NoiseMonitorSession *session) { m_session = session; }

    /// Paints the picture into painter over size (the widget's paint, and benchmarks).
    void Draw(QPainter &painter, const QSize &size) const;

    /// Colours a test or a look check recognises.
    static QColor QuietColour();
    static QColor AboveColour();
    static QColor ThresholdColour();
    static QColor HoldColour();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawScale(QPainter &painter, const QRect &column) const;
    void drawStrip(QPainter &painter, const QRect &strip, const QVector<float> &trace) const;

    const NoiseMonitorSession *m_session = nullptr;
};
