// Every shot kept: automatic saving over many shots with the unit simulator,
// the journal of unsaved pictures seen from the acquisition logic (what comes
// back after the program is gone, what the operator is told when the journal
// cannot write), and a failed automatic save.
#include "ExpectedTrace.h"
#include "UnitSimulator.h"
#include "instrument/AcquisitionCore.h"
#include "instrument/AcquisitionOwner.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"
#include "records/RecordFile.h"
#include "records/ShotJournal.h"
#include "support/FakePlatform.h"
#include "support/SimulatorShot.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <cmath>

namespace {

struct NotingOwner : AcquisitionOwner
{
    QStringList messages;
    QStringList notes;
    int rebuilds = 0;

    void RefreshButtons() override {}
    void CloseByAccept() override {}
    void HideBanner() override {}
    void ShowLinkFailure(const QString &) override {}
    void CloseLinkDialog() override {}
    void ShowMessage(const QString &text) override { messages << text; }
    void ShowTitle(int) override {}
    void RebuildView() override { ++rebuilds; }
    void ResetView() override {}
    void RefreshStatus() override {}
    void TriggerSeen() override {}
    void SequenceEnded() override {}
    void Cleared() override {}
    bool RunSelfCheck(InstrumentLink &) override { return false; }
    void SelfCheckEnded(bool) override {}
    RecordProgress *ReadProgress() override { return nullptr; }
    void ShowStatusNote(const QString &text) override { notes << text; }
};

bool near(const QVector<float> &a, const QVector<float> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (std::fabs(a[i] - b[i]) > 1e-5f * std::max(1.0f, std::fabs(b[i])))
            return false;
    return true;
}

/// Puts a file where a folder must go, so that nothing can be written below it.
bool BlockWithFile(const QString &path)
{
    QFile blocker(path);
    return blocker.open(QIODevice::WriteOnly);
}

TraceSet screenTraces(int channels)
{
    TraceSet t;
    for (int c = 0; c < channels; ++c)
        t[c] = Store().Traces[c];
    return t;
}

} // namespace

class TstShotKeeping : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void automaticSavingOverManyShots();
    void tenUnsavedShotsAllComeBack();
    void failedWriteToldOnceAndTheShotStays_data();
    void failedWriteToldOnceAndTheShotStays();
    void fullDiskIsNamed();
    void redBatteryToldOncePerTurn();

private:
    void openCore();
    void shoot();
    bool screenShowsTheUnitsShot() const;

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
    std::unique_ptr<NotingOwner> m_owner;
    std::unique_ptr<InstrumentLink> m_link;
    std::unique_ptr<AcquisitionCore> m_core;
};

void TstShotKeeping::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    CurrentParams().LoadSettings();
    m_sim = StartLoopbackUnit(5);
    QVERIFY(m_sim);
    UseShortShots();
    openCore();
}

void TstShotKeeping::openCore()
{
    m_core.reset();
    m_link.reset();
    m_owner = std::make_unique<NotingOwner>();
    m_link = std::make_unique<InstrumentLink>(m_owner.get());
    m_core = std::make_unique<AcquisitionCore>(*m_link, *m_owner);
    QVERIFY(ConnectAndWait(*m_link));
}

void TstShotKeeping::cleanup()
{
    m_core.reset();
    m_link.reset();
    m_owner.reset();
    m_sim.reset();
    m_dir.reset();
}

void TstShotKeeping::shoot()
{
    m_core->Sample();
    QCOMPARE(Store().AcqState, int(AcqSampled));
}

bool TstShotKeeping::screenShowsTheUnitsShot() const
{
    for (int c = 1; c <= 12; ++c)
        if (!near(Store().Traces[c - 1], ExpectedTrace(*m_sim, c, CurrentParams())))
            return false;
    return true;
}

void TstShotKeeping::automaticSavingOverManyShots()
{
    CurrentPreferences().AutoSave = true;
    constexpr int kShots = 100;
    const int channels = CurrentParams().ChannelsInUse();
    QList<TraceSet> sent;
    for (int s = 0; s < kShots; ++s) {
        shoot();
        TraceSet unit;
        for (int c = 1; c <= channels; ++c)
            unit[c - 1] = ExpectedTrace(*m_sim, c, CurrentParams());
        sent << unit;
        // The shot stays on screen, named on the status line, no box; the
        // screen is open as after a save, and Save would only write a copy.
        QVERIFY(!Store().Traces[0].isEmpty());
        QCOMPARE(m_owner->notes.size(), s + 1);
        const auto open = CommandStatesFor(Store().AcqState, true, m_core->PictureSaved());
        QVERIFY(open && !open->Save && open->Exit && open->Set && open->Read && open->Sample && open->Add);
    }
    QCOMPARE(m_owner->messages, QStringList());
    QCOMPARE(m_owner->notes.last(), QStringLiteral("已自动保存:0100"));

    QStringList expectedNames;
    for (int s = 1; s <= kShots; ++s)
        expectedNames << QStringLiteral("%1.QDW").arg(s, 4, 10, QLatin1Char('0'));
    QCOMPARE(QDir(CurrentParams().ProjectFolderPath()).entryList(QDir::Files, QDir::Name), expectedNames);
    for (int s = 0; s < kShots; ++s) {
        QByteArray bytes;
        QCOMPARE(LoadRecordBytes(CurrentParams().ProjectFolderPath() + QLatin1Char('/') + expectedNames[s], bytes),
                 int(RecordOk));
        const ParsedRecord record = ParseRecord(bytes);
        QCOMPARE(record.Result, int(RecordOk));
        QCOMPARE(int(record.Traces.size()), channels);
        for (int c = 0; c < channels; ++c)
            QVERIFY2(near(record.Traces[size_t(c)], sent[s][c]), qPrintable(QStringLiteral("shot %1 channel %2").arg(s + 1).arg(c + 1)));
    }
    // Saved pictures are not offered back.
    m_core->Journal().WaitIdle();
    QVERIFY(!m_core->UnsavedJournalEntry());
    // A stacked shot is the operator's to save again.
    m_core->StartStacking({});
    shoot();
    QVERIFY(!m_core->PictureSaved());
    QCOMPARE(m_owner->notes.size(), kShots);
}

void TstShotKeeping::tenUnsavedShotsAllComeBack()
{
    QList<TraceSet> shown;
    for (int s = 0; s < 10; ++s) {
        shoot();
        shown << screenTraces(CurrentParams().ChannelsInUse());
    }
    // The program goes (its journal finishes what it was handed) and comes back.
    openCore();
    Store().Reset();
    Store().LinkState = LinkUp;
    const std::optional<JournalEntry> newest = m_core->UnsavedJournalEntry();
    QVERIFY(newest);
    QCOMPARE(m_core->RestoreFromJournal(*newest), int(RecordOk));
    QCOMPARE(screenTraces(12), shown.last());
    QCOMPARE(Store().AcqState, int(AcqSampled));

    // Every one of the ten, from the journal's project, bit for bit.
    const QList<JournalEntry> entries = ShotJournal::WholeEntries(JournalFolderPath(), true);
    QCOMPARE(entries.size(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(m_core->Read(JournalProjectName(), entries[i].Name), int(RecordOk));
        QCOMPARE(screenTraces(12), shown[9 - i]);
    }
    // Saved into the operator's project; its entry is no longer unsaved.
    CurrentParams().Header.ProjectName = QStringLiteral("WRONG");
    QCOMPARE(m_core->Read(JournalProjectName(), entries[0].Name), int(RecordOk));
    QCOMPARE(m_core->Save(QStringLiteral("BACK")), int(RecordOk));
    QVERIFY(QFile::exists(CurrentParams().ProjectFolderPath() + QStringLiteral("/BACK.QDW")));
    QVERIFY(CurrentParams().ProjectFolderPath().contains(BackupParams().Header.ProjectName));
    m_core->Journal().WaitIdle();
    QCOMPARE(ShotJournal::WholeEntries(JournalFolderPath(), true).size(), 9);
    QVERIFY(!m_core->UnsavedJournalEntry());
}

void TstShotKeeping::failedWriteToldOnceAndTheShotStays_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<int>("shots");
    QTest::newRow("journal cannot write, three shots") << false << 3;
    QTest::newRow("automatic save cannot write") << true << 1;
}

void TstShotKeeping::failedWriteToldOnceAndTheShotStays()
{
    QFETCH(bool, autoSave);
    QFETCH(int, shots);
    CurrentPreferences().AutoSave = autoSave;
    // The folder the write needs is a file.
    QVERIFY(BlockWithFile(autoSave ? CurrentParams().ProjectFolderPath() : JournalFolderPath()));
    for (int s = 0; s < shots; ++s) {
        shoot();
        m_core->Journal().WaitIdle();
        QCoreApplication::processEvents(); // the journal's report reaches the logic
        QVERIFY(screenShowsTheUnitsShot());
    }
    QCOMPARE(m_owner->messages,
             QStringList{autoSave ? AcquisitionCore::AutoSaveFailedText() : AcquisitionCore::JournalFailedText()});
    QCOMPARE(m_owner->notes, QStringList());
    QVERIFY(CurrentParams().IsUnsaved()); // no record name claimed for the kept shot
    // A journal that could write holds it, unsaved.
    QCOMPARE(bool(m_core->UnsavedJournalEntry()), autoSave);
}

void TstShotKeeping::fullDiskIsNamed()
{
    // The journal meets a disk that fills up in the middle of its write.
    ScopedFakePlatform platform;
    platform->FailFileStep(FakePlatform::FileStep::Write, 1, true);
    shoot();
    m_core->Journal().WaitIdle();
    QTRY_COMPARE(m_owner->messages.size(), 1);
    QCOMPARE(m_owner->messages.first(), QStringLiteral("磁盘空间不足，无法备份未保存的数据！"));

    // Then the automatic save does (the journal, kept out of the way, has told already).
    QVERIFY(QDir(JournalFolderPath()).removeRecursively());
    QVERIFY(BlockWithFile(JournalFolderPath()));
    CurrentPreferences().AutoSave = true;
    platform->FailFileStep(FakePlatform::FileStep::Write, 1, true);
    shoot();
    m_core->Journal().WaitIdle();
    QCoreApplication::processEvents();
    QCOMPARE(m_owner->messages, (QStringList{QStringLiteral("磁盘空间不足，无法备份未保存的数据！"),
                                             QStringLiteral("自动保存失败，磁盘空间不足，数据仍在屏幕上！")}));
    QVERIFY(!Store().Traces[0].isEmpty());
    QVERIFY(!m_core->PictureSaved());
    QCOMPARE(QDir(CurrentParams().ProjectFolderPath()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TstShotKeeping::redBatteryToldOncePerTurn()
{
    constexpr int kTicksBetweenPolls = 61;
    const auto tick = [this](int ticks) {
        for (int t = 0; t < ticks; ++t)
            m_core->PollTick();
    };
    m_sim->SetBattery(kBatteryRedLevel);
    tick(1);
    QCOMPARE(m_owner->messages, QStringList{AcquisitionCore::BatteryLowText()});
    tick(2 * kTicksBetweenPolls); // still red: not again
    QCOMPARE(m_owner->messages.size(), 1);
    m_sim->SetBattery(kBatteryRedLevel + 1);
    tick(kTicksBetweenPolls);
    m_sim->SetBattery(kBatteryRedLevel - 1);
    tick(kTicksBetweenPolls);
    QCOMPARE(m_owner->messages.size(), 2);
}

QTEST_GUILESS_MAIN(TstShotKeeping)
#include "tst_shotkeeping.moc"
