#include "TestProgramDir.h"

#include "dialogs/TaskScreens.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"

TestProgramDir::TestProgramDir()
    : m_previous(ProgramDir())
{
    Q_ASSERT(m_dir.isValid());
    SetProgramDir(m_dir.path());
    ResetProcessState();
}

TestProgramDir::~TestProgramDir()
{
    SetProgramDir(m_previous);
    ResetProcessState();
}

int ScaledTimeout(int ms)
{
    return qEnvironmentVariableIsSet("CI") ? ms * 3 : ms;
}

void ResetProcessState()
{
    ResetParamSets();
    ResetPreferences();
    Store().Reset();
    Screens() = TaskScreens();
}

void PointAtLoopbackUnit(quint16 port)
{
    CurrentParams().InstrumentAddress = QStringLiteral("127.0.0.1");
    CurrentParams().InstrumentPort = QString::number(port);
}
