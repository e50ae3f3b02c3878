#include "records/ProjectDeletion.h"
#include "records/ProjectExport.h"
#include "records/SafeWriteBatch.h"

#include "ProjectTestUtil.h"
#include "RecordBytes.h"
#include "params/ParamSet.h"
#include "records/RecordConvert.h"
#include "support/FakePlatform.h"
#include "support/TestProgramDir.h"

#include <QtTest>

namespace {

// Every character a shell would make something of, and Chinese.
const QString kAwkwardName = QStringLiteral("工地 \"q\" 'a';$(touch X)`touch Y`");
const QString kAwkwardStick = QStringLiteral("U盘 \"MY DATA\" ;$(touch X)");

// Records of different sizes, each with its own profile number.
QByteArray recordBytes(int i)
{
    RecordBytes record;
    record.Samples = 16 + 3 * i;
    record.Texts[3] = QByteArray::number(i);
    return record.Build();
}

QMap<QString, QByteArray> recordFiles(int count)
{
    QMap<QString, QByteArray> files;
    for (int i = 1; i <= count; ++i)
        files.insert(QStringLiteral("R%1.QDW").arg(i), recordBytes(i));
    return files;
}

/// The SEG-2 file the export must write for every record of folder, by name.
QMap<QString, QByteArray> seg2Files(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList({"*.QDW"}, QDir::Files)) {
        QByteArray bytes;
        Seg2FromRecordFile(folder + "/" + name, bytes);
        files.insert(ExchangeFileName(name, ExchangeFormat::Seg2), bytes);
    }
    return files;
}

QMap<QString, QByteArray> readFolder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(folder + "/" + name);
        if (f.open(QIODevice::ReadOnly))
            files.insert(name, f.readAll());
    }
    return files;
}

} // namespace

Q_DECLARE_METATYPE(ProjectTaskResult)

class TstProjectTasks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestProgramDir> m_program;
    std::unique_ptr<QTemporaryDir> m_outside; ///< holds the stick and anything a shell would create
    std::unique_ptr<ScopedFakePlatform> m_platform;
    QString m_stick;
    QString m_source;
    QString m_target;
    QString m_seg2;

    ProjectTaskResult exportProject(RecordingObserver &observer, const QString &project = kAwkwardName)
    {
        ProjectExport task(CurrentParams(), project, observer);
        return task.Run();
    }

private slots:
    void init()
    {
        m_program = std::make_unique<TestProgramDir>();
        CurrentParams().LoadSettings();
        m_outside = std::make_unique<QTemporaryDir>();
        m_stick = m_outside->filePath(kAwkwardStick);
        QVERIFY(QDir().mkpath(m_stick));
        m_platform = std::make_unique<ScopedFakePlatform>();
        (*m_platform)->SetUsbStick(m_stick);
        m_source = CurrentParams().DataRoot + "/" + kAwkwardName + ".PRO";
        m_target = m_stick + "/" + kAwkwardName + ".PRO";
        m_seg2 = m_stick + "/" + kAwkwardName + ".SG2";
        QVERIFY(MakeFolderWith(m_source, recordFiles(7)));
    }

    void cleanup()
    {
        m_platform.reset();
        m_outside.reset();
        m_program.reset();
    }

    void exportCopiesEveryByteAndNothingElse()
    {
        QVERIFY(WriteBytes(m_source + "/notes", "no extension: not part of the project's files"));
        QVERIFY(QDir().mkpath(m_source + "/sub.QDW"));
        RecordingObserver observer;
        QCOMPARE(exportProject(observer), ProjectTaskResult::Done);
        QCOMPARE(readFolder(m_target), recordFiles(7));
        const QMap<QString, QByteArray> seg2 = seg2Files(m_source);
        QCOMPARE(seg2.size(), 7);
        QVERIFY(!seg2.first().isEmpty());
        QCOMPARE(readFolder(m_seg2), seg2);
        QCOMPARE(observer.Questions, 0);
        QCOMPARE(observer.Label, QStringLiteral("文件导出中..."));
        QCOMPARE(observer.Values, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
        QCOMPARE(observer.Finishes, 1);
        QCOMPARE((*m_platform)->Flushes(), QStringList{m_stick});
        QVERIFY((*m_platform)->Commands().isEmpty());
        // The copies keep the records' times; no shell ran the names.
        QCOMPARE(QFileInfo(m_target + "/R3.QDW").lastModified(), QFileInfo(m_source + "/R3.QDW").lastModified());
        const auto all = Snapshot(m_outside->path()).keys() + Snapshot(m_program->path()).keys()
            + QDir::current().entryList();
        for (const QString &path : all)
            QVERIFY2(QFileInfo(path).fileName() != "X" && QFileInfo(path).fileName() != "Y", qPrintable(path));
        QCOMPARE(Snapshot(m_outside->path()).size(), 1 + 2 + 2 * 7); // stick, two folders, their files
    }

    void existingCopyIsLeftAloneOrReplacedAsAnswered()
    {
        const QString leftover = ".R1.QDW.0123abcd.zebpart"; // from an export cut short
        QMap<QString, QByteArray> old{{"R1.QDW", "old one"}, {"R2.QDW", "old two"}, {"EXTRA.QDW", "extra"},
                                      {leftover, "half a record"}};
        QVERIFY(MakeFolderWith(m_target, old));
        QVERIFY(MakeFolderWith(m_seg2, {{"R1.sg2", "old seg2"}}));
        for (const QString &name : old.keys())
            QVERIFY(SetModified(m_target + "/" + name, 1000000));
        const auto before = Snapshot(m_stick);

        RecordingObserver no;
        no.OverwriteAnswer = false;
        QCOMPARE(exportProject(no), ProjectTaskResult::Declined);
        QCOMPARE(no.Questions, 1);
        QCOMPARE(no.Maximum, -1); // no progress window
        QCOMPARE(Snapshot(m_stick), before);
        QVERIFY((*m_platform)->Flushes().isEmpty());

        RecordingObserver yes;
        QCOMPARE(exportProject(yes), ProjectTaskResult::Done);
        QMap<QString, QByteArray> expected = recordFiles(7);
        expected.insert("EXTRA.QDW", "extra");
        QCOMPARE(readFolder(m_target), expected);
        QCOMPARE(readFolder(m_seg2), seg2Files(m_source));

        // The SEG-2 copies alone are the project on the stick as much.
        QVERIFY(QDir(m_target).removeRecursively());
        RecordingObserver seg2Only;
        seg2Only.OverwriteAnswer = false;
        QCOMPARE(exportProject(seg2Only), ProjectTaskResult::Declined);
        QCOMPARE(seg2Only.Questions, 1);
        QVERIFY(!QFileInfo::exists(m_target));
    }

    // Whatever fails, the operator never hears of success, the files that
    // were on the stick before are either the new ones or intact, no
    // temporary file is left and the progress window is closed. The SEG-2
    // files follow the records' in a step of their own.
    void failuresKeepTheOldFiles_data()
    {
        QTest::addColumn<QString>("failure");
        // Records and SEG-2 files from these on keep their old bytes.
        QTest::addColumn<int>("recordsUntouched");
        QTest::addColumn<int>("seg2Untouched");
        QTest::addColumn<ProjectTaskResult>("result");
        const auto failed = ProjectTaskResult::Failed;
        QTest::newRow("directory where a record goes") << "directory" << 4 << 1 << failed;
        // Still in the batch of the first four: none of them is renamed.
        QTest::newRow("source turns unreadable at the 5th file") << "source" << 1 << 1 << failed;
        QTest::newRow("too little room") << "room" << 1 << 1 << ProjectTaskResult::NoRoom;
        QTest::newRow("flush fails") << "flush" << 8 << 8 << failed;
        QTest::newRow("directory where a SEG-2 file goes") << "seg2 directory" << 8 << 4 << failed;
        // Writes on the stick, through the platform: all records go in one batch.
        QTest::newRow("a write fails") << "write" << 1 << 1 << failed;
        QTest::newRow("the stick fills up") << "full" << 1 << 1 << ProjectTaskResult::NoRoom;
    }
    void failuresKeepTheOldFiles()
    {
        QFETCH(QString, failure);
        QFETCH(int, recordsUntouched);
        QFETCH(int, seg2Untouched);
        QFETCH(ProjectTaskResult, result);
        QMap<QString, QByteArray> oldRecords;
        QMap<QString, QByteArray> oldSeg2;
        for (int i = 1; i <= 7; ++i) {
            oldRecords.insert(QStringLiteral("R%1.QDW").arg(i), "old " + QByteArray::number(i));
            oldSeg2.insert(QStringLiteral("R%1.sg2").arg(i), "old SEG-2 " + QByteArray::number(i));
        }
        QVERIFY(MakeFolderWith(m_target, oldRecords));
        QVERIFY(MakeFolderWith(m_seg2, oldSeg2));
        RecordingObserver observer;
        QString inTheWay;
        if (failure == "directory" || failure == "seg2 directory") {
            QMap<QString, QByteArray> &old = failure == "directory" ? oldRecords : oldSeg2;
            const QString name = failure == "directory" ? "R4.QDW" : "R4.sg2";
            inTheWay = (failure == "directory" ? m_target : m_seg2) + "/" + name;
            QVERIFY(QFile::remove(inTheWay));
            QVERIFY(QDir().mkpath(inTheWay + "/inside"));
            old.remove(name);
        } else if (failure == "source") {
            observer.OnProgress = [this](int value) {
                if (value == 4) { // about to copy R5
                    QFile::remove(m_source + "/R5.QDW");
                    QDir().mkpath(m_source + "/R5.QDW");
                }
            };
        } else if (failure == "room") {
            (*m_platform)->SetFreeBytes(1000);
        } else if (failure == "write" || failure == "full") {
            (*m_platform)->FailFileStep(FakePlatform::FileStep::Write, 3, failure == "full");
        } else {
            (*m_platform)->SetFlushResult(false);
        }
        const QMap<QString, QByteArray> newRecords = readFolder(m_source);
        const QMap<QString, QByteArray> newSeg2 = seg2Files(m_source);

        QCOMPARE(exportProject(observer), result);
        QCOMPARE(ProjectTaskMessage(ProjectTaskResult::Failed, true), QStringLiteral("导出文件失败！"));
        QCOMPARE(ProjectTaskMessage(ProjectTaskResult::NoRoom, true), QStringLiteral("导出文件失败，磁盘空间不足！"));
        QCOMPARE(observer.Finishes, observer.Maximum >= 0 ? 1 : 0);
        const struct
        {
            QString Folder;
            const QMap<QString, QByteArray> &Old, &New;
            QString Pattern;
            int Untouched;
        } steps[] = {{m_target, oldRecords, newRecords, "R%1.QDW", recordsUntouched},
                     {m_seg2, oldSeg2, newSeg2, "R%1.sg2", seg2Untouched}};
        for (const auto &step : steps) {
            const QMap<QString, QByteArray> now = readFolder(step.Folder);
            for (int i = 1; i <= 7; ++i) {
                const QString name = step.Pattern.arg(i);
                if (step.Old.contains(name))
                    QVERIFY2(now.value(name) == (i < step.Untouched ? step.New.value(name) : step.Old.value(name)),
                             qPrintable(name));
            }
            QCOMPARE(now.size(), step.Old.size()); // no temporary file left
        }
        if (!inTheWay.isEmpty())
            QVERIFY(QFileInfo::exists(inTheWay + "/inside"));
    }

    // Room for the new bytes (SEG-2 files included) less those replaced, plus
    // the largest file, which sits beside its old version until the rename;
    // overwriting a whole project therefore needs room for one file only.
    void freeSpaceRuleIsExact_data()
    {
        QTest::addColumn<int>("replaced"); // records and SEG-2 files already on the stick, the same size as the new ones
        QTest::newRow("fresh") << 0;
        QTest::newRow("two replaced") << 2;
        QTest::newRow("all replaced") << 7;
    }
    void freeSpaceRuleIsExact()
    {
        QFETCH(int, replaced);
        const QMap<QString, QByteArray> seg2 = seg2Files(m_source);
        QMap<QString, QByteArray> oldRecords;
        QMap<QString, QByteArray> oldSeg2;
        for (int i = 1; i <= replaced; ++i) {
            oldRecords.insert(QStringLiteral("R%1.QDW").arg(i), QByteArray(recordBytes(i).size(), 'o'));
            const QString name = QStringLiteral("R%1.sg2").arg(i);
            oldSeg2.insert(name, QByteArray(seg2.value(name).size(), 'o'));
        }
        QVERIFY(MakeFolderWith(m_target, oldRecords));
        QVERIFY(MakeFolderWith(m_seg2, oldSeg2));
        qint64 needed = 0;
        qint64 largest = 0;
        for (const QByteArray &b : recordFiles(7).values() + seg2.values()) {
            needed += b.size();
            largest = qMax<qint64>(largest, b.size());
        }
        for (const QByteArray &b : oldRecords.values() + oldSeg2.values())
            needed -= b.size();
        needed += largest;
        RecordingObserver observer;
        (*m_platform)->SetFreeBytes(needed - 1);
        QCOMPARE(exportProject(observer), ProjectTaskResult::NoRoom);
        QCOMPARE(readFolder(m_target), oldRecords);
        QCOMPARE(readFolder(m_seg2), oldSeg2);
        (*m_platform)->SetFreeBytes(needed);
        QCOMPARE(exportProject(observer), ProjectTaskResult::Done);
        QCOMPARE(readFolder(m_target), recordFiles(7));
        QCOMPARE(readFolder(m_seg2), seg2);
    }

    // Records the SEG-2 writer cannot take go to the stick as they are and
    // are named afterwards; the export itself succeeds.
    void unconvertibleRecordsAreNamedNotFatal()
    {
        QVERIFY(WriteBytes(m_source + "/R5.QDW", recordBytes(5).left(700)));
        QByteArray other = recordBytes(2);
        other[40] = 7; // another kind of record
        QVERIFY(WriteBytes(m_source + "/R2.QDW", other));
        RecordingObserver observer;
        ProjectExport task(CurrentParams(), kAwkwardName, observer);
        QCOMPARE(task.Run(), ProjectTaskResult::Done);
        QCOMPARE(readFolder(m_target), readFolder(m_source));
        QMap<QString, QByteArray> seg2 = seg2Files(m_source);
        seg2.remove("R2.sg2");
        seg2.remove("R5.sg2");
        QCOMPARE(readFolder(m_seg2), seg2);
        QCOMPARE(task.Unconverted(), (QStringList{"R2.QDW", "R5.QDW"}));
        const QString message = UnconvertedRecordsMessage(task.Unconverted());
        QVERIFY(message.contains("R2.QDW") && message.contains("R5.QDW"));
        QVERIFY(UnconvertedRecordsMessage({}).isEmpty());
        QCOMPARE(observer.Finishes, 1);
    }

    // A stick that stops answering in the middle of a write: the event loop
    // keeps running, the time limit ends the export as a failure, and what
    // was on the stick before is intact.
    void hangingStickEndsTheExport()
    {
        QVERIFY(MakeFolderWith(m_target, {{"R1.QDW", "old one"}}));
        (*m_platform)->HangFileStep(FakePlatform::FileStep::Write, 3);
        RecordingObserver observer;
        ProjectExport task(CurrentParams(), kAwkwardName, observer);
        task.SetFlushLimitMs(300);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QCOMPARE(task.Run(), ProjectTaskResult::Failed);
        QVERIFY(ticks > 0);
        QCOMPARE((*m_platform)->HangingCalls(), 1);
        QCOMPARE(readFolder(m_target), (QMap<QString, QByteArray>{{"R1.QDW", "old one"}}));
        QCOMPARE(observer.Finishes, 1);
        (*m_platform)->ClearFileFault();
        QTRY_COMPARE((*m_platform)->HangingCalls(), 0);
        QCOMPARE(readFolder(m_target), (QMap<QString, QByteArray>{{"R1.QDW", "old one"}}));
    }

    void exportRefusesWithoutStickOrProject()
    {
        RecordingObserver observer;
        QCOMPARE(exportProject(observer, "NOSUCH"), ProjectTaskResult::NoProject);
        QCOMPARE(exportProject(observer, ".."), ProjectTaskResult::NoProject);
        QVERIFY(WriteBytes(CurrentParams().DataRoot + "/FILE.PRO", "a file, not a project"));
        QCOMPARE(exportProject(observer, "FILE"), ProjectTaskResult::NoProject);
        (*m_platform)->SetUsbStick(QString());
        QCOMPARE(exportProject(observer), ProjectTaskResult::NoStick);
        QCOMPARE(ProjectTaskMessage(ProjectTaskResult::NoStick, true), QStringLiteral("找不到U盘！"));
        QCOMPARE(observer.Maximum, -1);
        QCOMPARE(Snapshot(m_stick).size(), 0);
    }

    // Bytes or copies into several folders, all in place after one commit,
    // none before; and the mode that never replaces a file.
    void safeWriteBatches()
    {
        const QString sibling = m_stick + "/P.SG2";
        QVERIFY(QDir().mkpath(sibling));
        {
            SafeWriteBatch dropped;
            QVERIFY(dropped.AddBytes("never", sibling, "A.SG2"));
            QVERIFY(dropped.AddCopy(m_source + "/R1.QDW", m_stick, "R1.QDW"));
            QCOMPARE(Snapshot(m_stick).size(), 3); // sibling folder and two temporary files
        }
        QCOMPARE(Snapshot(m_stick).size(), 1);

        SafeWriteBatch batch;
        QVERIFY(batch.AddBytes("first", sibling, "A.SG2"));
        QVERIFY(batch.AddCopy(m_source + "/R1.QDW", m_stick, "R1.QDW"));
        QVERIFY(batch.Commit());
        QCOMPARE(readFolder(sibling), (QMap<QString, QByteArray>{{"A.SG2", "first"}}));
        QCOMPARE(readFolder(m_stick), (QMap<QString, QByteArray>{{"R1.QDW", recordBytes(1)}}));

        QVERIFY(SafeWriteBytes("second, longer", sibling, "A.SG2"));
        QVERIFY(!SafeWriteBytes("x", m_stick + "/missing folder", "A.SG2"));
        QVERIFY(!SafeCopyFile(m_source + "/none.QDW", sibling, "A.SG2"));
        QCOMPARE(readFolder(sibling), (QMap<QString, QByteArray>{{"A.SG2", "second, longer"}}));

        // A name taken between the write and the rename stays as it was taken.
        SafeWriteBatch keep(kFlushLimitMs, OldFile::Keep);
        QVERIFY(keep.AddBytes("new", sibling, "B.SG2"));
        QVERIFY(WriteBytes(sibling + "/B.SG2", "theirs"));
        QVERIFY(!keep.Commit());
        QVERIFY(keep.NameTaken());
        QCOMPARE(readFolder(sibling), (QMap<QString, QByteArray>{{"A.SG2", "second, longer"}, {"B.SG2", "theirs"}}));
    }

    void deletionRemovesTheFilesOneAPaceAndTheFolder()
    {
        QVERIFY(WriteBytes(m_source + "/.hidden", "left by someone"));
        RecordingObserver observer;
        QCOMPARE(DeleteProject(CurrentParams(), kAwkwardName, observer), ProjectTaskResult::Done);
        QVERIFY(!QFileInfo::exists(m_source));
        QCOMPARE(observer.Questions, 1);
        QCOMPARE(observer.Label, QStringLiteral("文件删除中..."));
        // ".", ".." and 8 files: one second each, as the operator knows it.
        QCOMPARE(observer.Paces, QList<int>(10, 1000));
        QCOMPARE(observer.Maximum, 10);
        QCOMPARE(observer.Values.last(), 10);
        QCOMPARE(observer.Finishes, 1);
        QCOMPARE(ProjectTaskMessage(ProjectTaskResult::Done, false), QStringLiteral("删除成功！"));
    }

    void deletionRefusedLeavesEverything()
    {
        const auto before = Snapshot(m_program->path());
        RecordingObserver observer;
        observer.DeletionAnswer = false;
        QCOMPARE(DeleteProject(CurrentParams(), kAwkwardName, observer), ProjectTaskResult::Declined);
        QCOMPARE(Snapshot(m_program->path()), before);
        QVERIFY(observer.Paces.isEmpty());
    }

    // Deletion never reaches outside the project folder itself.
    void deletionStaysInsideTheDataFolder()
    {
        const QString outside = m_outside->filePath("kept");
        QVERIFY(MakeFolderWith(outside, recordFiles(2)));
        const auto keptBefore = Snapshot(outside);
        const QString root = CurrentParams().DataRoot;

        // A linked project loses its link only.
        QVERIFY(QFile::link(outside, root + "/LINKED.PRO"));
        RecordingObserver linked;
        QCOMPARE(DeleteProject(CurrentParams(), "LINKED", linked), ProjectTaskResult::Done);
        QVERIFY(!QFileInfo(root + "/LINKED.PRO").isSymLink());
        QCOMPARE(Snapshot(outside), keptBefore);

        // Links inside a project go, what they point to stays; a sub-folder
        // is not emptied and keeps the project.
        QVERIFY(QFile::link(outside + "/R1.QDW", m_source + "/LINK.QDW"));
        QVERIFY(QFile::link(outside, m_source + "/LINKDIR"));
        QVERIFY(MakeFolderWith(m_source + "/sub", recordFiles(1)));
        RecordingObserver nested;
        QCOMPARE(DeleteProject(CurrentParams(), kAwkwardName, nested), ProjectTaskResult::Failed);
        QCOMPARE(ProjectTaskMessage(ProjectTaskResult::Failed, false), QStringLiteral("删除失败！"));
        QCOMPARE(Snapshot(outside), keptBefore);
        QCOMPARE(QDir(m_source).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                 QStringList{"sub"});
        QCOMPARE(readFolder(m_source + "/sub"), recordFiles(1));

        for (const QString &name : {QString(".."), QString("."), QString("../QDW-FILE"), QString(), QString("NOSUCH")}) {
            RecordingObserver refused;
            QCOMPARE(DeleteProject(CurrentParams(), name, refused), ProjectTaskResult::NoProject);
            QCOMPARE(refused.Questions, 0);
        }
        QVERIFY(QFileInfo(root).isDir());
    }
};

QTEST_GUILESS_MAIN(TstProjectTasks)
#include "tst_projecttasks.moc"
