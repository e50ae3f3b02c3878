// The read the screens use: the progress window is up while the samples are
// read, shows the read's label and range, and is gone when the read returns.
#include "RecordBytes.h"
#include "RecordTestUtil.h"
#include "support/TestProgramDir.h"

#include "dialogs/Prodwidget.h"
#include "browser/RecordFiles.h"
#include "browser/RecordProgressWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

namespace {

Prodwidget *shownProgressWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<Prodwidget *>(w); p && p->isVisible())
            return p;
    return nullptr;
}

struct Seen
{
    bool Shown = false;
    QString Label;
    int Maximum = -1;
};

} // namespace

class TestRecordWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowIsShownWhileTheSamplesAreRead()
    {
        TestProgramDir dir;
        RecordBytes rb;
        rb.Channels = 24;
        rb.Samples = 512;
        const QString path = dir.file(QStringLiteral("W.QDW"));
        QVERIFY(WriteBytes(path, rb.Build()));

        // The read waits for the window to come up while processing events:
        // a queued check runs exactly then.
        Seen seen;
        QTimer::singleShot(0, [&seen] {
            if (Prodwidget *w = shownProgressWindow()) {
                seen.Shown = true;
                if (auto *label = w->findChild<QLabel *>(QStringLiteral("label")))
                    seen.Label = label->text();
                if (auto *bar = w->findChild<QProgressBar *>(QStringLiteral("progressBar")))
                    seen.Maximum = bar->maximum();
            }
        });
        QCOMPARE(ReadRecord(CurrentParams(), path), 1);
        QVERIFY(seen.Shown);
        QCOMPARE(seen.Label, QStringLiteral("文件打开中..."));
        QCOMPARE(seen.Maximum, 24 * 512 - 1);
        QVERIFY(!shownProgressWindow());
        QCOMPARE(Store().Traces[23].size(), 512);
        QCOMPARE(Store().Traces[23][511], RecordBytes::Sample(23, 511));
    }

    void openTakesTheRecordFromItsProjectFolder()
    {
        TestProgramDir dir;
        QVERIFY(QDir().mkpath(dir.file(QStringLiteral("QDW-FILE/南坡.PRO"))));
        const QString path = dir.file(QStringLiteral("QDW-FILE/南坡.PRO/L7.QDW"));
        RecordBytes rb;
        QVERIFY(WriteBytes(path, rb.Build()));
        QCOMPARE(OpenRecord(CurrentParams(), QStringLiteral("南坡"), QStringLiteral("L7")), 1);
        QCOMPARE(CurrentParams().LastRecordName, QStringLiteral("L7"));
        QCOMPARE(CurrentParams().CurrentRecordPath, path);
        QCOMPARE(OpenRecord(CurrentParams(), QStringLiteral("南坡"), QStringLiteral("L8")), -1);
        QCOMPARE(CurrentParams().LastRecordName, QStringLiteral("L8"));
        QCOMPARE(CurrentParams().CurrentRecordPath, path);
    }

    void windowEndsOnTheLastValue()
    {
        // Values reach the window at most once a frame; the last one always.
        RecordProgressWindow progress;
        const int maximum = 24 * 16384 - 1;
        progress.Started(QStringLiteral("文件打开中..."), 0, maximum);
        Prodwidget *w = shownProgressWindow();
        QVERIFY(w);
        for (int v = 0; v <= maximum; ++v)
            progress.Step(v);
        QCOMPARE(w->Value(), maximum);
        progress.Finished();
        QVERIFY(!shownProgressWindow());
    }

    void refusedFileShowsNoWindow()
    {
        TestProgramDir dir;
        RecordBytes rb;
        QByteArray bytes = rb.Build();
        bytes.chop(1);
        const QString path = dir.file(QStringLiteral("D.QDW"));
        QVERIFY(WriteBytes(path, bytes));
        bool shown = false;
        QTimer::singleShot(0, [&shown] { shown = shownProgressWindow() != nullptr; });
        QCOMPARE(ReadRecord(CurrentParams(), path), -2);
        QCoreApplication::processEvents();
        QVERIFY(!shown);
        QVERIFY(!shownProgressWindow());
        QCOMPARE(CurrentParams().CurrentRecordPath, path);
    }
};

QTEST_MAIN(TestRecordWindow)
#include "tst_recordwindow.moc"
