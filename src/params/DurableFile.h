#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

class QFileDevice;

/// How writing a file through the platform's durable steps ended.
enum class WriteOutcome {
    Written,   ///< complete, flushed and under its name
    Failed,    ///< the disk refused a step; nothing is left under the name
    DiskFull,  ///< a step failed because the disk has no room left
    NameTaken, ///< the name was taken (only when the old file is to be kept)
};

/// What a durable write does with a file that already bears the name.
enum class ExistingFile { Replace, Keep };

/// The operator's words for a write that failed because the disk is full.
QString DiskFullText();

/// True for the system's error numbers of a full disk or a spent quota.
bool IsDiskFullError(int error);

/// Whether the volume that holds folder has fewer free bytes (asked of the
/// platform) than wanted, at least one; false when that is unknown.
bool VolumeLacksRoom(const QString &folder, qint64 wanted);

/// Whether a failed write to file (written of wanted bytes, the system's
/// error number err right after it) ran out of room: a short count, the
/// toolkit's resource error, ENOSPC or EDQUOT (a short count with another
/// error is not), or a volume whose free bytes
/// (asked of the platform) are fewer than were still to be written.
bool FailedForLackOfSpace(const QFileDevice &file, qint64 written, qint64 wanted, int err,
                          const QString &folder);

/// What the hidden name of a file being written ends in.
extern const char kDurableTemporarySuffix[];
/// The hidden name beside path that a durable write of it goes under until
/// its rename (".NAME.saving"): no listing of the folder takes it for a file.
QString DurableTemporaryPath(const QString &path);

/// Writes bytes to path so that the name only ever holds a whole file:
/// under a hidden temporary name beside it (tempPath), flushed, then, when
/// finalMark is given, finalMark written over the first bytes and flushed
/// again, and only then renamed. Every step goes through the platform, so
/// that tests can make any one fail. On failure the temporary is removed,
/// an old file of that name stays as it was, and problem says why.
WriteOutcome WriteFileDurably(const QString &path, const QString &tempPath, const QByteArray &bytes,
                              ExistingFile existing, const QByteArray &finalMark = QByteArray(),
                              QString *problem = nullptr);
/// The same for a file made of several pieces, each written as it is (a
/// header need not be copied in front of the bytes it describes).
WriteOutcome WriteFileDurably(const QString &path, const QString &tempPath, const QByteArrayList &pieces,
                              ExistingFile existing, const QByteArray &finalMark = QByteArray(),
                              QString *problem = nullptr);
