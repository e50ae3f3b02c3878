#pragma once

#include <QString>
#include <QWidget>

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
    bool Animating() const;

    /// Side of the ring's square and height of the banner for a parent size.
    static int BannerHeight(int parentWidth, int parentHeight);
    /// Point size of the message for a text box of the given size.
    static int MessagePointSize(int boxWidth, int boxHeight);

public slots:
    /// One animation step: turns the ring and repaints only its square.
    void DoAnimate();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_clock = 0;
    int m_state = Hidden;
    QString m_message;
    QTimer *m_timer = nullptr;
};
