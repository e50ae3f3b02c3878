#pragma once

#include "instrument/SelfCheckRound.h"

#include <QDialog>
#include <memory>

class FocusGrid;
class InstrumentLink;
class QTimer;

namespace Ui {
class CDlgAutoCheck;
}

/// The instrument self-check: every 500 ms one acquisition in self-check mode
/// through the acquisition screen's link, shown as noise bars. Save keeps the
/// last complete picture (in PreviousTraces) and the self-check parameters for
/// the acquisition screen; Exit puts the operator's parameters back.
class CDlgAutoCheck : public QDialog
{
    Q_OBJECT

public:
    /// parent is the acquisition screen; link is its instrument link, whose
    /// owner hears about link failures.
    CDlgAutoCheck(QWidget *parent, InstrumentLink &link);
    ~CDlgAutoCheck() override;

    const SelfCheckRound &Round() const { return m_round; }

    /// Message when the amplitude cannot grow or shrink any further.
    static QString StepMaxText();
    static QString StepMinText();

    /// Every way out without saving (Exit, Esc) restores the operator's parameters.
    void reject() override;
    void done(int result) override;

public slots:
    void on_btnSave_clicked();
    void on_btnAdd_clicked();
    void on_btnMinus_clicked();
    void on_btnExit_clicked();
    /// One self-check acquisition (the timer's tick).
    void UpdateTime();

private:
    /// Stops the ticks and ends a running round at its next check.
    void stopChecking();

    InstrumentLink &m_link;
    QTimer *m_timer = nullptr;
    std::unique_ptr<Ui::CDlgAutoCheck> ui;
    SelfCheckRound m_round;
    FocusGrid *m_grid = nullptr;
};
