#pragma once

#include <QThread>

#include <atomic>
#include <functional>

class QUpLoadCtrl;

/// The witness upload's worker: on a link request it connects through the
/// controller, and once given the go-ahead runs the controller's upload until
/// the end frame is accepted. Pause, resume and quit only set flags that it
/// looks at within 100 ms (at once while it sleeps); it reports through
/// queued signals.
class QUpLoadThread : public QThread
{
    Q_OBJECT

public:
    enum RunState { Running = 0, NotStarted = 1, Paused = 2, AwaitingLink = 3, AwaitingGo = 5 };

    explicit QUpLoadThread(QUpLoadCtrl *controller, QObject *parent = nullptr);
    /// Quits and waits for the thread.
    ~QUpLoadThread() override;

    /// Not started: starts the thread. Otherwise: resumes.
    void StartOrResume();
    void RequestLink();
    void Go();
    void Pause();
    void Resume();
    void Quit();
    int GetRunState() const { return m_runState; }
    bool IsPaused() const { return m_paused; }

    static QString ExitText();

signals:
    void signalLinkStatus(bool linked);
    void signalWarning(QString text);

protected:
    void run() override;

private:
    void SleepWhile(const std::function<bool()> &keepSleeping, int state);
    void Wake();

    QUpLoadCtrl *m_ctrl;
    std::atomic<int> m_runState{NotStarted};
    std::atomic<bool> m_paused{true};
    std::atomic<bool> m_quit{true};
    std::atomic<bool> m_linkRequested{false};
    std::atomic<bool> m_linked{false};
    std::atomic<bool> m_go{false};
};
