#pragma once

#include <QString>
#include <QTemporaryDir>

/// Gives a test case its own program directory (settings file, data folder)
/// and fresh process-wide state; undoes both when it goes out of scope.
class TestProgramDir
{
public:
    TestProgramDir();
    ~TestProgramDir();
    TestProgramDir(const TestProgramDir &) = delete;
    TestProgramDir &operator=(const TestProgramDir &) = delete;

    QString path() const { return m_dir.path(); }
    /// A path below the program directory.
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

/// A wait in milliseconds, stretched when the tests run under CI (slower, shared machine).
int ScaledTimeout(int ms);

/// Points the current parameter set at a unit (the simulator) on 127.0.0.1:port;
/// tests never reach the factory address.
void PointAtLoopbackUnit(quint16 port);

/// Resets the parameter sets and the trace store to their start-up state and
/// empties the task screens (a test that wants the real ones installs them after).
void ResetProcessState();
