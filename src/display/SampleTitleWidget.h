#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

class QTimer;

/// The banner floating over the trace view while a shot is taken: a spinning
/// ring and "等待触发..." or "数据采集中..".
class SampleTitleWidget : public QWidget
{
    Q_OBJECT
public:
    /// Banner states.
    enum State { Hidden = 0, WaitingForTrigger = 1, Acquiring = 2 };

    explicit SampleTitleWidget(QWidget *parent = nullptr);

    /// 0 hides, 1 sizes, centres and shows "waiting for trigger" with the ring
    /// turning, 2 switches the text to "acquiring"; each restarts the ring at 0°.
    void SetState(int state);

    int State() const { return m_state; }
    /// Ring angle in thousandths of a turn.
    int Clock() const { return m_clock; }
    QString Message() const { return m_message; }
    /// True while the ring turns (from state 1 until state 0); the timer
    /// itself only runs while the banner can be seen.
    bool Animating() const { return m_spinning; }

    /// Side of the ring's square and height of the banner for a parent size.
    static int BannerHeight(int parentWidth, int parentHeight);
    /// Point size of the message for a text box of the given size.
    static int MessagePointSize(int boxWidth, int boxHeight);

public slots:
    /// One animation step: turns the ring and repaints only its square.
    void DoAnimate();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    /// The ring at clock on a transparent square of the banner's height,
    /// drawn once per step of a turn and kept while the height stays.
    const QImage *RingFrame(int clock);
    /// Pixels the message can touch when drawn with font into box, measured
    /// once per message, font and box.
    QRect MessageInk(const QFont &font, const QRect &box);

    int m_clock = 0;
    int m_state = Hidden;
    QString m_message;
    QTimer *m_timer = nullptr;
    bool m_spinning = false;

    std::vector<QImage> m_ringFrames; ///< index: clock / animation interval
    int m_ringSide = 0;

    QRect m_messageInk;
    QString m_inkMessage;
    QFont m_inkFont;
    QRect m_inkBox;
};
