#pragma once

#include "RecordFormat.h"

#include <QByteArray>

/// True when bytes begin as a SEG-2 file, in either byte order.
bool LooksLikeSeg2(const QByteArray &bytes);

/// Takes a SEG-2 file's bytes apart (revision 1 layout, little- or big-endian;
/// samples as 16- or 32-bit integers or 32- or 64-bit floats, scaled by
/// DESCALING_FACTOR) and places its traces on a spread from SOURCE_LOCATION
/// and RECEIVER_LOCATION (the first number of each). Never reads outside
/// bytes. RecordOk; RecordUnrecognised (not SEG-2, or samples in a format
/// this program does not read); RecordCorrupt (blocks that do not hold
/// together); RecordNotPlaceable (see PlaceSpread). Problem says why.
ParsedRecord ParseSeg2(const QByteArray &bytes);
