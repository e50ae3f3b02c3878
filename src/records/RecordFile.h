#pragma once

#include "RecordFormat.h"

#include <QString>

class ParamSet;
class RecordProgress;

/// Most characters of a record name (the limit of the save prompt).
constexpr int kMaxRecordNameLength = 8;

/// True for a name that stays inside its folder: not empty, not "." or "..",
/// without "/" or "\".
bool IsPlainName(const QString &name);
/// The folder that holds the project folders: the data root of params once
/// the settings are loaded, program directory / data folder name before.
QString DataRootPath(const ParamSet &params);

/// Where a record saved under name goes: data root / project name.PRO / name.QDW.
QString RecordSavePath(const ParamSet &params, const QString &name);
/// Where the record the browser picked lives:
/// program directory / data folder / project.PRO / record.QDW.
QString RecordOpenPath(const ParamSet &params, const QString &project, const QString &record);

/// Saves the current record under the typed name: the project folder is
/// created when missing, a name the project already has is refused
/// (RecordExists) and nothing is overwritten; otherwise the result of
/// WriteRecord. Once the record is written the name becomes the last record
/// name; a failed save leaves that name as it was.
int SaveRecordAs(ParamSet &params, const QString &name);

/// Writes the current record (record blocks of params, traces on screen) to
/// path, stamped with the moment of saving. Never overwrites an existing file.
/// Returns RecordOk once the complete file is on the disk, RecordDiskFull
/// when the disk had no room, RecordWriteFailed otherwise (and then leaves
/// no file behind).
int WriteRecord(ParamSet &params, const QString &path);

/// Writes a record file of blocks (date and time as they are) and traces to
/// path, as WriteRecord does: never over an existing file, RecordOk once the
/// complete file is on the disk, otherwise RecordWriteFailed and no file.
int WriteRecordFile(const RecordBlocks &blocks, const TraceSet &traces, const QString &path);

/// The hidden name a record is written under until it is whole.
QString UnfinishedRecordPath(const QString &path);
/// Removes what saves cut short (a crash, a power cut) left in a project
/// folder; returns how many.
int RemoveUnfinishedRecords(const QString &folder);

/// Reads the record at path into params and the traces on screen. The path
/// becomes params' current record path once the file opens; nothing else
/// changes unless the whole file reads (result RecordOk).
int ReadRecordFile(ParamSet &params, const QString &path, RecordProgress *progress);

/// The bytes of the file at path: RecordOk, RecordUnrecognised when it cannot
/// be opened, RecordCorrupt when it cannot be read or is far too large for a
/// record. opened tells whether the open itself succeeded.
int LoadRecordBytes(const QString &path, QByteArray &bytes, bool *opened = nullptr);

/// The record blocks of params as a file stores them.
RecordBlocks BlocksFromParams(const ParamSet &params);

/// Puts a successfully parsed record into params and the traces on screen:
/// header, sensor values, gains when the file has them, and the traces of its
/// channels; the traces beyond its channel count stay as they were.
void ApplyRecord(ParsedRecord &record, ParamSet &params);
