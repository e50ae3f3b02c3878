#pragma once

#include <QString>
#include <functional>

class QByteArray;
class QFile;

/// Hands what was written to file to the system and waits until it is on the disk.
bool SyncFileToDisk(QFile &file);
/// Makes a folder's new or renamed entries durable; a file's own sync does not.
void SyncDirectory(const QString &dir);

/// Fills a temporary file (given its path) and says why when it cannot.
using FileFiller = std::function<bool(const QString &tempPath, QString *problem)>;

/// Creates the file at path so that the name only ever shows a complete file:
/// fill writes a temporary file beside it, which is synced, checked to hold
/// exactly expectedSize bytes and then renamed to path without replacing
/// anything. RecordOk; RecordExists when path is taken (before or meanwhile);
/// RecordWriteFailed otherwise, with the reason in problem. The temporary file
/// never stays behind.
int WriteNewFile(const QString &path, qint64 expectedSize, const FileFiller &fill,
                 QString *problem = nullptr);
/// The same for bytes that are already in memory.
int WriteNewFile(const QString &path, const QByteArray &bytes, QString *problem = nullptr);
