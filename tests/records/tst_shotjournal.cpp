// The journal of unsaved shots on its own: what it keeps, that damaged
// entries are never taken for data, that a failure at any step of a write
// leaves no entry behind, and that a program killed while writing leaves
// only whole entries.
#include "RecordTestUtil.h"
#include "params/ParamSet.h"
#include "records/RecordFormat.h"
#include "records/ShotJournal.h"
#include "support/FakePlatform.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

const char kWriterOption[] = "--journal-writer";

/// A picture that only seed makes: the same seed, the same bits.
JournalPicture pictureFor(quint64 seed, int channels = 12, int samples = 256)
{
    QRandomGenerator rng(quint32(seed * 2654435761u));
    JournalPicture p;
    p.Blocks.Header.ChannelCount = channels;
    p.Blocks.Header.SampleLength = samples;
    p.Blocks.Header.Date = QStringLiteral("2024-05-17");
    p.Blocks.Header.Time = QStringLiteral("10:%1:00").arg(seed % 60, 2, 10, QLatin1Char('0'));
    p.Blocks.Gains.fill(24);
    p.StackCount = int(seed % 7);
    for (int c = 0; c < channels; ++c) {
        p.Traces[c].resize(samples);
        for (float &v : p.Traces[c])
            v = float(rng.generateDouble() * 2e4 - 1e4);
    }
    return p;
}

/// What a picture is, bit for bit: the record it makes.
QByteArray bitsOf(const JournalPicture &p)
{
    return EncodeRecord(p.Blocks, p.Traces) + QByteArray::number(p.StackCount);
}

QDateTime takenAt(quint64 seq)
{
    return QDateTime(QDate(2024, 5, 17), QTime(10, 0)).addSecs(qint64(seq));
}

QList<quint64> sequences(const QList<JournalEntry> &entries)
{
    QList<quint64> out;
    for (const JournalEntry &e : entries)
        out << e.Sequence;
    return out;
}

/// The child the kill test starts: writes entries into folder for ever,
/// saying each sequence once it is whole; every third is then marked saved.
int runWriter(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ShotJournal journal(QString::fromLocal8Bit(argv[2]));
    for (;;) {
        const quint64 seq = journal.NextSequence();
        journal.Record(pictureFor(seq, 24, 4096), takenAt(seq));
        journal.WaitIdle();
        if (seq % 3 == 0) {
            journal.MarkSaved(seq);
            journal.WaitIdle();
        }
        std::printf("%llu\n", static_cast<unsigned long long>(seq));
        std::fflush(stdout);
    }
}

} // namespace

class TstShotJournal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keepsTheNewestUnsavedPictures();
    void keepsWithinItsByteLimit();
    void damagedEntriesAreNeverData_data();
    void damagedEntriesAreNeverData();
    void aFailedStepLeavesNoEntry_data();
    void aFailedStepLeavesNoEntry();
    void aFolderThatIsAFile();
    void killedWhileWriting();

private:
    QString folder() const { return m_dir->file(QStringLiteral("QDW-JOURNAL")); }
    std::unique_ptr<TestProgramDir> m_dir;
};

void TstShotJournal::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    QCOMPARE(JournalFolderPath(), folder()); // beside the data folder, not in it
}

void TstShotJournal::cleanup()
{
    m_dir.reset();
}

void TstShotJournal::keepsTheNewestUnsavedPictures()
{
    {
        ShotJournal journal(folder());
        QSignalSpy written(&journal, &ShotJournal::Written);
        for (quint64 s = 1; s <= 13; ++s)
            QCOMPARE(journal.Record(pictureFor(s), takenAt(s)), s);
        journal.WaitIdle();
        QTRY_COMPARE(written.count(), 13);
        QCOMPARE(sequences(ShotJournal::WholeEntries(folder(), true)),
                 (QList<quint64>{13, 12, 11, 10, 9, 8, 7, 6, 5, 4}));
        JournalPicture back;
        QCOMPARE(ShotJournal::ReadEntry(ShotJournal::ListEntries(folder()).first().Path, back), int(RecordOk));
        QCOMPARE(bitsOf(back), bitsOf(pictureFor(13)));
        QCOMPARE(ShotJournal::ListEntries(folder()).first().Name, QStringLiteral("0517-100013-13"));

        // Saved: the newest stays, marked, and no longer counts as unsaved.
        journal.MarkSaved(13);
        journal.WaitIdle();
        QVERIFY(ShotJournal::ListEntries(folder()).first().Saved);
        QCOMPARE(ShotJournal::WholeEntries(folder(), true).size(), 9);
        // Once a newer picture comes, a saved entry has done its work.
        journal.Record(pictureFor(14), takenAt(14));
        journal.WaitIdle();
        QCOMPARE(sequences(ShotJournal::ListEntries(folder())),
                 (QList<quint64>{14, 12, 11, 10, 9, 8, 7, 6, 5, 4}));
    }
    // A journal opened again goes on numbering where the last one stopped.
    ShotJournal again(folder());
    QCOMPARE(again.NextSequence(), quint64(15));
}

void TstShotJournal::keepsWithinItsByteLimit()
{
    const qint64 entrySize = 36 + bitsOf(pictureFor(1)).size() - 1;
    {
        ShotJournal journal(folder(), entrySize * 5 / 2);
        for (quint64 s = 1; s <= 4; ++s)
            journal.Record(pictureFor(s), takenAt(s));
        journal.WaitIdle();
        QCOMPARE(sequences(ShotJournal::WholeEntries(folder(), false)), (QList<quint64>{4, 3}));
    }
    // The newest is kept even when it alone is over the limit.
    ShotJournal tight(folder(), entrySize / 2);
    tight.Record(pictureFor(5), takenAt(5));
    tight.WaitIdle();
    QCOMPARE(sequences(ShotJournal::WholeEntries(folder(), false)), (QList<quint64>{5}));
}

void TstShotJournal::damagedEntriesAreNeverData_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("at"); // offset; negative counts from the end
    QTest::newRow("empty") << "cut" << 0;
    QTest::newRow("cut in the mark") << "cut" << 5;
    QTest::newRow("cut after the entry header") << "cut" << 36;
    QTest::newRow("cut in the record header") << "cut" << 36 + 300;
    QTest::newRow("one byte short") << "cut" << -1;
    QTest::newRow("a byte too many") << "append" << 0;
    QTest::newRow("stack count changed") << "flip" << 24;
    QTest::newRow("checksum changed") << "flip" << 33;
    QTest::newRow("a sample changed") << "flip" << -3;
    QTest::newRow("not a journal entry") << "flip" << 0;
    QTest::newRow("a folder bearing its name") << "folder" << 0;
}

void TstShotJournal::damagedEntriesAreNeverData()
{
    QFETCH(QString, damage);
    QFETCH(int, at);
    {
        ShotJournal journal(folder());
        journal.Record(pictureFor(1), takenAt(1));
        journal.Record(pictureFor(2), takenAt(2));
    }
    const QString path = ShotJournal::ListEntries(folder()).first().Path;
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    const qint64 pos = at < 0 ? size + at : at;
    if (damage == QLatin1String("cut")) {
        QVERIFY(f.resize(pos));
    } else if (damage == QLatin1String("append")) {
        QVERIFY(f.seek(size) && f.write("x", 1) == 1);
    } else if (damage == QLatin1String("flip")) {
        QVERIFY(f.seek(pos));
        char c = 0;
        QVERIFY(f.getChar(&c) && f.seek(pos) && f.putChar(char(c ^ 0x10)));
    } else {
        f.close();
        QVERIFY(f.remove() && QDir().mkdir(path));
    }
    f.close();

    JournalPicture back = pictureFor(99);
    const QByteArray untouched = bitsOf(back);
    QVERIFY(ShotJournal::ReadEntry(path, back) != RecordOk);
    QCOMPARE(bitsOf(back), untouched);
    // The newest whole entry is the one before.
    QCOMPARE(sequences(ShotJournal::WholeEntries(folder(), true)), (QList<quint64>{1}));
}

void TstShotJournal::aFailedStepLeavesNoEntry_data()
{
    using Step = FakePlatform::FileStep;
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("create") << int(Step::Create) << 1 << false;
    QTest::newRow("writing the entry header") << int(Step::Write) << 1 << false;
    QTest::newRow("writing the record") << int(Step::Write) << 2 << false;
    QTest::newRow("disk full in the record") << int(Step::Write) << 2 << true;
    QTest::newRow("disk full, second megabyte") << int(Step::Write) << 3 << true;
    QTest::newRow("flush") << int(Step::Sync) << 1 << false;
    QTest::newRow("rename") << int(Step::Rename) << 1 << false;
}

void TstShotJournal::aFailedStepLeavesNoEntry()
{
    QFETCH(int, step);
    QFETCH(int, occurrence);
    QFETCH(bool, diskFull);
    ScopedFakePlatform platform;
    ShotJournal journal(folder());
    journal.WaitIdle();
    QSignalSpy written(&journal, &ShotJournal::Written);
    QSignalSpy failed(&journal, &ShotJournal::Failed);
    platform->FailFileStep(FakePlatform::FileStep(step), occurrence, diskFull);
    // Large enough for a record of more than one write (24 × 16384 samples).
    journal.Record(pictureFor(1, 24, 16384), takenAt(1));
    journal.WaitIdle();
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(1).toBool(), diskFull); // the operator hears which
    QCOMPARE(written.count(), 0);
    QCOMPARE(platform->FileStepCalls(FakePlatform::FileStep(step)), occurrence);
    // No entry, no temporary, hidden or not.
    QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    platform->ClearFileFault();
    journal.Record(pictureFor(2), takenAt(2));
    journal.WaitIdle();
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(sequences(ShotJournal::WholeEntries(folder(), true)), (QList<quint64>{2}));
}

void TstShotJournal::aFolderThatIsAFile()
{
    QFile blocker(folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("mine") == 4);
    blocker.close();
    ShotJournal journal(folder());
    QSignalSpy failed(&journal, &ShotJournal::Failed);
    journal.Record(pictureFor(1), takenAt(1));
    journal.MarkSaved(1);
    journal.WaitIdle();
    QTRY_COMPARE(failed.count(), 1);
    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("mine"));
    QVERIFY(ShotJournal::ListEntries(folder()).isEmpty());
}

void TstShotJournal::killedWhileWriting()
{
    QRandomGenerator rng(2024);
    constexpr int kRuns = 50;
    constexpr int kLongestDelayUs = 30000;
    quint64 lastReported = 0;
    for (int run = 0; run < kRuns; ++run) {
        // Once the first entry of this run is whole, the kill falls at a
        // random moment of the writes, renames and prunes that follow.
        QList<QByteArray> printed;
        QVERIFY(KilledAtRandomMoment(kWriterOption, folder(), rng, kLongestDelayUs, &printed));
        if (!printed.isEmpty())
            lastReported = printed.last().toULongLong();

        const QList<JournalEntry> entries = ShotJournal::ListEntries(folder());
        QVERIFY(!entries.isEmpty());
        JournalPicture p;
        for (const JournalEntry &e : entries)
            QVERIFY2(ShotJournal::ReadEntry(e.Path, p) == RecordOk, qPrintable(e.Path));
        // What was reported whole is there; the newest restores bit for bit.
        QVERIFY2(entries.first().Sequence >= lastReported, qPrintable(QString::number(run)));
        QVERIFY(ShotJournal::ReadEntry(entries.first().Path, p) == RecordOk);
        QCOMPARE(bitsOf(p), bitsOf(pictureFor(entries.first().Sequence, 24, 4096)));
        QVERIFY(entries.size() <= kJournalUnsavedEntries + 1);
    }
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], kWriterOption) == 0)
        return runWriter(argc, argv);
    QCoreApplication app(argc, argv);
    TstShotJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shotjournal.moc"
