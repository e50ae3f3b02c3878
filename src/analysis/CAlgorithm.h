#pragma once

#include <cstdint>

/// The numerical routines of the analysis screens: the two recursive filters of
/// the digital filter and the amplitude spectrum with its transform.
///
/// Callers hand in plain arrays of 32-bit floats; everything in between is done
/// in double precision. Apart from the spectrum's decimation step the object
/// holds no state, so the filters and the transform are static and may be
/// called without an object.
class CAlgorithm
{
public:
    CAlgorithm() = default;
    virtual ~CAlgorithm() = default;
    CAlgorithm(const CAlgorithm &) = default;
    CAlgorithm &operator=(const CAlgorithm &) = default;

    /// Hooks kept for specialised algorithms; the base answers 0.
    virtual double Evaluate() const;
    virtual double Estimate() const;

    /// Second-order Butterworth low-pass (bilinear transform, no prewarping),
    /// starting at rest at the first sample's level (y0 = y1 = x0).
    /// A cut-off above 9999.1 Hz means "off": nothing is touched, not even the copy.
    /// src and dst may be the same array; src is left alone otherwise.
    static void LowPass(const float *src, float *dst, int n, float dt, float fc);

    /// Second-order Butterworth high-pass (bilinear transform, prewarped), starting
    /// from rest. A cut-off of 0 Hz or below means "off". src and dst may be the same.
    static void HighPass(const float *src, float *dst, int n, float dt, int fc);

    /// Smallest power of two not below n (1 for n = 0).
    static std::uint64_t NextPow2(std::uint32_t n);

    /// Unscaled forward transform (e^(-2 pi i k / M)) of length M = 2^p, in place,
    /// result in natural order. A p outside 0 to 30 leaves the arrays alone.
    static void Fft(double *re, double *im, int p);
    /// The same on 32-bit arrays; the arithmetic is still done in double precision.
    static void Fft(float *re, float *im, int p);

    /// Replaces the n samples in buf by their amplitude spectrum: n/2 bins, then zeros.
    /// Uses every DecimationStep()-th sample, so bin k stands for k / (n * step * dt).
    void AmplitudeSpectrum(float *buf, int n) const;

    int DecimationStep() const { return m_step; }
    /// The spectrum dialog sets its refinement factor (1, 2, 4, 8 or 16) here
    /// before each computation; a step below 1 is taken as 1.
    void SetDecimationStep(int step);

private:
    [[maybe_unused]] int m_reserved = 0; // kept at 0; nothing reads it yet
    int m_step = 1;
};
