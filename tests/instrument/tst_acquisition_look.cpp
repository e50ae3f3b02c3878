// The acquisition screen and the channel lock dialog on the two screen sizes
// the controller comes with: every caption and status text in full, nothing
// overlapping, the trace view keeping most of the screen. Pictures are saved
// under the build tree for a person to look at.
#include "UnitSimulator.h"
#include "instrument/CDlgCHLock.h"
#include "instrument/AcquisitionCore.h"
#include "instrument/CDlgMain.h"
#include "instrument/InstrumentLink.h"
#include "model/TraceStore.h"
#include "display/CShowWave.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

namespace {

QString picturePath(const QString &name)
{
    return QDir(QStringLiteral(ZEB_LOOK_DIR)).filePath(name);
}

/// The room a button's text needs: its advance plus the borders and padding.
int neededWidth(const QAbstractButton *b, const QString &text)
{
    const int frame = 8;
    return QFontMetrics(b->font()).horizontalAdvance(text) + frame;
}

/// Longest texts each status field shows in use.
QString widestText(const QString &field)
{
    static const QMap<QString, QString> widest{
        {QStringLiteral("btnShow1"), QStringLiteral("P:QUARTZON")},
        {QStringLiteral("btnShow2"), QStringLiteral("T:15.625us")},
        {QStringLiteral("btnShow3"), QStringLiteral("道距:100.0m")},
        {QStringLiteral("btnShow4"), QStringLiteral("通道:24")},
        {QStringLiteral("btnShow5"), QStringLiteral("叠加:99")},
        {QStringLiteral("btnShow6"), QStringLiteral("F:ABCDEFGH")},
        {QStringLiteral("btnShow7"), QStringLiteral("N:16384")},
        {QStringLiteral("btnShow8"), QStringLiteral("偏移距:100.0m")},
        {QStringLiteral("btnShow9"), QStringLiteral("时间:1023.50ms")},
        {QStringLiteral("btnShow10"), QStringLiteral("幅值:-1.234E+03")},
        {QStringLiteral("btnMonitor"), QStringLiteral("监测(N)")},
        {QStringLiteral("btnDate"), QStringLiteral("2024/12/31")},
    };
    return widest.value(field);
}

} // namespace

class TstAcquisitionLook : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TestProgramDir>();
        m_sim = std::make_unique<UnitSimulator>();
        m_sim->SetTimeScale(0);
        m_sim->SetTriggerWaitMs(0);
        QVERIFY(m_sim->Start(0));
        PointAtLoopbackUnit(m_sim->Port());
        CurrentParams().LoadSettings();
    }
    void cleanup()
    {
        m_sim.reset();
        m_dir.reset();
    }

    void screenAtBothSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("800x480") << QSize(800, 480);
        QTest::newRow("1024x600") << QSize(1024, 600);
    }

    void screenAtBothSizes()
    {
        QFETCH(QSize, size);
        // Every style sheet of the screen is one Qt can read.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("stylesheet|Unknown property")));
        CurrentParams().Header.ChannelCount = BackupParams().Header.ChannelCount = 24;
        CDlgMain screen;
        screen.setFixedSize(size);
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        // Up, and the parameter frame sent on connecting answered.
        QTRY_VERIFY_WITH_TIMEOUT(Store().LinkState == LinkUp && screen.Link().ReplyLetter() == 'd',
                                 ScaledTimeout(5000));
        const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QAbstractButton *sample = screen.findChild<QPushButton *>(QStringLiteral("btnSample"));

        // Waiting for the trigger: the banner over an empty view, the stop command.
        m_sim->SetTriggerWaitMs(-1);
        bool bannerShown = false;
        QTimer::singleShot(300, this, [&] {
            bannerShown = screen.View()->findChild<QWidget *>()->isVisible();
            screen.grab().save(picturePath(QStringLiteral("acquisition-waiting-%1.png").arg(tag)));
            sample->click();
        });
        sample->click();
        QVERIFY(bannerShown);
        m_sim->SetTriggerWaitMs(0);
        sample->click();
        QVERIFY(!Store().Traces[23].isEmpty());
        QVERIFY(screen.grab().save(picturePath(QStringLiteral("acquisition-shot-%1.png").arg(tag))));

        for (QPushButton *b : screen.findChildren<QPushButton *>()) {
            if (b->isHidden())
                continue;
            QVERIFY2(neededWidth(b, b->text()) <= b->width(), qPrintable(b->objectName()));
            for (const QString &other : {QStringLiteral("叠加中(D)"), QStringLiteral("停止(S)")})
                if (b->objectName() == QLatin1String("btnAdd") || b->objectName() == QLatin1String("btnSample"))
                    QVERIFY2(neededWidth(b, other) <= b->width(), qPrintable(other));
        }
        for (QToolButton *t : screen.findChildren<QToolButton *>())
            QVERIFY2(neededWidth(t, widestText(t->objectName())) <= t->width(),
                     qPrintable(QStringLiteral("%1: %2 px").arg(t->objectName()).arg(t->width())));
        // The traces keep the whole width (24 channel numbers side by side)
        // and at least half the height.
        const QWidget *view = screen.View();
        QVERIFY(view->width() * 100 >= size.width() * 98);
        QVERIFY(view->height() * 2 >= size.height());
        QVERIFY(screen.rect().contains(view->geometry()));

        // Stacking with channels 3 and 10 locked, a cursor on channel 7.
        std::array<bool, kMaxChannels> locks{};
        locks[2] = locks[9] = true;
        screen.Core().StartStacking(locks);
        sample->click();
        sample->click();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(view->width() * 6.5 / 25.0, view->height() / 3.0),
                          view->mapToGlobal(QPointF(view->width() * 6.5 / 25.0, view->height() / 3.0)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(screen.View(), &press);
        QVERIFY(screen.grab().save(picturePath(QStringLiteral("acquisition-stacking-%1.png").arg(tag))));

        // The other two colour themes (the status field steps them).
        for (int theme : {0, 1}) {
            screen.findChild<QToolButton *>(QStringLiteral("btnShow1"))->click();
            QCOMPARE(CurrentParams().ColourTheme, theme);
            QVERIFY(screen.grab().save(picturePath(QStringLiteral("acquisition-theme%1-%2.png").arg(theme).arg(tag))));
        }
    }

    void lockDialog()
    {
        CurrentParams().Header.ChannelCount = 24;
        Store().ChannelLocks[2] = Store().ChannelLocks[9] = true;
        CDlgCHLock dialog;
        dialog.locks = Store().ChannelLocks;
        dialog.Refresh();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.width() <= 800 && dialog.height() <= 480 - 30);
        for (QPushButton *b : dialog.findChildren<QPushButton *>())
            QVERIFY2(neededWidth(b, b->text()) <= b->width(), qPrintable(b->objectName()));
        QVERIFY(dialog.grab().save(picturePath(QStringLiteral("channel-lock.png"))));
    }

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
};

QTEST_MAIN(TstAcquisitionLook)
#include "tst_acquisition_look.moc"
