#include "AcquisitionCore.h"

#include "AcquisitionOwner.h"
#include "InstrumentLink.h"
#include "InstrumentLog.h"
#include "InstrumentProtocol.h"
#include "model/TraceStore.h"
#include "platform/Wait.h"
#include "records/RecordFile.h"
#include "records/ProjectListing.h"
#include "records/RecordNaming.h"
#include "records/ShotJournal.h"
#include "params/DurableFile.h"
#include "params/Preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <climits>
#include <cmath>
#include <utility>

namespace {

// Banner states of the trace view.
constexpr int kBannerHidden = 0;
constexpr int kBannerWaiting = 1;
constexpr int kBannerAcquiring = 2;

/// Pause between two trigger or finish polls.
constexpr int kPollPauseMs = 100;
/// Finish polls that may fail in a row before the unit counts as gone.
constexpr int kFinishFailuresAllowed = 3;
/// How much longer than the record itself (and its delay) the finish may take.
constexpr double kFinishGraceMs = 30000.0;
constexpr double kUsPerMs = 1000.0;

/// The battery is asked again once the tick counter has passed this.
constexpr int kBatteryPollGap = 59;
constexpr int kNoLevel = -1;

// What the unit measures its own noise with.
constexpr float kSelfCheckDelayMs = 0.0f;
constexpr float kSelfCheckFilterHz = 512.0f;
constexpr float kSelfCheckIntervalUs = 125.0f;
constexpr int kSelfCheckSampleLength = 1024;
constexpr int kSelfCheckGainDb = 72;

const char kSetParaFailed[] = "设置参数失败,网络可能已断开！";
const char kStartFailed[] = "开始采样失败，网络可能已断开！";
const char kHeaderFailed[] = "获取数据失败，网络可能已断开！";
const char kDataFailed[] = "获取数据失败！";
const char kSaved[] = "保存文件成功！";
const char kJournalFailed[] = "无法备份未保存的数据！";
const char kAutoSaveFailed[] = "自动保存失败，数据仍在屏幕上，请手动保存！";
const char kAutoSaved[] = "已自动保存:%1";
const char kBatteryLow[] = "电池电量低，请及时保存数据！";

/// The journal entry the operator turned down in this run (screens come and go).
QString &declinedEntry()
{
    static QString path;
    return path;
}

/// Holds the link active for one exchange and then leaves it as it was, so
/// that a poll or a parameter frame sent between shots waits for its reply
/// without changing what the screen's state says about the link.
class LinkActiveForExchange
{
public:
    LinkActiveForExchange()
        : m_was(Store().LinkActive)
    {
        Store().LinkActive = true;
    }
    ~LinkActiveForExchange() { Store().LinkActive = m_was; }
    LinkActiveForExchange(const LinkActiveForExchange &) = delete;
    LinkActiveForExchange &operator=(const LinkActiveForExchange &) = delete;

private:
    bool m_was;
};

/// How long the unit may take from the trigger to the finished record.
double FinishLimitMs(const ParamSet &p, double graceMs)
{
    double recordMs = p.SampleLengthInUse() * double(p.Header.SampleInterval) / kUsPerMs;
    if (!(recordMs >= 0.0))
        recordMs = 0.0;
    double delayMs = p.Header.Delay;
    if (!(delayMs >= 0.0))
        delayMs = 0.0;
    return recordMs + delayMs + graceMs;
}

} // namespace

std::optional<CommandStates> CommandStatesFor(int acqState, bool channel1HasData, bool pictureSaved)
{
    // Set, Read, Analysis, AutoCheck, Sample, Add, Clear, Save, Exit, UpLoad
    using Row = std::array<bool, 10>;
    static constexpr Row kIdle{1, 1, 0, 1, 1, 0, 1, 0, 1, 0};
    static constexpr Row kSampling{0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    static constexpr Row kSampledWithData{0, 0, 1, 0, 1, 1, 1, 1, 0, 1};
    static constexpr Row kSampledEmpty{1, 0, 0, 1, 1, 1, 1, 0, 1, 1};
    static constexpr Row kRecordLoaded{1, 1, 1, 0, 0, 0, 1, 0, 1, 1};
    static constexpr Row kSelfCheckData{1, 1, 1, 1, 1, 0, 1, 1, 1, 1};
    // Saved as it arrived: open as after a save, and the shot can still be
    // looked at, analysed, sent, or made the first of a stack.
    static constexpr Row kSampledSaved{1, 1, 1, 1, 1, 1, 1, 0, 1, 1};

    const Row *row = nullptr;
    switch (acqState) {
    case AcqIdle: row = &kIdle; break;
    case AcqSampling: row = &kSampling; break;
    case AcqSampled:
    case AcqStopRequested:
        row = !channel1HasData ? &kSampledEmpty : pictureSaved ? &kSampledSaved : &kSampledWithData;
        break;
    case AcqRecordLoaded: row = &kRecordLoaded; break;
    case AcqSelfCheckShown: row = &kSelfCheckData; break;
    default: return std::nullopt;
    }
    const Row &r = *row;
    CommandStates s;
    s.Set = r[0];
    s.Read = r[1];
    s.Analysis = r[2];
    s.AutoCheck = r[3];
    s.Sample = r[4];
    s.Add = r[5];
    s.Clear = r[6];
    s.Save = r[7];
    s.Exit = r[8];
    s.UpLoad = r[9];
    s.SampleStops = acqState == AcqSampling;
    return s;
}

AcquisitionCore::AcquisitionCore(InstrumentLink &link, AcquisitionOwner &owner)
    : m_link(link)
    , m_owner(owner)
    , m_finishGraceMs(kFinishGraceMs)
    , m_journal(std::make_unique<ShotJournal>(JournalFolderPath()))
{
    // The journal reports from its own thread; these run on this one.
    QObject::connect(m_journal.get(), &ShotJournal::Failed, m_journal.get(),
                     [this](const QString &, bool diskFull) { journalFailed(diskFull); });
    QObject::connect(m_journal.get(), &ShotJournal::Written, m_journal.get(),
                     [this] { m_journalFailureTold = false; });
    // Saves of the operator's project cut short in an earlier run.
    const QString project = ProjectFolderOf(CurrentParams(), CurrentParams().Header.ProjectName);
    if (!project.isEmpty())
        RemoveUnfinishedRecords(project);
}

AcquisitionCore::~AcquisitionCore() = default;

QString AcquisitionCore::JournalFailedText()
{
    return QString::fromUtf8(kJournalFailed);
}

QString AcquisitionCore::AutoSaveFailedText()
{
    return QString::fromUtf8(kAutoSaveFailed);
}

QString AcquisitionCore::BatteryLowText()
{
    return QString::fromUtf8(kBatteryLow);
}

QString AcquisitionCore::BusyText()
{
    return QStringLiteral("操作过于频繁，请稍候再试！");
}

bool AcquisitionCore::Busy() const
{
    return m_sequenceRunning || m_link.IsWaiting();
}

// --- the shot ---------------------------------------------------------------

void AcquisitionCore::Sample()
{
    TraceStore &store = Store();
    if (m_sequenceRunning) {
        // While a shot runs, the command can only turn a trigger wait into a
        // stop; once the unit has triggered the shot is taken to its end.
        if (store.AcqState == AcqSampling && !m_triggered) {
            store.LinkActive = false;
            m_owner.ShowTitle(kBannerHidden);
            store.AcqState = AcqStopRequested;
            m_owner.RefreshButtons();
        }
        return;
    }
    // Every refusal comes before anything changes: self-check data must not
    // lose its parameters to a press that then does nothing.
    const QString unsendable = UnsendableSettingText(BackupParams());
    if (!unsendable.isEmpty()) {
        qCWarning(lcInstrument) << "shot refused:" << unsendable;
        m_owner.ShowMessage(unsendable);
        return;
    }
    if (store.LinkState != LinkUp) {
        m_link.onSockFailed();
        return;
    }
    if (m_link.IsWaiting()) {
        m_owner.ShowMessage(BusyText());
        return;
    }
    ParamSet::CopyAcquisition(CurrentParams(), BackupParams());
    if (store.SelfCheckShown) {
        const int channels = CurrentParams().ChannelsInUse();
        for (int c = 0; c < channels; ++c)
            store.Traces[c].clear();
        store.SelfCheckShown = false;
    }
    runSequence();
}

void AcquisitionCore::runSequence()
{
    TraceStore &store = Store();
    ParamSet &p = CurrentParams();
    const int channels = p.ChannelsInUse();
    m_sequenceRunning = true;
    m_triggered = false;
    m_pictureSaved = false;
    m_sequenceClock.start();
    bool moved = false;   // the picture went to PreviousTraces
    bool newData = false; // at least one channel arrived

    store.LinkActive = true;
    p.CurrentChannel = -1;
    m_owner.ShowTitle(kBannerWaiting);
    store.AcqState = AcqSampling;
    m_owner.RefreshButtons();
    m_owner.RebuildView();

    // A stop pressed while the parameter or start frame waits cuts that wait
    // short: it is the operator's stop, not a failure of the network.
    const auto stopped = [&store] { return store.AcqState == AcqStopRequested; };
    if (m_link.SetPara(false) < 1) {
        if (stopped()) {
            awaitReply(Cmd::SetPara);
        } else {
            store.AcqState = AcqStopRequested;
            store.LinkActive = false;
            m_owner.ShowMessage(QString::fromUtf8(kSetParaFailed));
        }
    } else if (m_link.StartSample() < 1) {
        if (stopped()) {
            stopUnit(); // the unit may have started: it must not stay armed
        } else {
            store.AcqState = AcqStopRequested;
            m_owner.ShowMessage(QString::fromUtf8(kStartFailed));
        }
    } else {
        if (!store.StackingOn) {
            // The picture steps aside; a swap keeps both buffers' memory for
            // the traces that are about to arrive.
            for (int c = 0; c < channels; ++c) {
                std::swap(store.PreviousTraces[c], store.Traces[c]);
                store.Traces[c].clear();
            }
            moved = true;
        }
        if (waitForTrigger() && waitForFinish()) {
            if (m_link.GetSampleDataH() < 1) {
                m_owner.ShowMessage(QString::fromUtf8(kHeaderFailed));
            } else {
                if (store.StackingOn) {
                    store.AdvanceStack();
                    m_owner.RefreshStatus();
                }
                fetchChannels(newData);
            }
        }
    }

    // A shot that brought nothing must not leave the operator an empty
    // screen with the last picture hidden where the next shot overwrites it.
    if (moved && !newData)
        store.RestorePreviousIfEmpty(channels);
    // New data is no longer the record that was read or saved before it.
    if (newData)
        p.MarkUnsaved(QDateTime::currentDateTime());
    store.LinkActive = false;
    store.AcqState = AcqSampled;
    m_sequenceRunning = false;
    m_owner.RefreshButtons();
    if (newData)
        m_owner.NewPicture();
    m_owner.RebuildView();
    m_owner.RefreshStatus();
    m_owner.ShowTitle(kBannerHidden);
    m_owner.SequenceEnded();
    if (newData) {
        keepInJournal();
        if (!store.StackingOn && CurrentPreferences().AutoSave)
            autoSave();
    }
    tellPendingJournalFailure();
}

// --- keeping every picture ------------------------------------------------------

void AcquisitionCore::keepInJournal()
{
    const TraceStore &store = Store();
    if (store.Traces[0].isEmpty())
        return; // nothing a save would keep either
    JournalPicture picture;
    picture.Blocks = BlocksFromParams(CurrentParams());
    const QDateTime now = QDateTime::currentDateTime();
    picture.Blocks.Header.Date = now.toString(QStringLiteral("yyyy-MM-dd"));
    picture.Blocks.Header.Time = now.toString(QStringLiteral("hh:mm:ss"));
    picture.Traces = store.Traces; // shared, not copied
    picture.StackCount = store.StackCount;
    m_pictureEntry = m_journal->Record(picture, now);
}

void AcquisitionCore::autoSave()
{
    ParamSet &p = CurrentParams();
    const QString name = SuggestedName();
    const int result = name.isEmpty() ? int(RecordWriteFailed) : SaveRecordAs(p, name);
    if (result != RecordOk) {
        m_owner.ShowMessage(result == RecordDiskFull
                                ? QStringLiteral("自动保存失败，%1，数据仍在屏幕上！").arg(DiskFullText())
                                : AutoSaveFailedText());
        return;
    }
    afterSaved();
    // The picture stays for the operator to judge the shot, but the screen
    // is open as after a save: a second Save would only write a copy. It is
    // that record now, no longer an unsaved one (an upload bears its name).
    p.CurrentRecordPath = RecordSavePath(p, name);
    m_pictureSaved = true;
    m_owner.RefreshButtons();
    m_owner.RefreshStatus();
    // No box: the next shot must not wait for a confirmation.
    m_owner.ShowStatusNote(QString::fromUtf8(kAutoSaved).arg(name));
}

void AcquisitionCore::afterSaved()
{
    if (m_pictureEntry)
        m_journal->MarkSaved(m_pictureEntry);
    m_pictureEntry = 0;
}

void AcquisitionCore::journalFailed(bool diskFull)
{
    if (m_journalFailureTold)
        return;
    m_journalFailureTold = true;
    m_journalFailureDiskFull = diskFull;
    // A box opened in the middle of a shot would hold its waits up.
    if (Busy())
        m_journalFailurePending = true;
    else
        tellJournalFailure();
}

void AcquisitionCore::tellPendingJournalFailure()
{
    if (!m_journalFailurePending)
        return;
    m_journalFailurePending = false;
    tellJournalFailure();
}

void AcquisitionCore::tellJournalFailure()
{
    m_owner.ShowMessage(m_journalFailureDiskFull
                            ? QStringLiteral("%1，无法备份未保存的数据！").arg(DiskFullText())
                            : JournalFailedText());
}

std::optional<JournalEntry> AcquisitionCore::UnsavedJournalEntry() const
{
    const QList<JournalEntry> whole = ShotJournal::WholeEntries(m_journal->Folder(), false);
    if (whole.isEmpty() || whole.first().Saved || whole.first().Path == declinedEntry())
        return std::nullopt;
    return whole.first();
}

void AcquisitionCore::DeclineRecovery(const JournalEntry &entry)
{
    declinedEntry() = entry.Path;
}

int AcquisitionCore::RestoreFromJournal(const JournalEntry &entry)
{
    JournalPicture picture;
    const int result = ShotJournal::ReadEntry(entry.Path, picture);
    if (result != RecordOk) {
        m_owner.ShowMessage(RecordResultMessage(result));
        return result;
    }
    Clear();
    TraceStore &store = Store();
    ParamSet &p = CurrentParams();
    const RecordBlocks &blocks = picture.Blocks;
    p.Header = blocks.Header;
    // Saved into the operator's project, whichever project it was taken in.
    p.Header.ProjectName = BackupParams().Header.ProjectName;
    p.Sensor.SensorType = blocks.SensorType;
    p.Sensor.MeteringSignal = blocks.MeteringSignal;
    p.Sensor.Sensitivity = blocks.Sensitivity;
    if (blocks.HasGains)
        p.Gains = blocks.Gains;
    store.Traces = std::move(picture.Traces);
    store.StackCount = picture.StackCount;
    store.AcqState = AcqSampled;
    m_pictureEntry = entry.Saved ? 0 : entry.Sequence;
    m_owner.RefreshButtons();
    m_owner.NewPicture();
    m_owner.RebuildView();
    m_owner.RefreshStatus();
    m_owner.SequenceEnded();
    return result;
}

bool AcquisitionCore::waitForTrigger()
{
    const TraceStore &store = Store();
    const auto interrupted = [&store] {
        return store.LinkState != LinkUp || store.AcqState == AcqStopRequested;
    };
    for (;;) {
        if (m_link.GetSampleStates() == 1) {
            m_triggered = true;
            m_triggerMs = m_sequenceClock.elapsed();
            m_owner.ShowTitle(kBannerAcquiring);
            m_owner.TriggerSeen();
            return true;
        }
        QCoreApplication::processEvents();
        // A stop pressed during the pause is acted on before the next poll.
        if (!interrupted())
            WaitMs(kPollPauseMs);
        if (!interrupted())
            continue;
        if (store.LinkState != LinkUp) {
            // The finish wait notices the lost link and says what failed.
            m_triggerMs = m_sequenceClock.elapsed();
            return true;
        }
        stopUnit();
        return false;
    }
}

void AcquisitionCore::stopUnit()
{
    m_link.SetStopSample();
    // The stop cut its own wait short.
    awaitReply(Cmd::Stop);
}

void AcquisitionCore::awaitReply(char letter)
{
    // A reply still on its way is taken here, where it cannot pass for the
    // reply to the operator's next command.
    WaitUntil(
        [this, letter] {
            return (m_link.Replied() && IsReplyLetter(m_link.ReplyLetter(), letter))
                   || Store().LinkState != LinkUp;
        },
        kCommandWaitMs);
}

bool AcquisitionCore::waitForFinish()
{
    TraceStore &store = Store();
    const double limitMs = m_triggerMs + FinishLimitMs(CurrentParams(), m_finishGraceMs);
    int failures = 0;
    for (;;) {
        const int r = m_link.GetSampleFinishStates();
        if (r == 1)
            return true;
        QCoreApplication::processEvents();
        if (store.LinkState != LinkUp)
            return r != 0;
        if (store.AcqState == AcqStopRequested)
            return false;
        // A unit that fell silent after the trigger would keep this loop, the
        // disabled sample command and the closed exit waiting for ever.
        failures = r < 0 ? failures + 1 : 0;
        if (failures >= kFinishFailuresAllowed || m_sequenceClock.elapsed() > limitMs) {
            qCWarning(lcInstrument) << "unit did not finish:" << failures << "failed polls,"
                                    << m_sequenceClock.elapsed() << "ms into the shot";
            m_owner.ShowMessage(QString::fromUtf8(kHeaderFailed));
            return false;
        }
        WaitMs(kPollPauseMs);
    }
}

void AcquisitionCore::fetchChannels(bool &newData)
{
    const TraceStore &store = Store();
    const int channels = CurrentParams().ChannelsInUse();
    for (int c = 1; c <= channels; ++c) {
        if (store.StackingOn && store.ChannelLocks[c - 1])
            continue;
        if (m_link.GetSampleData(c) < 0) {
            m_owner.ShowMessage(QString::fromUtf8(kDataFailed));
            return;
        }
        newData = true;
    }
}

// --- clearing and stacking ----------------------------------------------------

void AcquisitionCore::Clear()
{
    TraceStore &store = Store();
    ParamSet &p = CurrentParams();
    store.LinkActive = false;
    store.SelfCheckRunning = false;
    store.AcqState = AcqIdle;
    p.CurrentChannel = -1;
    for (QVector<float> &t : store.Traces)
        t.clear();
    // With the screen empty no self-check data is shown: a flag left set
    // would keep the next settings visit from taking effect.
    store.SelfCheckShown = false;
    store.StackingOn = false;
    store.ClearStack();
    p.LastRecordName.clear();
    m_pictureEntry = 0;
    m_pictureSaved = false;
    m_link.SetWaiting(false);
    m_owner.Cleared();
}

void AcquisitionCore::ClearScreen()
{
    Clear();
    ParamSet::CopyAcquisition(CurrentParams(), BackupParams());
    m_owner.RefreshStatus();
}

bool AcquisitionCore::CanUndo() const
{
    const TraceStore &store = Store();
    return store.StackHead != store.StackTail;
}

bool AcquisitionCore::UndoShot()
{
    if (!Store().UndoStackedShot(CurrentParams().ChannelsInUse()))
        return false;
    m_pictureSaved = false;
    m_owner.RefreshButtons();
    m_owner.RefreshStatus();
    // The marks of the shot check belong to the picture now shown.
    m_owner.NewPicture();
    m_owner.RebuildView();
    keepInJournal();
    return true;
}

void AcquisitionCore::StartStacking(const std::array<bool, kMaxChannels> &locks)
{
    TraceStore &store = Store();
    const int channels = CurrentParams().ChannelsInUse();
    store.ChannelLocks = locks;
    // Only the channels in use count: locks of channels 13…24 with a
    // 12-channel spread would otherwise let stacking run and fetch nothing.
    bool anyOpen = false;
    for (int c = 0; c < channels; ++c)
        anyOpen = anyOpen || !locks[c];
    if (!anyOpen) {
        StopStacking();
        return;
    }
    store.StackingOn = true;
    store.StartStack(channels);
    m_owner.RebuildView();
    m_owner.RefreshStatus();
    m_owner.RefreshButtons();
}

void AcquisitionCore::StopStacking()
{
    TraceStore &store = Store();
    store.StackingOn = false;
    store.ClearStack();
    m_owner.RefreshStatus();
    m_owner.RefreshButtons();
    m_owner.RebuildView();
}

// --- records -----------------------------------------------------------------

int AcquisitionCore::Save(const QString &name)
{
    const TraceStore &store = Store();
    const bool selfCheckData = store.AcqState == AcqSelfCheckShown || store.SelfCheckShown;
    const int result = SaveRecordAs(CurrentParams(), name);
    if (result != RecordOk) {
        // Nothing was written: the data, its parameters and its name stay on screen.
        m_owner.ShowMessage(RecordResultMessage(result));
        return result;
    }
    afterSaved();
    Clear();
    if (selfCheckData) {
        // The self-check's parameters leave with its data; the next settings
        // visit must find the operator's.
        ParamSet::CopyAcquisition(CurrentParams(), BackupParams());
        m_owner.RefreshStatus();
    }
    m_owner.ShowMessage(QString::fromUtf8(kSaved));
    return result;
}

QString AcquisitionCore::SuggestedName() const
{
    return SuggestedRecordName(CurrentParams());
}

int AcquisitionCore::Read(const QString &project, const QString &file)
{
    if (project == JournalProjectName()) {
        JournalEntry entry;
        entry.Name = file;
        entry.Path = m_journal->Folder() + QLatin1Char('/') + file + QLatin1Char('.') + JournalEntryExtension();
        for (const JournalEntry &e : ShotJournal::ListEntries(m_journal->Folder()))
            if (e.Name == file && !e.Saved)
                entry = e;
        return RestoreFromJournal(entry);
    }
    TraceStore &store = Store();
    Clear();
    ParamSet &p = CurrentParams();
    p.LastRecordName = file;
    const int result = ReadRecordFile(p, RecordOpenPath(p, project, file), m_owner.ReadProgress());
    if (result == RecordOk) {
        store.AcqState = AcqRecordLoaded;
        m_owner.RefreshButtons();
        m_owner.NewPicture();
        m_owner.RebuildView();
        m_owner.RefreshStatus();
        return result;
    }
    // An earlier record's parameters may still be current; the screen is
    // empty now, so the operator's come back before a settings visit can
    // take the others for the operator's.
    ParamSet::CopyAcquisition(p, BackupParams());
    m_owner.RefreshStatus();
    m_owner.ShowMessage(RecordResultMessage(result));
    return result;
}

// --- self-check ----------------------------------------------------------------

void AcquisitionCore::SelfCheck()
{
    TraceStore &store = Store();
    if (store.LinkState != LinkUp) {
        m_link.onSockFailed();
        return;
    }
    // The dialog acquires through the link: a wait left below it would
    // refuse every one of its commands.
    if (Busy()) {
        m_owner.ShowMessage(BusyText());
        return;
    }
    ParamSet &p = CurrentParams();
    const int channels = p.ChannelsInUse();
    m_owner.RebuildView();
    for (int c = 0; c < channels; ++c)
        store.PreviousTraces[c].clear();

    // What the screen shows now, in case the new data is dropped.
    const ParamSet shownParams(p);
    const int shownState = store.AcqState;
    const bool shownSelfCheck = store.SelfCheckShown;

    p.Header.Delay = kSelfCheckDelayMs;
    p.Header.Filter = kSelfCheckFilterHz;
    p.Header.SampleInterval = kSelfCheckIntervalUs;
    p.Header.SampleLength = kSelfCheckSampleLength;
    p.Gains.fill(kSelfCheckGainDb);
    store.SelfCheckRunning = true;

    const bool kept = m_owner.RunSelfCheck(m_link);

    // The unit gets the operator's parameters back in either case; the
    // current set keeps those of the data on screen, so that self-check data
    // is never shown or saved under the operator's parameters.
    const ParamSet dataParams = kept ? ParamSet(p) : shownParams;
    if (kept) {
        for (int c = 0; c < channels; ++c)
            store.Traces[c] = store.PreviousTraces[c];
        store.SelfCheckShown = true;
        store.AcqState = AcqSelfCheckShown;
        m_pictureSaved = false;
    } else {
        store.SelfCheckShown = shownSelfCheck;
        store.AcqState = shownState;
    }
    m_owner.RefreshButtons();
    ParamSet::CopyAcquisition(p, BackupParams());
    if (store.LinkState == LinkUp)
        sendParameters();
    ParamSet::CopyAcquisition(p, dataParams);
    if (kept)
        p.MarkUnsaved(QDateTime::currentDateTime());

    store.SelfCheckRunning = false;
    m_link.SetWaiting(false);
    m_owner.SelfCheckEnded(store.AcqState == AcqSelfCheckShown);
    m_owner.RebuildView();
    m_owner.RefreshStatus(); // the fields name the parameters of the data shown
    if (kept)
        keepInJournal();
}

// --- settings and polls --------------------------------------------------------

bool AcquisitionCore::ApplySettings()
{
    m_owner.RefreshStatus();
    m_owner.RebuildView();
    TraceStore &store = Store();
    if (store.AcqState == AcqRecordLoaded || store.SelfCheckShown)
        return false;
    Clear();
    m_owner.ResetView();
    ParamSet::CopyAcquisition(BackupParams(), CurrentParams());
    // The controller runs on batteries and may be switched off without ever
    // leaving this screen: the settings go to the file at once.
    const QString saveNote = ParamSet::SaveResultText(CurrentParams().SaveSettings());
    if (!saveNote.isEmpty())
        m_owner.ShowMessage(saveNote);
    if (store.LinkState == LinkUp)
        sendParameters();
    return true;
}

int AcquisitionCore::sendParameters()
{
    LinkActiveForExchange active;
    return m_link.SetPara(false);
}

bool AcquisitionCore::mayPoll() const
{
    // A request sent while another command waits would have its reply taken
    // for that command's (a battery reply ending a data wait).
    return Store().LinkState == LinkUp && !Busy();
}

int AcquisitionCore::PollTick()
{
    if (Store().LinkState == LinkDown)
        return kNoLevel;
    int level = kNoLevel;
    const int before = m_batteryCounter;
    if (m_batteryCounter < INT_MAX)
        ++m_batteryCounter;
    if (before < 0 || before > kBatteryPollGap) {
        if (mayPoll()) {
            m_batteryCounter = 0;
            LinkActiveForExchange active;
            const int b = m_link.GetBattery();
            if (b >= 0)
                level = b;
            if (b > kBatteryRedLevel)
                m_batteryLowTold = false;
        } else if (before < 0) {
            m_batteryCounter = before; // the first poll stays due for the next tick
        }
    }
    if (CurrentParams().HardwareVersionText.isEmpty() && mayPoll()) {
        LinkActiveForExchange active;
        m_link.GetVersion();
    }
    if (level >= 0 && level <= kBatteryRedLevel && !m_batteryLowTold) {
        // Once per turn to red: the journal holds the shot, but only a saved
        // record is in the project when the power goes.
        m_batteryLowTold = true;
        m_owner.ShowMessage(BatteryLowText());
    }
    return level;
}
