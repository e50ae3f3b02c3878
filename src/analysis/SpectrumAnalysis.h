#pragma once

#include <QString>
#include <QVector>
#include <vector>

// The spectrum of one channel's sample range as the spectrum dialog and the
// record tool compute it, and the numbers of its frequency axis.

/// Largest sample count the spectrum takes from a record: beyond any record
/// the unit delivers, and small enough that a damaged length cannot ask for
/// gigabytes of transform.
constexpr int kMaxSpectrumSamples = 1 << 20;

/// The refinement factor after factor: 1, 2, 4, 8, 16 and back to 1.
int NextRefinement(int factor);
/// Whether factor is one of the refinement factors.
bool IsRefinement(int factor);

/// Transform length for a record: the next power of two of the larger of one
/// second's samples and the sample count.
int SpectrumLength(float intervalUs, int sampleCount);

/// Frequency the Length/2 bins of a spectrum span, in Hz.
double SpectrumRangeHz(float intervalUs, int refinement);

/// Index of the sample at ms milliseconds, truncated, as the ends of the
/// range are placed (0 for a time that is no number or before 0). The time
/// is taken to the nanosecond first: in binary a typed 0.29 ms lies below
/// 290 us and would give sample 28 instead of 29 at 10 us.
int SampleAtMs(double ms, float intervalUs);

/// Which samples of a trace the spectrum takes.
struct SpectrumRequest
{
    float IntervalUs = 0.0f; ///< sample interval of the record
    int SampleCount = 0;     ///< samples per trace of the record
    int RangeStart = 0;      ///< first sample taken, inclusive
    int RangeEnd = 0;        ///< last sample taken, inclusive
    int Refinement = 1;      ///< decimation step of the transform
};

struct ChannelSpectrum
{
    int Length = 0;            ///< transform length N
    int Refinement = 1;
    double RangeHz = 0.0;      ///< frequency at bin Length/2
    std::vector<float> Values; ///< Length entries: Bins() amplitudes, then zeros
    int MainBin = 0;           ///< first bin of the largest amplitude

    int Bins() const { return Length / 2; }
    /// Frequency of bin in Hz.
    double BinHz(int bin) const { return Bins() > 0 ? RangeHz * bin / Bins() : 0.0; }
    double MainHz() const { return BinHz(MainBin); }
};

/// Amplitude spectrum of trace's samples RangeStart … RangeEnd (those below
/// the sample count that the trace holds; others, and samples that are no
/// number, count as 0). Their mean is removed from them alone before the
/// transform pads them with zeros.
ChannelSpectrum ComputeSpectrum(const QVector<float> &trace, const SpectrumRequest &request);

/// First bin of the largest value among values[0 … bins) (0 when all are 0);
/// values that are no number are passed over.
int MainBin(const float *values, int bins);

/// "%1MHz", "%1kHz" or "%1Hz" by the value's size, with 2 decimals.
QString FrequencyText(double hz);
/// The line under the spectrum: "主频：…" followed by "     游标频率：…".
QString SpectrumReadout(double mainHz, double cursorHz);

/// Unit and steps of the frequency axis for a range of rangeHz.
struct FrequencyAxis
{
    QString Unit = QStringLiteral("Hz");
    double Divisor = 1.0;
    double Step = 5.0; ///< Hz between major ticks
    int Ticks = 0;     ///< major ticks 0 … Ticks
    int Decimals = 0;  ///< of the tick labels
};
FrequencyAxis ChooseFrequencyAxis(double rangeHz);

struct FrequencyTick
{
    int Bin = 0;
    bool Major = true;
    QString Label; ///< major ticks only
};

/// Major ticks with their labels and, between two major ticks, four minor
/// ones, as bin positions on a spectrum of bins bins spanning rangeHz.
/// Computed in floating point: at 10 us the products exceed 32 bits.
QVector<FrequencyTick> FrequencyTicks(int bins, double rangeHz);
