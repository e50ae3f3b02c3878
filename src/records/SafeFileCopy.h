#pragma once

#include <QByteArray>
#include <QString>

/// Longest a healthy device takes to flush one file or a volume; a stick that
/// takes longer is treated as failed rather than left to freeze the screen.
constexpr int kFlushLimitMs = 60000;

/// Copies the regular file source into folder under name without ever losing
/// an old file of that name: the bytes go to a temporary file beside it, are
/// flushed to the device (within flushLimitMs), their size is checked against
/// the source, and only then does the new file take the old one's place in one
/// rename. The copy keeps the source's modification time. On any failure the
/// temporary file is removed, the old file stays as it was, and the result is
/// false. The rename itself is durable once the folder or its volume has been
/// flushed; callers that copy many files flush once at the end.
bool SafeCopyFile(const QString &source, const QString &folder, const QString &name,
                  int flushLimitMs = kFlushLimitMs);

/// SafeCopyFile for bytes made in memory rather than read from a file.
bool SafeWriteBytes(const QByteArray &bytes, const QString &folder, const QString &name,
                    int flushLimitMs = kFlushLimitMs);

/// The temporary name SafeCopyFile and SafeWriteBytes use for name while they
/// write (a hidden file in the same folder).
QString SafeWriteTemporaryName(const QString &name);
