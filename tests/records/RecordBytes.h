#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtEndian>
#include <cstring>

/// Builds record files byte by byte, independently of the program's writer,
/// so that the reader is checked against the layout itself.
struct RecordBytes
{
    QByteArray Ident = QByteArrayLiteral("VRK-ZEB-2.1.0-20130618");
    qint32 RecordType = 0;
    qint32 HeaderAt = 56;
    qint32 ChannelAt = 442;
    qint32 DataAt = 646;

    QByteArray Texts[4] = {"PROJ", "UNIT", "TESTER", "007"};
    qint32 SurveyMethod = 2;
    qint32 Channels = 12;
    float Interval = 250.0f;
    qint32 Samples = 16;
    qint32 TraceOrder = 0;
    float Spacing = 1.5f;
    float Offset = 3.25f;
    float Delay = 10.0f;
    float Filter = 512.0f;
    qint32 TriggerMethod = 0;
    qint32 TriggerLevel = 2;
    QByteArray Date = "2023-11-02";
    QByteArray Time = "08:09:10";

    qint32 SensorType = 0;
    qint32 MeteringSignal = 0;
    float Sensitivity[24] = {};
    bool WithGains = true;
    qint32 Gains[24] = {};

    /// Samples, channel by channel; Sample(ch, i) when empty.
    QVector<float> Data;

    RecordBytes()
    {
        for (int i = 0; i < 24; ++i) {
            Sensitivity[i] = 0.5f + i;
            Gains[i] = 100 + i;
        }
    }

    static float Sample(int ch, int i) { return ch * 1000.0f + i * 0.25f - 3.0f; }

    static QByteArray Padded(const QByteArray &text, int width)
    {
        QByteArray out = text.left(width);
        out.append(width - out.size(), ' ');
        return out;
    }

    QByteArray Build() const
    {
        const qint64 samples = qint64(Channels) * Samples;
        const qint64 size = qMax<qint64>(qMax<qint64>(HeaderAt + 386, ChannelAt + 204), DataAt + 4 * samples);
        QByteArray b(static_cast<qsizetype>(qMax<qint64>(size, 56)), '\0');
        put(b, 0, Padded(Ident, 40));
        putInt(b, 40, RecordType);
        putInt(b, 44, HeaderAt);
        putInt(b, 48, ChannelAt);
        putInt(b, 52, DataAt);

        for (int t = 0; t < 4; ++t)
            put(b, HeaderAt + 80 * t, Padded(Texts[t], 80));
        putInt(b, HeaderAt + 320, SurveyMethod);
        putInt(b, HeaderAt + 324, Channels);
        putFloat(b, HeaderAt + 328, Interval);
        putInt(b, HeaderAt + 332, Samples);
        putInt(b, HeaderAt + 336, TraceOrder);
        putFloat(b, HeaderAt + 340, Spacing);
        putFloat(b, HeaderAt + 344, Offset);
        putFloat(b, HeaderAt + 348, Delay);
        putFloat(b, HeaderAt + 352, Filter);
        putInt(b, HeaderAt + 356, TriggerMethod);
        putInt(b, HeaderAt + 360, TriggerLevel);
        put(b, HeaderAt + 364, Padded(Date, 10));
        put(b, HeaderAt + 374, Padded(Time, 8));

        putInt(b, ChannelAt, SensorType);
        putInt(b, ChannelAt + 4, MeteringSignal);
        for (int i = 0; i < 24; ++i)
            putFloat(b, ChannelAt + 8 + 4 * i, Sensitivity[i]);
        if (WithGains)
            for (int i = 0; i < 24; ++i)
                putInt(b, ChannelAt + 108 + 4 * i, Gains[i]);

        for (qint64 k = 0; k < samples; ++k) {
            const float v = Data.isEmpty() ? Sample(int(k / Samples), int(k % Samples)) : Data.value(k);
            putFloat(b, DataAt + 4 * k, v);
        }
        // Only the bytes the layout asks for: no gains and a short block end the file early.
        b.truncate(static_cast<qsizetype>(qMax<qint64>(DataAt + 4 * samples, 56)));
        return b;
    }

    static void put(QByteArray &b, qint64 at, const QByteArray &bytes)
    {
        if (at < 0 || at + bytes.size() > b.size())
            return;
        std::memcpy(b.data() + at, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    static void putInt(QByteArray &b, qint64 at, qint32 v)
    {
        char raw[4];
        qToLittleEndian<qint32>(v, raw);
        put(b, at, QByteArray(raw, 4));
    }
    static void putFloat(QByteArray &b, qint64 at, float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        char raw[4];
        qToLittleEndian<quint32>(bits, raw);
        put(b, at, QByteArray(raw, 4));
    }
};
