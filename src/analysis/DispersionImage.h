#pragma once

#include <QString>
#include <QVector>
#include <vector>

struct RecordHeader;

/// The frequencies and trial phase velocities a dispersion image is computed for.
struct DispersionGrid
{
    double FMin = 1.0;    ///< Hz
    double FMax = 100.0;  ///< Hz; frequencies above Nyquist are left out
    double Df = 1.0;      ///< Hz
    double VMin = 50.0;   ///< m/s
    double VMax = 1000.0; ///< m/s
    double Dv = 5.0;      ///< m/s
};

/// How the record was sampled and where its receivers stand.
struct SpreadGeometry
{
    double IntervalUs = 0.0; ///< sample interval, microseconds
    int SampleCount = 0;     ///< samples per channel the record holds
    int ChannelCount = 0;    ///< channels the record holds (1-based channel numbers)
    double OffsetM = 0.0;    ///< source to the nearest receiver
    double SpacingM = 0.0;   ///< between neighbouring receivers
    bool Reverse = false;    ///< channel 1 is the farthest receiver, not the nearest

    /// How many spacings channel (1-based) stands beyond the nearest receiver.
    int Slot(int channel) const { return Reverse ? ChannelCount - channel : channel - 1; }
    /// Distance of channel (1-based) from the source, metres.
    double Position(int channel) const { return OffsetM + Slot(channel) * SpacingM; }
};

/// The spread of the record described by header (trace order 1 forward, anything else reverse).
SpreadGeometry GeometryFromHeader(const RecordHeader &header);

/// One point of the picked fundamental-mode curve.
struct DispersionPick
{
    double Frequency = 0.0;  ///< Hz
    double Velocity = 0.0;   ///< m/s, refined between the grid's velocities
    double Wavelength = 0.0; ///< m
    double Coherence = 0.0;  ///< 0…1: share of the receivers that stack in phase at the peak
};

/// Outcomes of computing a dispersion image.
enum DispersionResult : int {
    DispersionOk = 1,
    DispersionTooFewChannels = -1, ///< fewer than two channels carry data
    DispersionBadSpacing = -2,     ///< receiver spacing zero, negative or not a number
    DispersionBadInterval = -3,    ///< sample interval zero, negative or not a number
    DispersionBadSamples = -4,     ///< a channel holds NaN or infinite samples
    DispersionBadGrid = -5,        ///< bounds or steps that make no grid
    DispersionAboveNyquist = -6,   ///< every frequency asked for lies above Nyquist
};

/// The operator's message for a result code; empty for DispersionOk.
QString DispersionResultMessage(int code);

/// The phase-shift dispersion image of a record (Park, Miller and Xia, 1998)
/// with its picked fundamental-mode curve.
struct DispersionImage
{
    int Result = DispersionTooFewChannels;
    QString Problem; ///< why it was refused, for the log and the record tool
    DispersionGrid Grid; ///< as asked for

    std::vector<double> Frequencies; ///< Hz, one image row each
    std::vector<double> Velocities;  ///< m/s, one image column each
    /// Row by row (one row per frequency): the stacked magnitude, scaled to
    /// 1 at each frequency's largest value (0 where no receiver has energy).
    std::vector<float> Values;
    /// The picked branch, lowest frequency first: followed from its most
    /// reliable pick outwards and ended where it jumps or could be an alias.
    std::vector<DispersionPick> Curve;
    /// The branch starts at the lowest frequency that had a clear peak and
    /// never jumped on the way there: the fundamental mode, as far as the
    /// image tells. Otherwise it is only "a" dispersion curve.
    bool Fundamental = false;

    int ChannelsUsed = 0;
    double NearestM = 0.0;  ///< nearest receiver with data, from the source
    double FarthestM = 0.0; ///< farthest receiver with data
    /// Longest wavelength the spread resolves: about its length. Longer waves
    /// give broad peaks whose top drifts with the near field.
    double LongestWavelength = 0.0;
    /// Shortest wavelength the spread resolves: twice the spacing. Shorter
    /// waves alias onto slower velocities. Picks stay between the two.
    double ShortestWavelength = 0.0;
    double NyquistHz = 0.0;

    bool Ok() const { return Result == DispersionOk; }
    int FrequencyCount() const { return int(Frequencies.size()); }
    int VelocityCount() const { return int(Velocities.size()); }
    float Value(int f, int v) const { return Values[size_t(f) * Velocities.size() + size_t(v)]; }
};

/// Coherence a peak must reach to stand clear with n receivers: a stacked
/// power twelve times what n random phases give on average, sqrt(12/n)
/// (0.71 for 24 receivers), but never above 0.9, which a surface wave over a
/// short spread still reaches.
double DispersionClarity(int receivers);

/// Largest change of velocity between neighbouring picked frequencies that a
/// branch follows, as a share of the velocity.
constexpr double kBranchMaxJump = 0.2;
/// Frequencies without a clear peak that a branch steps over.
constexpr int kBranchMaxGap = 1;

/// Name of the picked curve for the operator: "基阶频散曲线" for the
/// fundamental mode, otherwise "频散曲线".
QString PickedCurveName(const DispersionImage &image);

/// One line for the operator: the picked curve's frequency range (or that
/// none stands clear) and the wavelengths the spread resolves.
QString DispersionSummary(const DispersionImage &image);

/// The image of the record on screen: the traces on screen with the sample
/// interval, channel count, trace order, spacing and offset of the current
/// parameter set.
DispersionImage RecordOnScreenImage(const DispersionGrid &grid = DispersionGrid());

/// Computes the image of channels 1 … geometry.ChannelCount from traces
/// (index = channel − 1, traceCount of them; each used up to
/// geometry.SampleCount samples). Channels without samples or with a flat
/// trace take no part. Never throws, never reads past a trace.
DispersionImage ComputeDispersionImage(const QVector<float> *traces, int traceCount,
                                       const SpreadGeometry &geometry,
                                       const DispersionGrid &grid = DispersionGrid());
