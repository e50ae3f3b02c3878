// The site-noise monitor's screen against the unit simulator: what the crew
// sees of a noisy and a quiet geophone, the threshold kept for the next
// visit, Esc in the middle of a record, and the way in from the acquisition screen.
#include "SelfCheckRig.h"
#include "instrument/CDlgMain.h"
#include "instrument/CDlgNoiseMonitor.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/NoiseMonitorView.h"
#include "params/Preferences.h"
#include "support/ModalDriver.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

constexpr int kChannels = 12;
constexpr int kNoisyChannel = 3;
constexpr int kDeadChannel = 5;
const QSize kScreen(800, 480);

/// Pixels of colour inside rect of image.
int count(const QImage &image, const QRect &rect, const QColor &colour)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

QString labelText(const QWidget &screen, const char *name)
{
    const auto *l = screen.findChild<QLabel *>(QLatin1String(name));
    return l ? l->text() : QString();
}

/// Shows screen at size and waits until it has shown rounds rounds.
bool ShowRounds(CDlgNoiseMonitor &screen, QSize size, int rounds)
{
    QSignalSpy shown(&screen, &CDlgNoiseMonitor::RoundShown);
    screen.setFixedSize(size);
    screen.show();
    return QTest::qWaitFor([&] { return shown.count() >= rounds; }, ScaledTimeout(5000));
}

} // namespace

class TstCDlgNoiseMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noisyGeophoneInRedQuietOnesNot();
    void escInTheMiddleOfARecord();
    void altNOpensItFromTheAcquisitionScreen();
    void fitsBothScreens_data();
    void fitsBothScreens();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<SelfCheckRig> m_rig;
};

void TstCDlgNoiseMonitor::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.TriggerMethod = 1;
    p.Sensor.Sensitivity.fill(28.8f);
    ParamSet::CopyAcquisition(BackupParams(), p);
    // The threshold of an earlier visit: 0.01 mm/s.
    CurrentPreferences().MonitorThresholdDb = -40.0;
    m_rig = std::make_unique<SelfCheckRig>();
    SiteNoise site;
    site.Enabled = true;
    site.VehicleMv = 0.0; // no traffic: the levels stay put
    site.NoisyChannel = kNoisyChannel;
    site.DeadChannel = kDeadChannel;
    m_rig->Sim.SetSiteNoise(site);
    QVERIFY(m_rig->Connect());
}

void TstCDlgNoiseMonitor::cleanup()
{
    m_rig.reset();
    m_dir.reset();
}

void TstCDlgNoiseMonitor::noisyGeophoneInRedQuietOnesNot()
{
    const QByteArray before = m_rig->Sim.LastParaFrame();
    {
        CDlgNoiseMonitor screen(nullptr, *m_rig->Link);
        QVERIFY(ShowRounds(screen, kScreen, 2));

        QVERIFY(labelText(screen, "lbUnit").contains(QStringLiteral("mm/s")));
        QVERIFY(labelText(screen, "lbThreshold").contains(QStringLiteral("超限1道")));
        NoiseMonitorView *view = screen.View();
        QImage picture = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto pixels = [&](int channel, const QColor &colour) {
            return count(picture, monitor::RowAt(channel - 1, kChannels, view->size()).Bar, colour);
        };
        const QColor above = NoiseMonitorView::AboveColour(), quiet = NoiseMonitorView::QuietColour();
        QVERIFY(pixels(kNoisyChannel, above) > 0);
        for (int c : {1, kChannels})
            QVERIFY(pixels(c, quiet) > 0 && pixels(c, above) == 0);
        // The broken geophone's bar stays far short of its neighbour's.
        QVERIFY(pixels(kDeadChannel, quiet) * 2 < pixels(kDeadChannel + 1, quiet));
        QVERIFY(pixels(1, NoiseMonitorView::HoldColour()) > 0);

        // Three steps up and the loose geophone (about −31 dB) is under the line.
        auto *up = screen.findChild<QPushButton *>(QStringLiteral("btnThresholdUp"));
        for (int i = 0; i < 3; ++i)
            up->click();
        QVERIFY(labelText(screen, "lbThreshold").contains(QStringLiteral("超限0道")));
        picture = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(pixels(kNoisyChannel, above), 0);
        screen.reject();
    }
    QCOMPARE(m_rig->Sim.LastParaFrame(), before);
    // Kept for the next visit in the program's own preferences.
    ResetPreferences();
    QVERIFY(CurrentPreferences().Load());
    QCOMPARE(CurrentPreferences().MonitorThresholdDb, -25.0);
}

void TstCDlgNoiseMonitor::escInTheMiddleOfARecord()
{
    UnitSimulator &sim = m_rig->Sim;
    const QByteArray before = sim.LastParaFrame();
    CDlgNoiseMonitor screen(nullptr, *m_rig->Link);
    QVERIFY(ShowRounds(screen, kScreen, 1));
    // Channel 4 never answers; Esc comes while its data is awaited.
    sim.SetChannelFault(4, UnitSimulator::Fault::NoReply, 1);
    bool pressed = false;
    connect(&sim, &UnitSimulator::CommandReceived, this, [&](char letter) {
        if (letter == 'j' && !pressed && sim.ChannelRequests().count(4) > 0
            && sim.ChannelRequests().last() == 4) {
            pressed = true;
            QTest::keyClick(&screen, Qt::Key_Escape);
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(pressed && screen.isHidden() && screen.Session().Finished(),
                             ScaledTimeout(5000));
    QCOMPARE(screen.result(), int(QDialog::Rejected));
    QCOMPARE(sim.LastParaFrame(), before);
    QVERIFY(!Store().SelfCheckRunning);
}

void TstCDlgNoiseMonitor::altNOpensItFromTheAcquisitionScreen()
{
    m_rig.reset(); // the screen makes its own link
    UnitSimulator sim;
    sim.SetTimeScale(0);
    QVERIFY(sim.Start(0));
    PointAtLoopbackUnit(sim.Port());
    CurrentParams().HardwareVersionText = QStringLiteral("known");
    CDlgMain screen;
    QTRY_VERIFY_WITH_TIMEOUT(Store().LinkState == LinkUp && screen.Link().ReplyLetter() == 'd',
                             ScaledTimeout(5000));
    const QByteArray before = sim.LastParaFrame();
    auto *button = screen.findChild<QAbstractButton *>(QStringLiteral("btnMonitor"));
    QVERIFY(button && button->isEnabled());

    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        // Not waited for here: the driver may be answering from inside a round.
        QVERIFY(qobject_cast<CDlgNoiseMonitor *>(d.Widget()));
        d.Key(Qt::Key_Escape);
    });
    sim.ResetCounters();
    QTest::keyClick(&screen, Qt::Key_N, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(sim.Received('d') >= 1); // the operator's frame on leaving, whatever came before
    QCOMPARE(sim.LastParaFrame(), before);
    QCOMPARE(Store().AcqState, int(AcqIdle));
}

void TstCDlgNoiseMonitor::fitsBothScreens_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800x480") << QSize(800, 480);
    QTest::newRow("1024x600") << QSize(1024, 600);
}

void TstCDlgNoiseMonitor::fitsBothScreens()
{
    QFETCH(QSize, size);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("stylesheet|Unknown property")));
    CurrentParams().Header.ChannelCount = BackupParams().Header.ChannelCount = kMaxChannels;
    SiteNoise site;
    site.Enabled = true;
    site.VehiclePeriodS = 2.0; // a vehicle passing while the picture is taken
    m_rig->Sim.SetSiteNoise(site);
    m_rig->Sim.SetTimeScale(1.0);
    CDlgNoiseMonitor screen(nullptr, *m_rig->Link);
    QVERIFY(ShowRounds(screen, size, 3));

    for (QPushButton *b : screen.findChildren<QPushButton *>())
        QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(b->text()) + 8 <= b->width(),
                 qPrintable(b->objectName()));
    for (QLabel *l : screen.findChildren<QLabel *>())
        QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->text()) + 12 <= l->width(),
                 qPrintable(l->text()));
    // Twenty-four rows a finger can still point at, numbers readable beside each bar.
    const monitor::RowGeometry row = monitor::RowAt(0, kMaxChannels, screen.View()->size());
    QVERIFY(row.Row.height() >= 12);
    QVERIFY(row.Numbers.width() >= 120 && row.Strip.width() >= 40);
    // Numbers of any size stay inside their column at the largest row face,
    // shrunk no further than still readable.
    QFont face = screen.View()->font();
    face.setPixelSize(13);
    QCOMPARE(monitor::LevelText(2.92e-05, 7.73e-05), QStringLiteral("2.92e-5/7.73e-5"));
    for (const QString &text : {monitor::LevelText(2.92e-05, 7.73e-05), monitor::LevelText(0.00928, 0.0312),
                                monitor::LevelText(1.23e-10, 4.56e+12)}) {
        const QFont fitted = monitor::FittingFont(face, text, row.Numbers.width() - 4);
        QVERIFY2(QFontMetrics(fitted).horizontalAdvance(text) <= row.Numbers.width() - 4, qPrintable(text));
        QVERIFY(fitted.pixelSize() >= monitor::kSmallestRowFont);
    }
    const QString name = QStringLiteral("monitor-%1x%2.png").arg(size.width()).arg(size.height());
    QVERIFY(screen.grab().save(QDir(QStringLiteral(ZEB_LOOK_DIR)).filePath(name)));
    screen.reject();
}

QTEST_MAIN(TstCDlgNoiseMonitor)
#include "tst_cdlgnoisemonitor.moc"
