#pragma once

#include "model/TraceStore.h"

#include <QDialog>
#include <memory>

namespace Ui {
class CDlgAnalysis;
}
class CShowWave;
class FocusGrid;

/// The analysis screen: the record on screen in its own trace view, with
/// balancing, amplitude and time zoom, scrolling, a sideways shift, the
/// digital filter and the spectrum. Works on the traces on screen and puts
/// them back exactly as they were however the screen is left.
class CDlgAnalysis : public QDialog
{
    Q_OBJECT

public:
    /// Largest gain exponent: each step doubles the amplitudes.
    static constexpr int kMaxGainExponent = 10;
    /// Samples the time zoom adds or takes per press; also the smallest window.
    static constexpr int kWindowStep = 50;

    explicit CDlgAnalysis(QWidget *parent = nullptr);
    ~CDlgAnalysis() override;

    CShowWave *View() const;
    /// Puts the traces on screen back as they were when the screen opened;
    /// only the first call does anything.
    void RestoreRecord();

public slots:
    void done(int result) override;

private slots:
    void on_btnUp_clicked();
    void on_btnDown_clicked();
    void on_btnCHAVG_clicked();
    void on_btnSmall_clicked();
    void on_btnBig_clicked();
    void on_btnHAdd_clicked();
    void on_btnHMinus_clicked();
    void on_btnMoveLeft_clicked();
    void on_btnMoveRight_clicked();
    void on_btnFilt_clicked();
    void on_btnPingPu_clicked();
    void on_btnDispersion_clicked();
    void on_btnExit_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// SetRedraw(true), immediate repaint, SetRedraw(false).
    void Rebuild();
    /// Moves the view's cursor by delta samples when there is a current channel.
    void StepCursor(int delta);
    void PlaceArrowButtons();
    /// Runs a child screen with the keyboard grab paused, then takes the focus back.
    template <typename Run>
    void RunChild(Run run);

    std::unique_ptr<Ui::CDlgAnalysis> ui;
    FocusGrid *m_grid = nullptr;
    TraceSet m_backup;
    int m_backupCount = 0;
    bool m_restored = false;
};
