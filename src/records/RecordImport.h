#pragma once

#include "RecordFormat.h"

#include <QString>

/// Reads the record file at path in any format the office tools take, told
/// apart by its first bytes: QDW, SEG-2, SEG-Y or Seismic Unix. A foreign
/// file becomes the same record a QDW file gives (channels in file order,
/// samples as floats, the spread's offset, spacing and trace order from its
/// positions; record.Layout.Format names the format). RecordOk, or the
/// refusal (RecordUnrecognised, RecordCorrupt, RecordNotSurfaceWave,
/// RecordNotPlaceable) with the reason in record.Problem.
int LoadAnyRecord(const QString &path, ParsedRecord &record);
