#pragma once

#include "records/ProjectTaskObserver.h"

#include "RecordTestUtil.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

#include <functional>
#include <utime.h>

/// Sets the modification (and access) time of path to secs after the epoch.
inline bool SetModified(const QString &path, qint64 secs)
{
    utimbuf times{};
    times.actime = time_t(secs);
    times.modtime = time_t(secs);
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

/// Creates folder and, in it, every file of files (name → bytes).
inline bool MakeFolderWith(const QString &folder, const QMap<QString, QByteArray> &files)
{
    if (!QDir().mkpath(folder))
        return false;
    for (auto it = files.begin(); it != files.end(); ++it)
        if (!WriteBytes(folder + QLatin1Char('/') + it.key(), it.value()))
            return false;
    return true;
}

/// Everything below root (hidden entries too): relative path → bytes and
/// modification time in ms, folders with empty bytes. Compared before and
/// after to tell that nothing was touched.
inline QMap<QString, QPair<QByteArray, qint64>> Snapshot(const QString &root)
{
    QMap<QString, QPair<QByteArray, qint64>> all;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray bytes;
        if (info.isFile()) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                bytes = f.readAll();
        }
        all.insert(QDir(root).relativeFilePath(info.filePath()), {bytes, info.lastModified().toMSecsSinceEpoch()});
    }
    return all;
}

/// Answers the questions as told and writes down what a task reports.
class RecordingObserver : public ProjectTaskObserver
{
public:
    bool OverwriteAnswer = true;
    bool DeletionAnswer = true;
    int Questions = 0;
    QString Label;
    int Maximum = -1;
    QList<int> Values;
    int Finishes = 0;
    QList<int> Paces;
    /// Runs at every progress value (a test can change the files meanwhile).
    std::function<void(int)> OnProgress;

    bool ConfirmOverwrite() override
    {
        ++Questions;
        return OverwriteAnswer;
    }
    bool ConfirmDeletion() override
    {
        ++Questions;
        return DeletionAnswer;
    }
    void Started(const QString &label, int maximum) override
    {
        Label = label;
        Maximum = maximum;
    }
    void Progress(int value) override
    {
        Values << value;
        if (OnProgress)
            OnProgress(value);
    }
    void Finished() override { ++Finishes; }
    void Pace(int ms) override { Paces << ms; }
};
