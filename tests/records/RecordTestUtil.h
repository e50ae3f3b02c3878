#pragma once

#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordProgress.h"

#include "support/TestProgramDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QVector>

#include <csignal>
#include <sys/resource.h>

/// Writes bytes to path for a test; false when the file could not be written.
inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

/// Runs this test program again with option and argument, lets it work
/// until its first line of output and then for a random moment up to
/// longestUs, and ends it with SIGKILL, as a flat battery or a pulled cable
/// would. printed gets the lines it wrote; false when it never got that far.
inline bool KilledAtRandomMoment(const char *option, const QString &argument, QRandomGenerator &rng, int longestUs,
                                 QList<QByteArray> *printed)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(option), argument});
    if (!child.waitForStarted(ScaledTimeout(10000)) || !child.waitForReadyRead(ScaledTimeout(10000)))
        return false;
    QThread::usleep(rng.bounded(longestUs));
    ::kill(pid_t(child.processId()), SIGKILL);
    if (!child.waitForFinished(ScaledTimeout(10000)))
        return false;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            printed->append(line);
    return true;
}

/// Runs step with files limited to bytes, as on a disk that fills up: writes
/// beyond the limit fail instead of stopping the test. Returns step's result.
template <typename Step>
auto WithFileSizeLimit(rlim_t bytes, Step step)
{
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto result = step();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}

/// A copy of everything a read may change, to tell whether a refused read left it alone.
struct RecordState
{
    RecordHeader Header;
    std::array<int, kMaxChannels> Gains{};
    SensorBlock Sensor;
    TraceSet Traces;

    static RecordState Take(const ParamSet &p)
    {
        return RecordState{p.Header, p.Gains, p.Sensor, Store().Traces};
    }
    bool operator==(const RecordState &o) const
    {
        const RecordHeader &a = Header;
        const RecordHeader &b = o.Header;
        return a.ProjectName == b.ProjectName && a.TestUnit == b.TestUnit && a.Tester == b.Tester
            && a.ProfileNumber == b.ProfileNumber && a.SurveyMethod == b.SurveyMethod
            && a.ChannelCount == b.ChannelCount && a.SampleInterval == b.SampleInterval
            && a.SampleLength == b.SampleLength && a.TraceOrder == b.TraceOrder
            && a.TraceSpacing == b.TraceSpacing && a.Offset == b.Offset && a.Delay == b.Delay
            && a.Filter == b.Filter && a.TriggerMethod == b.TriggerMethod
            && a.TriggerLevel == b.TriggerLevel && a.Date == b.Date && a.Time == b.Time
            && Gains == o.Gains && Sensor.SensorType == o.Sensor.SensorType
            && Sensor.MeteringSignal == o.Sensor.MeteringSignal
            && Sensor.SettingMethod == o.Sensor.SettingMethod
            && Sensor.Sensitivity == o.Sensor.Sensitivity && Traces == o.Traces;
    }
};

/// Fills every trace on screen with a recognisable pattern of its own length.
inline void FillTracesOnScreen()
{
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        QVector<float> t(100 + ch);
        for (int i = 0; i < t.size(); ++i)
            t[i] = -1000.0f - ch - i * 0.5f;
        Store().Traces[ch] = t;
    }
}

/// Remembers what a read reported.
class RecordingProgress : public RecordProgress
{
public:
    void Started(const QString &label, int minimum, int maximum) override
    {
        ++StartCount;
        Label = label;
        Minimum = minimum;
        Maximum = maximum;
    }
    void SetValue(int value) override { Values.append(value); }
    void Finished() override { ++FinishCount; }

    int StartCount = 0;
    int FinishCount = 0;
    QString Label;
    int Minimum = -1;
    int Maximum = -1;
    QVector<int> Values;
};
