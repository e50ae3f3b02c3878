// Output files of every command: one safe way to write them, so that no
// command replaces a file or leaves a partial one under its final name.
#include "RecordTool.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

void report(int result, const QString &path, const QString &problem)
{
    const QString why = result == RecordExists ? QStringLiteral("%1 exists already and is left as it is").arg(path)
                                               : QStringLiteral("cannot write %1: %2").arg(path, problem);
    std::fprintf(stderr, "%s\n%s\n", RecordResultMessage(result).toUtf8().constData(), why.toUtf8().constData());
}

int exitOf(int result, const QString &path, const QString &problem)
{
    if (result == RecordOk)
        return 0;
    report(result, path, problem);
    return result == RecordExists ? kExitWouldOverwrite : kExitOutput;
}

template <typename Write>
int writeOutput(const QString &path, Write write)
{
    if (const int taken = CheckOutputFree(path))
        return taken;
    RemoveStaleTemporaries(QFileInfo(path).absolutePath());
    QString problem;
    const int result = write(&problem);
    return exitOf(result, path, problem);
}

} // namespace

int CheckOutputFree(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return 0;
    report(RecordExists, path, QString());
    return kExitWouldOverwrite;
}

int WriteToolOutput(const QString &path, const QByteArray &bytes)
{
    return writeOutput(path, [&](QString *problem) { return WriteNewFile(path, bytes, problem); });
}

int WriteToolOutput(const QString &path, qint64 expectedSize, const FileFiller &fill)
{
    return writeOutput(path, [&](QString *problem) { return WriteNewFile(path, expectedSize, fill, problem); });
}

QByteArray DrawPng(const std::function<QImage()> &draw, const QString &path)
{
    static char name[] = "zeb-record";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *argv[] = {name, platform, offscreen, nullptr};
    int argc = 3;
    QGuiApplication app(argc, argv);
    // The instrument's screens name the family "yaheikr"; the CJK font
    // installed with the program draws it here as it does there.
    QFont::insertSubstitutions(QStringLiteral("yaheikr"),
                               {QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !draw().save(&buffer, "PNG")) {
        std::fprintf(stderr, "zeb-record: cannot draw the image %s\n", QFile::encodeName(path).constData());
        return QByteArray();
    }
    return png;
}
