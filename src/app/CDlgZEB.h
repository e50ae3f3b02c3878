#pragma once

#include <QAbstractSocket>
#include <QDialog>
#include <memory>

namespace Ui {
class CDlgZEB;
}
class FocusGrid;
class QTimer;
class QUdpSocket;

/// The launcher: shows the software and hardware versions and opens the tasks.
class CDlgZEB : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgZEB(QWidget *parent = nullptr);
    ~CDlgZEB() override;

    /// Task screens the launcher opens; -1 while none is open.
    enum OpenChild { ChildNone = -1, ChildAcquisition = 0, ChildExport = 1, ChildDelete = 2 };

    int Answer() const { return m_answer; }
    bool IsBusy() const { return m_busy; }

public slots:
    void reject() override;
    /// Asks the unit for its version; the reply or the time-out ends the wait
    /// later, through the event loop (returns -1, the pending answer).
    int GetVersion();
    void UpdateTime();

private slots:
    void on_btnSample_clicked();
    void on_btnFile_clicked();
    void on_btnDelete_clicked();
    void on_btnUpdate_clicked();
    void on_btnExit_clicked();
    void onSockRead();
    void onSockOK();
    void onSockFailed();
    void OnSockError(QAbstractSocket::SocketError error);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ConnectSocketSignals(QUdpSocket *socket);
    void DisconnectSocketSignals(QUdpSocket *socket);
    void StartConnection(QUdpSocket *socket);
    void RunTask(OpenChild child);
    /// Ends the version wait with answer (1 received, 0 failed).
    void EndVersionWait(int answer);

    std::unique_ptr<Ui::CDlgZEB> ui;
    int m_answer = -1;
    QTimer *m_timer = nullptr;
    QTimer *m_versionTimer = nullptr; ///< ends an unanswered version request
    bool m_busy = false;
    int m_openChild = ChildNone;
    FocusGrid *m_grid = nullptr;
};
