#include "QUpLoadThread.h"

#include "QUpLoadCtrl.h"
#include "platform/Wait.h"

#include <QAbstractEventDispatcher>

namespace {
constexpr int kIdlePassMs = 500;
constexpr int kRetryPauseMs = 100;
constexpr int kNoTaskYet = -4;
} // namespace

QUpLoadThread::QUpLoadThread(QUpLoadCtrl *controller, QObject *parent)
    : QThread(parent)
    , m_ctrl(controller)
{
}

QUpLoadThread::~QUpLoadThread()
{
    Quit();
    wait();
}

QString QUpLoadThread::ExitText()
{
    return QStringLiteral("线程退出");
}

void QUpLoadThread::Wake()
{
    if (QAbstractEventDispatcher *d = eventDispatcher())
        d->wakeUp();
}

void QUpLoadThread::StartOrResume()
{
    if (m_runState == NotStarted && !isRunning()) {
        m_paused = false;
        m_quit = false;
        m_ctrl->Pause(false);
        start();
        return;
    }
    Resume();
}

void QUpLoadThread::RequestLink()
{
    m_linked = false;
    m_linkRequested = true;
    Wake();
}

void QUpLoadThread::Go()
{
    m_go = true;
    Wake();
}

void QUpLoadThread::Pause()
{
    m_ctrl->Pause(true);
    m_paused = true;
    Wake();
}

void QUpLoadThread::Resume()
{
    // Acts whenever a pause stands, whatever the thread is doing just now.
    if (!m_paused)
        return;
    m_ctrl->Pause(false);
    m_paused = false;
    Wake();
}

void QUpLoadThread::Quit()
{
    m_ctrl->Pause(true);
    m_paused = false;
    m_quit = true;
    Wake();
}

void QUpLoadThread::SleepWhile(const std::function<bool()> &keepSleeping, int state)
{
    while (keepSleeping() && !m_quit) {
        m_runState = state;
        WaitUntil([&] { return !keepSleeping() || m_quit; }, kIdlePassMs);
    }
}

void QUpLoadThread::run()
{
    while (!m_quit) {
        SleepWhile([this] { return m_paused.load(); }, Paused);
        SleepWhile([this] { return !m_linkRequested; }, AwaitingLink);
        if (m_quit)
            break;
        m_runState = Running;
        if (!m_linked) {
            const bool ok = m_ctrl->ConnectToServer();
            m_linked = ok;
            m_linkRequested = ok;
            emit signalLinkStatus(ok);
            if (!ok)
                continue;
        }
        SleepWhile([this] { return !m_go; }, AwaitingGo);
        if (m_quit)
            break;
        m_runState = Running;
        const int result = m_ctrl->RunUpload();
        if (result == 1) {
            emit signalWarning(QUpLoadCtrl::DoneText());
            m_quit = true;
            break;
        }
        if (result == -1 && !m_ctrl->IsLinkUp()) {
            // The connection is gone (before the task or after it): say so
            // instead of sending into nothing; a new link request reconnects
            // and carries on under the task held.
            m_ctrl->DropLink();
            m_linked = false;
            m_linkRequested = false;
            emit signalLinkStatus(false);
            continue;
        }
        if (result != kNoTaskYet) // the task watch has already waited
            WaitUntil([this] { return m_quit || m_paused; }, kRetryPauseMs);
    }
    m_ctrl->DropLink();
    m_runState = NotStarted;
    emit signalWarning(ExitText());
}
