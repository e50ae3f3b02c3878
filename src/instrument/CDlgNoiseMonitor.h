#pragma once

#include "instrument/NoiseMonitorSession.h"

#include <QDialog>
#include <QElapsedTimer>

class FocusGrid;
class InstrumentLink;
class NoiseMonitorView;
class QLabel;
class QPushButton;
class QTimer;

/// The site-noise monitor: short records under the operator's own gains,
/// filter and interval, one after the other, each shown as it arrives with
/// every channel's RMS and peak against a threshold line. Esc (or "退出")
/// leaves it with the unit, the parameters and the screen behind as they were.
class CDlgNoiseMonitor : public QDialog
{
    Q_OBJECT

public:
    /// parent is the acquisition screen; link its instrument link, up and not waiting.
    CDlgNoiseMonitor(QWidget *parent, InstrumentLink &link);
    ~CDlgNoiseMonitor() override;

    const NoiseMonitorSession &Session() const { return m_session; }
    NoiseMonitorView *View() const { return m_view; }
    /// Pictures a second over the last few rounds (0 before two have come).
    double RefreshRate() const { return m_rate; }

    /// Threshold step of one press, dB.
    static constexpr double kThresholdStepDb = 5.0;
    /// The status line when the threshold could not be kept for the next visit.
    static QString ThresholdNotSavedText();

    /// Every way out (Esc, "退出") ends the visit first.
    void done(int result) override;

public slots:
    void on_btnThresholdUp_clicked();
    void on_btnThresholdDown_clicked();
    void on_btnClearHold_clicked();
    void on_btnExit_clicked();
    /// One record (the timer's tick).
    void UpdateTime();

signals:
    /// A round has been measured and shown.
    void RoundShown();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setThreshold(double db);
    void showTexts();
    QPushButton *addButton(const QString &name, const QString &caption);

    NoiseMonitorSession m_session;
    NoiseMonitorView *m_view = nullptr;
    QLabel *m_unit = nullptr;
    QLabel *m_threshold = nullptr;
    QLabel *m_state = nullptr;
    QList<QWidget *> m_buttons;
    FocusGrid *m_grid = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_sinceLast;
    double m_rate = 0.0;
    QString m_note; ///< a word about the threshold, shown until the next round's failure text
};
