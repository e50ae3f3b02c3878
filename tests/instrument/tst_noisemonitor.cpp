// The site-noise monitor without widgets: its visits against the unit
// simulator through a real link, and its measurement.
#include "SelfCheckRig.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/NoiseMeter.h"
#include "instrument/NoiseMonitorSession.h"

#include <QtTest>
#include <cmath>
#include <memory>

using namespace monitor;

namespace {

constexpr int kChannels = 12;
constexpr int kNoisyChannel = 3;
constexpr int kDeadChannel = 5;
constexpr float kSensitivity = 28.8f; // mV per mm/s, a common 4.5 Hz geophone
/// Waits of a round whose unit answers wrongly or not at all.
constexpr int kShortWaitMs = 400;

/// The operator's parameters: everything the monitor must not keep.
void setOperatorParameters()
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleInterval = 500.0f;
    p.Header.SampleLength = 2048;
    p.Header.Filter = 1024.0f;
    p.Header.Delay = 12.0f;
    p.Header.TriggerMethod = 1;
    p.Header.TriggerLevel = 2;
    for (int c = 0; c < kMaxChannels; ++c)
        p.Gains[c] = c < 6 ? 24 : 48;
    p.Sensor.Sensitivity.fill(kSensitivity);
    ParamSet::CopyAcquisition(BackupParams(), p);
}

/// mV at the amplifier input of a raw sample, computed apart from the program's code.
double millivolts(qint16 raw, int gainDb)
{
    const double factor = gainDb == 24 ? 15.8992 : gainDb == 48 ? 249.3952 : 1.0148;
    return raw / 32768.0 * 5000.0 / factor;
}

} // namespace

class TstNoiseMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void leavingGivesTheUnitTheOperatorsFrame_data();
    void leavingGivesTheUnitTheOperatorsFrame();
    void roundMeasuresWhatTheUnitSent();
    void unitFollowsTheSensorBlock_data();
    void unitFollowsTheSensorBlock();
    void thresholdAndPeakHold();
    void recordLengthStaysShortAndBounded();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<SelfCheckRig> m_rig;
};

void TstNoiseMonitor::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    setOperatorParameters();
    m_rig = std::make_unique<SelfCheckRig>();
    SiteNoise site;
    site.Enabled = true;
    site.NoisyChannel = kNoisyChannel;
    site.DeadChannel = kDeadChannel;
    m_rig->Sim.SetSiteNoise(site);
    QVERIFY(m_rig->Connect());
}

void TstNoiseMonitor::cleanup()
{
    m_rig.reset();
    m_dir.reset();
}

void TstNoiseMonitor::leavingGivesTheUnitTheOperatorsFrame_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("after complete rounds") << QStringLiteral("complete");
    QTest::newRow("after a failed round") << QStringLiteral("failed");
    QTest::newRow("in the middle of a round") << QStringLiteral("mid-round");
    QTest::newRow("from self-check data on screen") << QStringLiteral("self-check shown");
}

void TstNoiseMonitor::leavingGivesTheUnitTheOperatorsFrame()
{
    QFETCH(QString, how);
    UnitSimulator &sim = m_rig->Sim;
    TraceStore &s = Store();
    const QByteArray before = sim.LastParaFrame();
    QCOMPARE(before, SetParaFrame(BackupParams(), false));

    // What the acquisition screen has behind the monitor must come back as it was.
    if (how == QLatin1String("self-check shown")) {
        CurrentParams().Header.SampleInterval = 125.0f;
        CurrentParams().Gains.fill(72);
        s.AcqState = AcqSelfCheckShown;
    }
    const ParamSet shown(CurrentParams());
    const int shownState = s.AcqState;
    s.PreviousTraces[0] = {1.0f, 2.0f, 3.0f};
    const TraceSet previous = s.PreviousTraces;

    {
        NoiseMonitorSession session(*m_rig->Link);
        QCOMPARE(session.RunRound(), SelfCheckOutcome::Complete);
        // The monitor's own frame: the operator's gains, filter and interval,
        // triggered by the unit itself at once, a fifth of a second long.
        const QByteArray own = sim.LastParaFrame();
        QCOMPARE(int(own[9]), 0);
        QCOMPARE(qFromLittleEndian<quint16>(own.constData() + 7), quint16(400));
        QCOMPARE(qFromLittleEndian<qint16>(own.constData() + 15), qint16(0));
        QCOMPARE(own.mid(17, 4), before.mid(17, 4));
        QCOMPARE(own.mid(21, 4), before.mid(21, 4));
        QCOMPARE(own.mid(4, 3), before.mid(4, 3));

        if (how == QLatin1String("failed")) {
            m_rig->Link->SetWaitLimits(kShortWaitMs, kShortWaitMs);
            sim.SetFault('h', UnitSimulator::Fault::NoReply, 0, 1);
            QCOMPARE(session.RunRound(), SelfCheckOutcome::Failed);
            QVERIFY(!session.Round().StateText().isEmpty());
        } else if (how == QLatin1String("mid-round")) {
            // Esc arrives while the unit is still sending channel 6.
            sim.SetChannelFault(6, UnitSimulator::Fault::NoReply, 1);
            QObject::connect(&sim, &UnitSimulator::CommandReceived, &sim, [&](char letter) {
                if (letter == 'j' && sim.ChannelRequests().count(6) == 1 && !session.Finished())
                    session.Finish();
            });
            QCOMPARE(session.RunRound(), SelfCheckOutcome::Closed);
            QVERIFY(session.Finished());
        }
        session.Finish();
        QVERIFY(session.Finished());
        QCOMPARE(session.RunRound(), SelfCheckOutcome::Skipped);
    }
    QCOMPARE(sim.LastParaFrame(), before);
    QCOMPARE(SetParaFrame(CurrentParams(), false), SetParaFrame(shown, false));
    QCOMPARE(CurrentParams().Header.SampleLength, shown.Header.SampleLength);
    QCOMPARE(CurrentParams().Header.TriggerMethod, shown.Header.TriggerMethod);
    QCOMPARE(s.AcqState, shownState);
    QCOMPARE(s.PreviousTraces, previous);
    QVERIFY(!s.SelfCheckRunning);
    QVERIFY(!m_rig->Link->IsWaiting());
}

void TstNoiseMonitor::roundMeasuresWhatTheUnitSent()
{
    NoiseMonitorSession session(*m_rig->Link);
    QCOMPARE(session.Unit().Kind, Unit::MillimetresPerSecond);
    QCOMPARE(session.RunRound(), SelfCheckOutcome::Complete);
    const NoiseMeter &meter = session.Meter();
    QCOMPARE(meter.Channels(), kChannels);
    QCOMPARE(meter.Rounds(), 1);
    for (int c = 1; c <= kChannels; ++c) {
        const QVector<qint16> raw = m_rig->Sim.ChannelSamples(c);
        QCOMPARE(raw.size(), 400);
        const int gain = BackupParams().Gains[c - 1];
        double mean = 0.0;
        for (qint16 r : raw)
            mean += millivolts(r, gain);
        mean /= raw.size();
        double squares = 0.0, peak = 0.0;
        for (qint16 r : raw) {
            const double d = millivolts(r, gain) - mean;
            squares += d * d;
            peak = std::max(peak, std::fabs(d));
        }
        const double rms = std::sqrt(squares / raw.size()) / kSensitivity;
        peak /= kSensitivity;
        const ChannelLevel &l = meter.Levels()[c - 1];
        QVERIFY(l.HasData);
        QVERIFY2(std::fabs(l.Rms - rms) <= 1e-5 * rms + 1e-12, qPrintable(QString::number(c)));
        QVERIFY2(std::fabs(l.Peak - peak) <= 1e-5 * peak + 1e-12, qPrintable(QString::number(c)));
        QVERIFY(std::fabs(l.RmsDb - 20 * std::log10(rms)) < 1e-3);
    }
    // What the crew should see: the loose geophone stands out, the broken one
    // is far below its neighbours although the amplifier's offset is still there.
    const auto &levels = meter.Levels();
    QVERIFY(levels[kNoisyChannel - 1].Rms > 4 * levels[kNoisyChannel].Rms);
    QVERIFY(levels[kDeadChannel - 1].Rms * 10 < levels[kDeadChannel].Rms);
}

void TstNoiseMonitor::unitFollowsTheSensorBlock_data()
{
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<int>("meteringSignal");
    QTest::addColumn<float>("lastSensitivity");
    QTest::addColumn<bool>("velocity");
    QTest::newRow("velocity geophones") << 1 << 1 << kSensitivity << true;
    QTest::newRow("accelerometers") << 0 << 1 << kSensitivity << false;
    QTest::newRow("signal source on the inputs") << 1 << 0 << kSensitivity << false;
    QTest::newRow("one channel without sensitivity") << 1 << 1 << 0.0f << false;
    QTest::newRow("one channel unreadable") << 1 << 1 << std::nanf("") << false;
}

void TstNoiseMonitor::unitFollowsTheSensorBlock()
{
    QFETCH(int, sensorType);
    QFETCH(int, meteringSignal);
    QFETCH(float, lastSensitivity);
    QFETCH(bool, velocity);
    ParamSet p;
    p.Header.ChannelCount = kChannels;
    p.Sensor.SensorType = sensorType;
    p.Sensor.MeteringSignal = meteringSignal;
    p.Sensor.Sensitivity.fill(kSensitivity);
    p.Sensor.Sensitivity[kChannels - 1] = lastSensitivity;
    p.Sensor.Sensitivity[kChannels] = 0.0f; // beyond the channels in use: no matter
    const UnitChoice unit = ChooseUnit(p);
    QCOMPARE(unit.Kind == Unit::MillimetresPerSecond, velocity);
    QCOMPARE(unit.Symbol(), velocity ? QStringLiteral("mm/s") : QStringLiteral("mV"));
    QCOMPARE(unit.PerMv[0], velocity ? 1.0 / kSensitivity : 1.0);
}

void TstNoiseMonitor::thresholdAndPeakHold()
{
    UnitChoice mv;
    mv.PerMv.fill(1.0);
    // Sines of 0.01, 0.1 and 1 mV amplitude over a large amplifier offset,
    // and a channel that sent nothing.
    const auto sine = [](double amplitude, double offset) {
        QVector<float> t(400);
        for (int i = 0; i < t.size(); ++i)
            t[i] = float(offset + amplitude * std::sin(2 * M_PI * i / 40.0));
        return t;
    };
    TraceSet round;
    round[0] = sine(0.01, 50.0);
    round[1] = sine(0.1, -3.0);
    round[2] = sine(1.0, 0.0);
    NoiseMeter meter;
    meter.SetThresholdDb(-20.0);
    meter.Measure(round, 4, mv);
    const auto &l = meter.Levels();
    QVERIFY(std::fabs(l[0].Rms - 0.01 / std::sqrt(2.0)) < 1e-5);
    QVERIFY(std::fabs(l[2].Peak - 1.0) < 1e-4);
    QCOMPARE(meter.ChannelsAbove(), 1); // 0.0707 mV is −23 dB, 0.707 mV −3 dB
    QVERIFY(!l[1].Above && l[2].Above && !l[3].HasData && !l[3].Above);

    // The line moves and the marks follow at once, without a new round.
    meter.SetThresholdDb(-30.0);
    QCOMPARE(meter.ChannelsAbove(), 2);
    meter.SetThresholdDb(1000.0); // beyond the scale: kept on it
    QCOMPARE(meter.ThresholdDb(), kScaleTopDb);
    QCOMPARE(meter.ChannelsAbove(), 0);

    // A quieter round keeps the louder peak held, until the hold is cleared.
    round[2] = sine(0.1, 0.0);
    meter.Measure(round, 4, mv);
    QVERIFY(std::fabs(l[2].HeldPeakDb - 0.0) < 0.01);
    QVERIFY(std::fabs(l[2].PeakDb + 20.0) < 0.01);
    meter.ClearPeakHold();
    QCOMPARE(l[2].HeldPeakDb, l[2].PeakDb);
    QCOMPARE(l[3].HeldPeakDb, kSilentDb);
}

void TstNoiseMonitor::recordLengthStaysShortAndBounded()
{
    QCOMPARE(SampleLength(500.0), 400);
    QCOMPARE(SampleLength(31.25), 6400);
    QCOMPARE(SampleLength(10.0), kMaxSamples); // 0.16 s: the unit takes no more
    QCOMPARE(SampleLength(16000.0), kMinSamples);
    QCOMPARE(SampleLength(0.0), kMinSamples);
    QCOMPARE(SampleLength(std::nan("")), kMinSamples);
}

QTEST_MAIN(TstNoiseMonitor)
#include "tst_noisemonitor.moc"
