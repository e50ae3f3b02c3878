#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgAssitantLoad;
}
class FocusGrid;
class KeypadEdits;
class QUpLoadCtrl;
class QUpLoadThread;

/// The witness upload: connects to the witness server at the network's
/// gateway, shows the task it issues, and sends the current record under
/// that task with progress, pause and resume.
class CDlgAssitantLoad : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgAssitantLoad(QWidget *parent = nullptr);
    /// Ends the worker before the controller it uses goes.
    ~CDlgAssitantLoad() override;

    bool IsRunning() const { return m_running; }

public slots:
    void on_btnSerialNum_clicked();
    void on_btnLink_clicked();
    void on_btnPause_clicked();
    void on_btnQuit_clicked();
    void slotLinkStatus(bool linked);
    void slotSetWarning(const QString &text);
    void slotIssuedTask(const QString &mileage, int task);
    void slotProgressTagNum(int value);
    /// Closing (Esc) quits like the quit button.
    void reject() override;

private:
    void SetInputsEnabled(bool enabled);
    void EditCoordinate(bool longitude);

    std::unique_ptr<Ui::CDlgAssitantLoad> ui;
    QUpLoadCtrl *m_ctrl = nullptr;
    std::unique_ptr<QUpLoadThread> m_worker;
    KeypadEdits *m_edits = nullptr;
    FocusGrid *m_grid = nullptr;
    bool m_running = false;
    bool m_inputsEnabled = true;
    bool m_leaving = false;
};
