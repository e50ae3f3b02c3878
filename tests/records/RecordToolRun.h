#pragma once

// Runs zeb-record as a separate program, as engineers run it. Include where
// the test target defines ZEB_RECORD_TOOL as the tool's path.

#include "support/TestProgramDir.h"

#include <QProcess>
#include <QString>
#include <QStringList>

/// What one run of the tool gave: exit code (-1 when it crashed or hung), output and errors.
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
