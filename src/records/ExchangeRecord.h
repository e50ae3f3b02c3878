#pragma once

#include "RecordFormat.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <QVector>

class ParamSet;

/// A record as the exchange formats (SEG-2, SEG-Y) take it: the record blocks
/// and the samples of its channels, channel 1 first. The traces are borrowed
/// and must outlive the record.
struct ExchangeRecord
{
    RecordBlocks Blocks;
    const QVector<float> *Traces = nullptr;
    int TraceCount = 0;
    QString Name; ///< the record's name (its file name without extension)

    /// Channels written: the header's channel count, bounded to 0…24.
    int Channels() const;
    /// Samples written per channel: the header's sample length, never negative.
    int Samples() const;
    /// The samples of a 1-based channel; empty when the record has none for it.
    const QVector<float> &Trace(int channel) const;
    /// Channels (1-based) whose trace is shorter than Samples(); they are written zero-padded.
    QList<int> PaddedChannels() const;

    /// Sample interval in microseconds, with the reader's floor for nonsense values.
    double IntervalUs() const;
    /// True when channel 1 lies nearest the source.
    bool ForwardOrder() const;
    /// Position of a 1-based channel's geophone on the line, the source at 0, in
    /// metres: offset + position × spacing, position counted from the source in
    /// the record's trace order; on the negative side for a negative offset.
    double ReceiverX(int channel) const;
    /// Delay of the first sample after the shot, milliseconds (0 when not a number).
    double DelayMs() const;
    /// Low-pass corner of the unit's hardware filter in Hz, 0 when it passed everything.
    int HighCutHz() const;
    /// "TRIGGER EXTERNAL LEVEL MEDIUM" and the like.
    QByteArray TriggerText() const;
    /// "HARDWARE_FILTER LOW-PASS 512 HZ" or "HARDWARE_FILTER ALL-PASS".
    QByteArray FilterText() const;
    /// What became of a short trace of a 1-based channel; empty when it is complete.
    QByteArray PaddingText(int channel) const;
    /// The date and time of saving; invalid when the record's texts are not ones.
    QDate Date() const;
    QTime Time() const;
};

/// A record file's parsed content under its name.
ExchangeRecord ExchangeFromParsed(const ParsedRecord &record, const QString &name);
/// The current record: the record blocks of params and the traces on screen.
ExchangeRecord ExchangeFromCurrent(const ParamSet &params);

/// Checks what every exchange format needs: channels, samples, a size within
/// what a record can be, a finite interval that is not negative, a finite
/// offset and, for more than one channel, a positive spacing. RecordOk, or
/// RecordNotConvertible with the reason naming the field.
int CheckExchangeRecord(const ExchangeRecord &record, QString *problem);

namespace ExchangeText {
/// Printable ASCII only: every other character becomes '?', so that keyword
/// strings and card images stay readable by every program; ends trimmed.
QByteArray AsciiSafe(const QString &text);
/// UTF-8 without control characters (each becomes a space), for free-text notes.
QByteArray NoteText(const QString &text);
/// The shortest decimal that reads back as the same float ("2.1", "0.5", "nan").
QByteArray FloatText(float value);
/// A fixed-point decimal with at most decimals places and no trailing zeros.
QByteArray Decimal(double value, int decimals);
/// The value of a float as the decimal it was typed as (2.1f gives 2.1, not 2.0999999).
double TypedValue(float value);
} // namespace ExchangeText
