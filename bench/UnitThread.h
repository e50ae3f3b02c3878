#pragma once

// The unit simulator for the benchmarks, in a thread of its own: the unit is a
// device of its own, so the program's thread is measured without the unit's work.

#include "UnitSimulator.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QThread>
#include <functional>

namespace bench {

class UnitThread
{
public:
    /// Starts the simulator on an ephemeral loopback port, after setup ran on its thread.
    explicit UnitThread(const std::function<void(UnitSimulator &)> &setup = {})
        : m_sim(new UnitSimulator)
    {
        m_sim->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_sim, &QObject::deleteLater);
        m_thread.start();
        Run([&](UnitSimulator &s) {
            if (setup)
                setup(s);
            if (s.Start(0))
                m_port = s.Port();
        });
    }
    ~UnitThread()
    {
        m_thread.quit();
        m_thread.wait();
    }
    UnitThread(const UnitThread &) = delete;
    UnitThread &operator=(const UnitThread &) = delete;

    /// The simulator's port; 0 when it could not bind 127.0.0.1.
    quint16 Port() const { return m_port; }

    /// Runs fn on the simulator's thread and returns once it has run.
    void Run(const std::function<void(UnitSimulator &)> &fn)
    {
        QMetaObject::invokeMethod(m_sim, [&] { fn(*m_sim); }, Qt::BlockingQueuedConnection);
    }

    /// Points the current parameters at the simulator and connects link; true
    /// once it is up and the parameter frame sent on connecting is answered.
    bool Connect(InstrumentLink &link, int waitMs)
    {
        ParamSet &p = CurrentParams();
        p.InstrumentAddress = QStringLiteral("127.0.0.1");
        p.InstrumentPort = QString::number(m_port);
        link.Connect();
        if (!WaitUntil([] { return Store().LinkState == LinkUp; }, waitMs))
            return false;
        WaitMs(kSettleMs);
        return true;
    }

private:
    static constexpr int kSettleMs = 100;

    QThread m_thread;
    UnitSimulator *m_sim;
    quint16 m_port = 0;
};

} // namespace bench
