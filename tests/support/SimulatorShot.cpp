#include "SimulatorShot.h"

#include "TestProgramDir.h"

#include "instrument/InstrumentLink.h"
#include "instrument/LinkOwner.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include "UnitSimulator.h"

#include <QTest>

namespace {

/// A screen that wants nothing from the link.
struct QuietOwner : LinkOwner
{
    void RefreshButtons() override {}
    void CloseByAccept() override {}
    void HideBanner() override {}
    void ShowLinkFailure(const QString &) override {}
    void CloseLinkDialog() override {}
};

} // namespace

std::unique_ptr<UnitSimulator> StartLoopbackUnit(quint32 seed)
{
    auto sim = std::make_unique<UnitSimulator>();
    sim->SetSeed(seed);
    sim->SetTimeScale(0);
    sim->SetTriggerWaitMs(0);
    if (!sim->Start(0))
        return nullptr;
    PointAtLoopbackUnit(sim->Port());
    return sim;
}

void UseShortShots()
{
    BackupParams().Header.SampleLength = 512;
    ParamSet::CopyAcquisition(CurrentParams(), BackupParams());
}

bool ConnectAndWait(InstrumentLink &link)
{
    link.Connect();
    return QTest::qWaitFor([&] { return Store().LinkState == LinkUp && link.ReplyLetter() == 'd'; },
                           ScaledTimeout(5000));
}

bool TakeSimulatorShot(UnitSimulator &sim, int channels, int samples, float intervalUs)
{
    ParamSet &p = CurrentParams();
    PointAtLoopbackUnit(sim.Port());
    p.Header.ChannelCount = channels;
    p.Header.SampleLength = samples;
    p.Header.SampleInterval = intervalUs;

    QuietOwner owner;
    InstrumentLink link(&owner);
    link.Connect();
    // Up, and the parameter frame that follows the check answered, so that
    // its reply cannot arrive in the middle of the shot.
    const auto waitFor = [](const std::function<bool()> &done) { return QTest::qWaitFor(done, ScaledTimeout(5000)); };
    if (!waitFor([&] { return Store().LinkState == LinkUp && !link.IsWaiting(); })
        || !waitFor([&] { return sim.Received('d') >= 1 && link.ReplyLetter() == 'd'; }))
        return false;
    Store().LinkActive = true;
    bool ok = link.SetPara() == 1 && link.StartSample() == 1 && waitFor([&] { return link.GetSampleStates() == 1; })
              && waitFor([&] { return link.GetSampleFinishStates() == 1; }) && link.GetSampleDataH() == 1;
    for (int ch = 1; ok && ch <= channels; ++ch)
        ok = link.GetSampleData(ch) == 1;
    Store().LinkActive = false;
    return ok;
}
