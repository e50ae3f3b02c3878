#pragma once

#include "instrument/NoiseGeometry.h"
#include "model/TraceStore.h"

#include <QList>
#include <QWidget>

/// The self-check's bar view: per channel a bar for its largest swing (up and
/// filled when positive, down in outline when the negative one is larger),
/// all scaled to the largest excursion, which is printed top right as the
/// noise amplitude. Reads the traces and the current parameter set on every paint.
class CShowNoise : public QWidget
{
    Q_OBJECT

public:
    explicit CShowNoise(QWidget *parent = nullptr);

    /// The traces to show (default: PreviousTraces); must outlive the view.
    void SetTraces(const TraceSet *traces) { m_traces = traces ? traces : &Store().PreviousTraces; }

    /// Channels (1-based) whose data did not arrive: no bar, number in red;
    /// null for none. Must outlive the view.
    void SetFailedChannels(const QList<int> *failed) { m_failed = failed; }

    int AmplitudeStep() const { return m_step; }
    /// Sets the amplitude step (kept within 1…9) and repaints.
    void SetAmplitudeStep(int step);

    /// Largest excursion any paint has seen, truncated.
    int HighestPeak() const { return m_highestPeak; }
    /// Layout of the last paint.
    const noise::Layout &LastLayout() const { return m_layout; }
    /// Channels (1-based) that got a bar in the last paint.
    const QList<int> &LastBarChannels() const { return m_barChannels; }
    /// Largest excursion of the last paint.
    float LastExcursion() const { return m_excursion; }

    /// The noise amplitude line, "噪音幅值:%.3E".
    static QString NoiseText(float excursion);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const TraceSet *m_traces;
    const QList<int> *m_failed = nullptr;
    QList<int> m_barChannels;
    int m_step = noise::kMinStep;
    int m_highestPeak = 0;
    float m_excursion = 0.0f;
    noise::Layout m_layout;
};
