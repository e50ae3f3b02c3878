#pragma once

#include "RecordFormat.h"

#include <QByteArray>
#include <QString>

/// What the first bytes of a file say it is, as far as SEG-Y goes.
enum class SegyKind {
    None,
    Segy,     ///< a textual and a binary header, then big-endian traces
    SuLittle, ///< Seismic Unix: traces only, little-endian
    SuBig,    ///< Seismic Unix: traces only, big-endian
};

/// Guesses from the first 3600 bytes (or fewer) and the file's size whether
/// it is SEG-Y or Seismic Unix: a binary header with a sample format and
/// count that fit the file, or trace headers whose length divides it.
SegyKind SniffSegy(const QByteArray &head, qint64 fileSize);

/// Reads a SEG-Y or SU file with segyio: samples (IBM or IEEE floats, 8-, 16-
/// or 32-bit integers) as floats, geometry from the source and group
/// coordinates with their scalar, or from the offsets when the coordinates do
/// not tell the receivers apart, placed by PlaceSpread. RecordOk;
/// RecordUnrecognised; RecordCorrupt; RecordNotPlaceable; problem says why.
ParsedRecord ReadSegyRecord(const QString &path, SegyKind kind);
