#pragma once

// Records the analysis tests work on: sines and simulator shots on screen.

#include "instrument/InstrumentProtocol.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QVector>
#include <QWidget>
#include <cmath>
#include <cstring>

#ifdef ZEB_WITH_SHOT_MODEL
#include "ShotModel.h"
#endif

namespace analysis_test {

constexpr double kPi = 3.14159265358979323846;

/// n samples of offset + amplitude · sin(2π hz t) at intervalUs.
inline QVector<float> Sine(int n, double hz, double intervalUs, double amplitude = 100.0, double offset = 0.0)
{
    QVector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = float(offset + amplitude * std::sin(2.0 * kPi * hz * i * intervalUs * 1e-6));
    return v;
}

/// Same length and the same bits, NaN and -0.0 included.
inline bool SameBits(const QVector<float> &a, const QVector<float> &b)
{
    return a.size() == b.size()
        && (a.isEmpty() || std::memcmp(a.constData(), b.constData(), sizeof(float) * std::size_t(a.size())) == 0);
}

inline bool SameBits(const TraceSet &a, const TraceSet &b)
{
    for (std::size_t c = 0; c < a.size(); ++c)
        if (!SameBits(a[c], b[c]))
            return false;
    return true;
}

/// A left-button press at at on w (a mouse move when type says so).
inline void Press(QWidget *w, QPoint at, QEvent::Type type = QEvent::MouseButtonPress)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

/// Sets the record's layout in the current parameter set.
inline void SetRecord(int channels, int samples, float intervalUs)
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = channels;
    p.Header.SampleLength = samples;
    p.Header.SampleInterval = intervalUs;
}

/// Channel c (0-based) gets a sine of 10 + 5c Hz with an offset, so that
/// every trace differs and has a known main frequency.
inline void PutSinesOnScreen(int channels, int samples, float intervalUs)
{
    SetRecord(channels, samples, intervalUs);
    for (int c = 0; c < channels; ++c)
        Store().Traces[std::size_t(c)] = Sine(samples, 10.0 + 5.0 * c, intervalUs, 100.0 + c, 20.0 * c);
}

#ifdef ZEB_WITH_SHOT_MODEL
/// A shot of the unit simulator's model on screen, converted as the link converts it.
inline void PutShotOnScreen(int channels, int samples, float intervalUs, quint32 seed)
{
    SetRecord(channels, samples, intervalUs);
    UnitParams unit;
    unit.Channels = channels;
    unit.IntervalUs = intervalUs;
    unit.SampleLength = samples;
    const ShotModel model(seed);
    for (int ch = 1; ch <= channels; ++ch) {
        const double gain = GainFactor(unit.ChannelGainDb(ch));
        const QVector<qint16> raw = model.Channel(unit, 1, ch);
        QVector<float> &trace = Store().Traces[std::size_t(ch - 1)];
        trace.resize(raw.size());
        for (int i = 0; i < raw.size(); ++i)
            trace[i] = SampleAmplitude(raw[i], gain);
    }
}
#endif

} // namespace analysis_test
