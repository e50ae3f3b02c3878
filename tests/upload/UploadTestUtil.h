#pragma once

#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "upload/UploadRecord.h"
#include "upload/UploadTimings.h"

#include <QtEndian>
#include <cstring>

/// The value of sample i of channel ch (0-based) in every test record: each
/// sample tells where it belongs, so a misplaced one cannot go unnoticed.
inline float TestSample(int ch, qint64 i)
{
    return float(ch * 100000 + i) * 0.25f - 7.0f;
}

/// Puts a record of channels × samples into the current parameter set and the
/// traces on screen, with the upload fields filled, as the acquisition screen
/// would hold it after a shot.
inline void PutTestRecord(int channels, int samples)
{
    ParamSet &p = CurrentParams();
    p.Header.ProjectName = QStringLiteral("桥梁A");
    p.Header.TestUnit = QStringLiteral("QUARTZON");
    p.Header.Tester = QStringLiteral("张三");
    p.Header.ProfileNumber = QStringLiteral("001");
    p.Header.SurveyMethod = 1;
    p.Header.ChannelCount = channels;
    p.Header.SampleInterval = 62.5f;
    p.Header.SampleLength = samples;
    p.Header.TraceOrder = 1;
    p.Header.TraceSpacing = 2.5f;
    p.Header.Offset = 4.0f;
    p.Header.Delay = 0.0f;
    p.Header.Filter = 4096.0f;
    p.Header.TriggerMethod = 1;
    p.Header.TriggerLevel = 2;
    p.Header.Date = QStringLiteral("2024-03-01");
    p.Header.Time = QStringLiteral("12:00:00");
    p.Sensor.SensorType = 1;
    p.Sensor.MeteringSignal = 0;
    p.Sensor.Sensitivity.fill(1.0f);
    p.Sensor.Sensitivity[0] = 28.8f;
    p.Sensor.Sensitivity[1] = 0.000125f;
    p.Sensor.Sensitivity[2] = 1e6f;
    p.CurrentRecordPath = ProgramDir() + QStringLiteral("/QDW-FILE/桥梁A.PRO/K001.QDW");
    p.InstrumentNumber = QStringLiteral("ZEB-24");
    p.SerialNumber = QStringLiteral("SN0001");
    p.UploadProfileNumber = QStringLiteral("P7");
    p.Longitude = 114.3f;
    p.Latitude = 30.57f;
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        QVector<float> t(ch < channels ? samples : 0);
        for (int i = 0; i < t.size(); ++i)
            t[i] = TestSample(ch, i);
        Store().Traces[ch] = t;
    }
}

/// Points the normal upload at a server on 127.0.0.1:port.
inline void PointAtLoopbackServer(quint16 port)
{
    CurrentParams().ServerAddress = {127, 0, 0, 1};
    CurrentParams().ServerPort = port;
}

/// True when trace holds exactly the samples PutTestRecord gave channel ch, bit for bit.
inline bool IsTestTrace(const QVector<float> &trace, int ch, int samples)
{
    if (trace.size() != samples)
        return false;
    for (int i = 0; i < samples; ++i) {
        const float expected = TestSample(ch, i);
        if (std::memcmp(&trace[i], &expected, sizeof expected) != 0)
            return false;
    }
    return true;
}

/// Shortens the waits of uploads built while it lives.
class ScopedUploadTimings
{
public:
    explicit ScopedUploadTimings(const UploadTimings &timings)
        : m_saved(DefaultUploadTimings())
    {
        DefaultUploadTimings() = timings;
    }
    ~ScopedUploadTimings() { DefaultUploadTimings() = m_saved; }

private:
    UploadTimings m_saved;
};
