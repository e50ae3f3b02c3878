#pragma once

#include "display/TraceDrawing.h"
#include "display/WaveGeometry.h"

#include <QFont>
#include <QImage>
#include <QWidget>

class SampleTitleWidget;

/// The record on screen: up to 24 traces side by side, time running down,
/// positive lobes filled, channel numbers below and a millisecond scale on the
/// right, with a cursor readout, the current channel in red and the metering
/// range. Reads the traces on screen and the current parameter set on every
/// rebuild; keeps no record data of its own.
class CShowWave : public QWidget
{
    Q_OBJECT
public:
    enum Mode { AcquisitionMode = 0, AnalysisMode = 1 };

    explicit CShowWave(QWidget *parent = nullptr);
    ~CShowWave() override;

    /// When on, the next paint rebuilds the picture (the back buffer is dropped now).
    void SetRedraw(bool on);
    /// Channel group shown; (-1, -1) shows all channels on page 1 at the next rebuild.
    void SetPage(int perPage, int page);
    /// Back to the whole record unscaled (acquisition mode) and fresh statistics.
    void ResetView();
    /// Banner state: 0 hidden, 1 waiting for the trigger, 2 acquiring.
    void ShowTitle(int state);

    // What the analysis screen sets before a rebuild.
    void SetMode(int mode) { m_mode = mode; }
    void SetCommonScale(int on) { m_commonScale = on; }
    void SetGainExponent(int exponent) { m_gainExponent = exponent; }
    void SetShift(int pixels) { m_shift = pixels; }
    void SetWindow(int start, int length);
    void SetCursor(int x, int y);
    void SetCursorSample(int sample) { m_cursorSample = sample; }
    /// Keeps the rightmost pixels free of the picture (controls lie over
    /// them); takes effect at the next rebuild.
    void SetRightReserve(int pixels) { m_rightReserve = pixels; }
    /// Moves the cursor delta samples along the record (a keypad step),
    /// reports it as a touch at the new sample would, and repaints.
    void StepCursor(int delta);

    int Mode() const { return m_mode; }
    int CommonScale() const { return m_commonScale; }
    int GainExponent() const { return m_gainExponent; }
    int Shift() const { return m_shift; }
    int WindowStart() const { return m_windowStart; }
    int WindowLength() const { return m_windowLength; }
    QPoint Cursor() const { return QPoint(m_cursorX, m_cursorY); }
    int CursorSample() const { return m_cursorSample; }
    int RangeStart() const { return m_rangeStart; }
    int RangeEnd() const { return m_rangeEnd; }
    int ChannelsPerPage() const { return m_perPage; }
    int Page() const { return m_page; }
    /// Layout of the last rebuild.
    const wave::Layout &CurrentLayout() const { return m_layout; }
    const wave::PageStats &Stats() const { return m_stats; }
    bool HasBackBuffer() const { return !m_buffer.isNull(); }
    /// Back-buffer rebuilds since construction (owners are measured by it).
    int RebuildCount() const { return m_rebuilds; }
    SampleTitleWidget *Banner() const { return m_banner; }

    /// Channels the shot check found wrong (index = channel − 1), marked
    /// beside their numbers from the next rebuild; empty for none.
    void SetChannelMarks(const QVector<bool> &marks);
    const QVector<bool> &ChannelMarks() const { return m_marks; }

    /// Replaces the routine that draws one trace (the default is the per-row
    /// drawing; tests put the segment-by-segment drawing beside it).
    void SetTraceDrawer(wave::TraceDrawer drawer) { m_drawTrace = drawer; }

signals:
    /// Cursor report to the owner: channel (1-based), time in ms, and the
    /// sample value or, with metering on, the peak-to-peak of the range.
    void SetMainPara(int CH, float time, float value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    /// Draws frame, labels, traces and time scale into the back buffer; false
    /// when it stopped after the labels (sampling or self-check running).
    bool RebuildBackBuffer();
    void DrawFrameAndLabels(QPainter &p);
    void DrawTraces(QPainter &p);
    void DrawTimeScale(QPainter &p);
    void DrawOverlay(QPainter &p);
    /// Channel in the cursor's column when the cursor may select one, else 0.
    int ChannelUnderCursor() const;
    wave::TraceJob SpecFor(int channelIndex, int column) const;
    int SampleCount() const;
    /// Reports the cursor of channel as a touch does (metering off; with
    /// metering on every paint reports the range instead).
    void ReportCursor(int channel);

    SampleTitleWidget *m_banner = nullptr;
    // The back buffer is an image rather than a pixmap so that the per-row
    // drawing can write its runs into the scan lines (on the raster backends
    // a pixmap is an image anyway).
    QImage m_buffer;
    QImage m_spare; ///< memory of a dropped back buffer, reused by the next rebuild
    bool m_redraw = true;
    wave::Layout m_layout;
    float m_pitch = 0.0f;
    int m_columns = 0;
    wave::PageStats m_stats;
    int m_mode = AcquisitionMode;
    int m_commonScale = 0;
    int m_gainExponent = 0;
    int m_shift = 0;
    int m_rightReserve = 0;
    int m_cursorX = 0;
    int m_cursorY = 0;
    int m_cursorSample = 0;
    int m_windowLength = 0;
    int m_windowStart = 0;
    int m_rangeStart = -1;
    int m_rangeEnd = -1;
    int m_clipLimit = wave::kClipLimit;
    int m_perPage = -1;
    int m_page = -1;
    int m_rebuilds = 0;

    QFont m_font20;
    QFont m_font18;
    QFont m_font20Bold;
    wave::TraceDrawer m_drawTrace = &wave::DrawTrace;
    QVector<bool> m_marks;
};
