#pragma once

// Runs zeb-record as the office does; the including test names the program
// in ZEB_RECORD_TOOL (a compile definition).
#include "support/TestProgramDir.h"

#include <QProcess>
#include <QStringList>

/// What one run of the tool left: exit code (-1 when it crashed or hung), standard output and error.
struct ToolRun
{
    int Code = -1;
    QByteArray Out;
    QString Err;
};

inline ToolRun RunRecordTool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ZEB_RECORD_TOOL), args);
    ToolRun r;
    if (!p.waitForFinished(ScaledTimeout(20000)))
        return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAllStandardOutput();
    r.Err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
