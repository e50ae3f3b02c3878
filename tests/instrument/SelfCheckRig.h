#pragma once

// The unit simulator on a loopback port and a connected instrument link, set
// up for the self-check the way the acquisition screen sets it up before it
// opens the dialog. Create it after the test's TestProgramDir.

#include "UnitSimulator.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QStringList>
#include <QTest>
#include <memory>

/// Stands in for the acquisition screen and records the link failures it hears about.
struct RecordingOwner : LinkOwner
{
    QStringList failures;

    void RefreshButtons() override {}
    void CloseByAccept() override {}
    void HideBanner() override {}
    void ShowLinkFailure(const QString &text) override { failures << text; }
    void CloseLinkDialog() override {}
};

class SelfCheckRig
{
public:
    /// The operator's acquisition parameters before the self-check forces its own.
    static constexpr float kOperatorInterval = 500.0f;
    static constexpr int kOperatorGain = 24;
    static constexpr float kOperatorFilter = 4096.0f;
    static constexpr float kOperatorDelay = -10.0f;

    SelfCheckRig()
    {
        Sim.SetSeed(11);
        Sim.SetTimeScale(0);
        started = Sim.Start(0);
        PointAtLoopbackUnit(Sim.Port());
        Link = std::make_unique<InstrumentLink>(&Owner);
    }
    ~SelfCheckRig()
    {
        Link.reset();
        Sim.Stop();
    }

    /// Connects and waits until the parameter frame after the check is answered.
    bool Connect()
    {
        Link->Connect();
        const bool up = QTest::qWaitFor(
            [this] { return Store().LinkState == LinkUp && Sim.Received('d') == 1 && Link->ReplyLetter() == 'd'; },
            ScaledTimeout(5000));
        Sim.ResetCounters();
        return started && up;
    }

    /// The operator's set goes to the backup; the current set gets the
    /// self-check's (delay 0, 512 Hz, 125 µs, 1024 samples, 72 dB everywhere)
    /// and the self-check is marked running with no data yet.
    void ForceSelfCheckParameters(int channels = 12)
    {
        ParamSet &p = CurrentParams();
        p.Header.ChannelCount = channels;
        p.Header.SampleInterval = kOperatorInterval;
        p.Header.Filter = kOperatorFilter;
        p.Header.Delay = kOperatorDelay;
        p.Gains.fill(kOperatorGain);
        ParamSet::CopyAcquisition(BackupParams(), p);

        p.Header.Delay = 0.0f;
        p.Header.Filter = 512.0f;
        p.Header.SampleInterval = 125.0f;
        p.Header.SampleLength = 1024;
        p.Gains.fill(72);
        TraceStore &s = Store();
        for (auto &t : s.PreviousTraces)
            t.clear();
        s.SelfCheckRunning = true;
    }

    /// The amplitude the program makes of a raw sample at 72 dB, computed here
    /// independently of the code under test.
    static float Amplitude(qint16 raw)
    {
        const long double gain = 3938.304; // the unit's factor at 72 dB, as a double
        return static_cast<float>(raw * (1.0L / 32768.0L) * 5000.0L / gain);
    }
    static QVector<float> Amplitudes(const QVector<qint16> &raw)
    {
        QVector<float> out;
        for (qint16 r : raw)
            out.append(Amplitude(r));
        return out;
    }

    UnitSimulator Sim;
    RecordingOwner Owner;
    std::unique_ptr<InstrumentLink> Link;
    bool started = false;
};
