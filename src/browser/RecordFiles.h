#pragma once

#include "records/RecordFile.h"

class ParamSet;

/// ReadRecordFile with the progress window shown while the samples are read:
/// the read the screens use. Result codes as ReadRecordFile.
int ReadRecord(ParamSet &params, const QString &path);

/// Opens the record the browser picked: the record name becomes the last
/// record name, then ReadRecord on its path.
int OpenRecord(ParamSet &params, const QString &project, const QString &record);
