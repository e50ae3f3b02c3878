#pragma once

#include "params/ParamSet.h"

#include <QString>
#include <QVector>
#include <array>
#include <vector>

/// The upload fields of the parameter set that travel with a record: the
/// identity the server knows the device by, its position and the server.
struct UploadFields
{
    QString InstrumentNumber; ///< 测试仪编号
    QString SerialNumber;     ///< 流水号
    QString ProfileNumber;    ///< 剖面编号 (upload profile number)
    float Longitude = 0.0f;
    float Latitude = 0.0f;
    std::array<qint8, 4> ServerAddress{};
    int ServerPort = 0;

    bool operator==(const UploadFields &other) const;
    bool operator!=(const UploadFields &other) const { return !(*this == other); }
    /// "%1.%2.%3.%4" of the address bytes, each as an unsigned number.
    QString ServerHost() const;
};

/// One record as an upload sends it. Taken from the current record on the
/// interface thread, so that a worker never reads the live parameter set or
/// the traces on screen while the operator goes on working.
struct UploadRecord
{
    RecordHeader Header;
    std::array<int, kMaxChannels> Gains{};
    SensorBlock Sensor;
    QString FileName; ///< RecordTitle() of the current record path
    UploadFields Fields;
    /// One trace per channel of the header (at most 24), each holding at most
    /// the header's sample length; samples beyond a shorter trace are sent as 0.
    std::vector<QVector<float>> Traces;

    /// The header's channel count, bounded to 0…24.
    int Channels() const;
    /// The header's sample length, never negative.
    int Samples() const;
    /// Sample index of channel (0-based), 0.0 beyond what the trace holds.
    float Sample(int channel, qint64 index) const;
};

UploadFields CurrentUploadFields();
/// The current record (record blocks of the current parameter set and the
/// traces on screen) with the upload fields, copied.
UploadRecord SnapshotCurrentRecord();

/// Why record cannot go out in packets of packetSamples samples, as the
/// operator reads it; empty when it can. An upload needs 1…24 channels, a
/// positive sample length, a first trace that holds data, at most
/// maxPerChannel packets per channel and at most maxDataFrames data frames
/// (packet and tag numbers travel as 16-bit numbers and must not wrap).
QString UploadRefusal(const UploadRecord &record, int packetSamples, qint64 maxPerChannel,
                      qint64 maxDataFrames);

/// Packets of packetSamples samples that hold samples samples (64-bit: never wraps).
qint64 PacketsFor(qint64 samples, int packetSamples);

/// A float from a file as a 32-bit integer: truncated toward zero, saturated
/// at the int range, 0 for not-a-number.
qint32 SaturatedInt(float value);
/// A float from a file with not-a-number taken as 0 and infinities as the
/// largest finite float of their sign.
float FiniteFloat(float value);
/// value as printf's %g writes it in the C locale: six significant digits,
/// an exact tie rounded to even, exponents as "e+06".
QString GeneralNumberText(double value);
