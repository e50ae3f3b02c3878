// Output files of the record tool's commands as a crew meets them: a name
// that is taken, a disk that fills up, a run killed at any moment. A name
// only ever shows a complete file, and the next run clears what a killed
// one left.
#include "RecordToolRun.h"
#include "SimulatorRecord.h"
#include "support/TestProgramDir.h"

#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>


namespace {

/// A command that writes one file: its arguments, with %r for the record
/// and %o for the output folder, and the output's name in that folder.
struct Writer
{
    const char *Name;
    const char *Args;
    const char *Output;

    QStringList args(const QString &record, const QString &out) const
    {
        QStringList words = QString::fromLatin1(Args).split(QLatin1Char(' '));
        for (QString &w : words)
            w.replace(QLatin1String("%r"), record).replace(QLatin1String("%o"), out);
        return words;
    }
    QString output(const QString &out) const { return out + QLatin1Char('/') + QLatin1String(Output); }
};

const Writer kWriters[] = {
    {"filter", "filter %r --high 5 -o %o/F.QDW", "F.QDW"},
    {"convert seg2", "convert --to seg2 %r -o %o", "SHOT.sg2"},
    {"convert segy", "convert --to segy %r -o %o", "SHOT.sgy"},
    {"dispersion", "dispersion %r -o %o/D.png", "D.png"},
    {"curve", "curve %r -o %o/C.csv", "C.csv"},
};

constexpr rlim_t kFullDiskBytes = 256;

QString saveShot(int samples = 2048)
{
    ParamSet &p = CurrentParams();
    FileSimulatorShot(p, samples);
    if (SaveRecordAs(p, QStringLiteral("SHOT")) != RecordOk)
        return QString();
    return RecordSavePath(p, QStringLiteral("SHOT"));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.zebpart")}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestRecordToolOutput : public QObject
{
    Q_OBJECT

private slots:
    void helpListsTheExitCodes()
    {
        const ToolRun help = RunRecordTool({QStringLiteral("--help")});
        QCOMPARE(help.Code, 0);
        for (const char *line : {"   4  a SEG-2, SEG-Y or SU file", "  73  an output exists already",
                                 "  74  an output could not be written"})
            QVERIFY2(help.Out.contains(line), line);
        const ToolRun wrong = RunRecordTool({QStringLiteral("show")});
        QCOMPARE(wrong.Code, 64);
        QVERIFY(wrong.Err.contains(QStringLiteral("--help")));
    }

    void takenNamesAndFullDisksLeaveNothingUnderTheName_data()
    {
        QTest::addColumn<int>("which"); // in kWriters
        for (int i = 0; i < int(std::size(kWriters)); ++i)
            QTest::newRow(kWriters[i].Name) << i;
        QTest::newRow("dispersion onto its own record") << -1;
    }

    void takenNamesAndFullDisksLeaveNothingUnderTheName()
    {
        QFETCH(int, which);
        TestProgramDir dir;
        const QString record = saveShot();
        QVERIFY(!record.isEmpty());
        const QString out = dir.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        const Writer &w = which < 0 ? Writer{"", "dispersion %r -o %r", ""} : kWriters[which];
        const QStringList args = w.args(record, out);
        const QString taken = which < 0 ? record : w.output(out);
        if (which >= 0)
            QVERIFY(WriteBytes(taken, "mine"));
        const QByteArray before = readAll(taken);
        const ToolRun r = RunRecordTool(args);
        QCOMPARE(r.Code, 73);
        QVERIFY2(r.Err.contains(QStringLiteral("exists already")), qPrintable(r.Err));
        QCOMPARE(readAll(taken), before);
        QVERIFY(temporaries(QFileInfo(taken).absolutePath()).isEmpty());
        if (which < 0)
            return;

        // The name free, the disk full below any of the outputs of a 24-channel shot.
        QVERIFY(QFile::remove(taken));
        const ToolRun full = WithFileSizeLimit(kFullDiskBytes, [&] { return RunRecordTool(args); });
        QCOMPARE(full.Code, 74);
        // A write that failed is the disk's fault: the record is never called refused.
        QVERIFY2(!full.Err.contains(QRegularExpression(QStringLiteral("\\b[1-9][0-9]* refused"))), qPrintable(full.Err));
        QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // The same command with room to spare writes the file.
        QCOMPARE(RunRecordTool(args).Code, 0);
        QVERIFY(QFileInfo(w.output(out)).size() > qint64(kFullDiskBytes));
    }

    // A run clears what dead writers left, never a file another writer is still filling.
    void onlyTemporariesOfDeadWritersAreRemoved()
    {
        TestProgramDir dir;
        // Above any process id Linux hands out (pid_max is at most 2^22).
        const QString dead = QStringLiteral("2147483646");
        const QString alive = QString::number(QCoreApplication::applicationPid());
        const QStringList names{QStringLiteral(".A.sg2.") + dead + QStringLiteral("-0badc0de.zebpart"),
                                QStringLiteral(".B.sg2.0badc0de.zebpart"),
                                QStringLiteral(".C.sg2.") + alive + QStringLiteral("-0badc0de.zebpart"),
                                QStringLiteral(".D.sg2.keep"), QStringLiteral("E.zebpart")};
        for (const QString &name : names)
            QVERIFY(WriteBytes(dir.file(name), "part"));
        RemoveStaleTemporaries(dir.path());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{names[2], names[3], names[4]}));
    }

    void killedRunsNeverLeaveAPartialFile()
    {
        TestProgramDir dir;
        const QString record = saveShot(16384);
        QVERIFY(!record.isEmpty());
        const QString reference = dir.file(QStringLiteral("reference"));
        const QString out = dir.file(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(reference) && QDir().mkpath(out));
        // Each command's complete output, and how long a whole run takes: the
        // kills fall anywhere from the start to the end of a run.
        QList<qint64> runMs;
        for (const Writer &w : kWriters) {
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(RunRecordTool(w.args(record, reference)).Code, 0);
            runMs << timer.elapsed();
        }

        QRandomGenerator random(20240611);
        const int kills = 20;
        int finished = 0;
        int cutShort = 0;
        for (int k = 0; k < kills; ++k) {
            const int which = k % int(std::size(kWriters));
            const Writer &w = kWriters[which];
            QProcess p;
            p.start(QStringLiteral(ZEB_RECORD_TOOL), w.args(record, out));
            QVERIFY(p.waitForStarted(ScaledTimeout(10000)));
            // Its own temporary, by the process id in the name; killed runs before it left theirs.
            const QString pid = QString::number(p.processId());
            const auto writing = [&] {
                return temporaries(out).filter(QRegularExpression(QStringLiteral("\\.%1-[0-9a-f]+\\.zebpart$").arg(pid)));
            };
            // Every other kill falls anywhere in the run; the others while the
            // output is being written, which a run spends little of its time on.
            if (k % 2 == 0) {
                QThread::msleep(random.bounded(quint32(runMs[which] + 1)));
            } else {
                // waitForFinished(0) notices the tool's end, which state()
                // alone never does without an event loop.
                QElapsedTimer patience;
                patience.start();
                while (writing().isEmpty() && !p.waitForFinished(0) && patience.elapsed() < ScaledTimeout(10000))
                    QThread::usleep(100);
                QThread::usleep(random.bounded(2000u));
            }
            p.kill();
            QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(ScaledTimeout(10000)));
            cutShort += writing().isEmpty() ? 0 : 1;
            const QString output = w.output(out);
            if (QFileInfo::exists(output)) {
                QVERIFY2(readAll(output) == readAll(w.output(reference)), w.Name);
                QVERIFY(QFile::remove(output));
                ++finished;
            }
        }
        // Where the kills fell, for the log: how many runs had finished, how many left temporaries.
        qInfo("of %d killed runs, %d had finished and %d were cut short while writing", kills, finished, cutShort);
        // Each command once more, to the end: complete files, and nothing left
        // of the killed runs.
        for (const Writer &w : kWriters) {
            QCOMPARE(RunRecordTool(w.args(record, out)).Code, 0);
            QCOMPARE(readAll(w.output(out)), readAll(w.output(reference)));
        }
        QCOMPARE(temporaries(out), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRecordToolOutput)
#include "tst_recordtooloutput.moc"
