#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

class ParamSet;

// The unit speaks in single datagrams: "VRK" and a command letter out, one
// datagram back whose letter (either case) repeats the command's. Everything
// here is plain arithmetic on bytes so that it can be checked without a socket.

/// Command letters, in the order of the unit's command table.
namespace Cmd {
constexpr char ConnectState = 'a';
constexpr char Version = 'b';
constexpr char Battery = 'c';
constexpr char SetPara = 'd';
constexpr char Start = 'e';
constexpr char SampleState = 'f';
constexpr char FinishState = 'g';
constexpr char DataHeader = 'h';
constexpr char Stop = 'i';
constexpr char Data = 'j';
} // namespace Cmd

constexpr int kCommandSize = 4;        ///< "VRK" and the letter
constexpr int kDataRequestSize = 5;    ///< "VRKj" and the channel byte
constexpr int kSetParaFrameSize = 25;
constexpr int kDataHeaderSize = 10;    ///< bytes before the first sample of a data reply
constexpr int kDataLetterIndex = 6;
constexpr int kDataChannelIndex = 8;
constexpr int kReplyLetterIndex = 3;
constexpr int kReplyValueIndex = 4;
/// Samples at the start of a trace that carry the pre-trigger level.
constexpr int kOffsetSamples = 200;
/// Trigger-method byte of the parameter frame in self-check mode.
constexpr quint8 kSelfCheckTriggerCode = 3;

/// The four request bytes of a plain command.
QByteArray CommandFrame(char letter);
/// The five request bytes that ask for one channel's samples.
QByteArray SampleDataFrame(int channel);

/// Sample-interval code (half-microseconds) for an interval in microseconds.
quint16 SampleIntervalCode(float intervalUs);
/// Both nibbles carry the gain step; unknown gains go as 36 dB.
quint8 GainCode(int dB);
/// Hardware anti-alias filter code; every other value (all-pass included) is 0.
quint8 FilterCode(float hz);
quint8 TriggerMethodCode(int method, bool autoCheck);
quint8 TriggerLevelCode(int level);
/// The delay the unit expects: milliseconds negated, truncated toward zero.
qint16 DelayCode(float delayMs);

/// The 25-byte parameter frame 'd' for the given parameters.
QByteArray SetParaFrame(const ParamSet &params, bool autoCheck);

/// Why the unit cannot be given p's acquisition parameters (a channel count it
/// does not take, a sample length or delay the parameter frame cannot carry),
/// naming the setting for the operator; empty when they can be sent.
QString UnsendableSettingText(const ParamSet &p);

/// Amplifier gain factor of a channel gain in dB (unknown gains count as 0 dB).
double GainFactor(int dB);

/// The input in mV that drives the converter to full scale at a channel gain
/// in dB: the largest amplitude a trace of that gain can show.
double ConverterFullScaleMv(int dB);

/// "硬件版本: D%1.%2 H%3.%4" from the unit's version byte.
QString HardwareVersionText(quint8 versionByte);

/// What a received datagram is, judged by its letters.
enum class ReplyKind {
    Ignored,
    Short,   ///< byte 3 one of a, c…i (either case); byte 4 is the value
    Version, ///< byte 3 'b' or 'B'; byte 4 is the version byte
    Data,    ///< byte 6 'j' or 'J'; channel at byte 8, samples from byte 10
};

/// Classifies a datagram already padded with zeros to at least kDataHeaderSize bytes.
ReplyKind ClassifyReply(const char *buf);
/// True when letter is the expected command letter in either case.
bool IsReplyLetter(char letter, char command);

/// One raw sample as an amplitude in millivolts at the given gain factor.
float SampleAmplitude(qint16 raw, double gainFactor);

/// Converts count little-endian 16-bit samples into amplitudes (out is
/// resized) and returns the pre-trigger offset: the sum of the first 200
/// amplitudes over 200 when removeOffset is set, otherwise 0.
float ConvertSamples(const char *samples, int count, double gainFactor, bool removeOffset,
                     QVector<float> &out);
