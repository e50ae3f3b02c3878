// The self-check dialog and its noise view, against the unit simulator.
#include "SelfCheckRig.h"
#include "dialogs/TaskScreens.h"
#include "instrument/CDlgAutoCheck.h"
#include "instrument/CShowNoise.h"
#include "platform/Wait.h"
#include "support/ModalDriver.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

constexpr int kChannels = 12;
constexpr int kSwingChannel = 4;
constexpr double kSwingMv = -0.02;
constexpr int kDeadChannel = 9;
/// Wait for a channel's data in the case where one never comes (loopback replies come far sooner).
constexpr int kShortDataWaitMs = 500;
/// Longer than a tick: long enough to see a poll that should not be there.
constexpr int kQuietMs = 700;

enum class Way { Save, SaveByKeys, Exit, Escape };

bool IsBlack(QRgb c)
{
    return qGray(c) < 64;
}

} // namespace

Q_DECLARE_METATYPE(Way)

class TstCDlgAutoCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void amplitudeStepsStopAtTheirLimits();
    void viewShowsTheSimulatorsNoise();
    void failingChannelIsMarked_data();
    void failingChannelIsMarked();
    void leavingBetweenTicks_data();
    void leavingBetweenTicks();
    void leavingDuringATick_data();
    void leavingDuringATick();
    void noiseViewPaintsBarsAndCopesWithNoData();
    void taskScreenEntryRunsTheDialog();

private:
    /// Opens dlg (modal, not blocking) and waits for its first complete round.
    bool openAndWaitForNoise(CDlgAutoCheck &dlg);
    void leave(CDlgAutoCheck &dlg, Way way);
    /// The unit hears nothing more for a while.
    void expectQuiet();

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<SelfCheckRig> m_rig;
};

void TstCDlgAutoCheck::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    m_rig = std::make_unique<SelfCheckRig>();
    QVERIFY(m_rig->Connect());
    m_rig->ForceSelfCheckParameters(kChannels);
}

void TstCDlgAutoCheck::cleanup()
{
    m_rig.reset();
    m_dir.reset();
}

bool TstCDlgAutoCheck::openAndWaitForNoise(CDlgAutoCheck &dlg)
{
    dlg.open();
    // Checked between ticks: a round runs inside the tick's slot.
    return QTest::qWaitFor(
        [&dlg] { return !dlg.Round().Noise()[kChannels - 1].isEmpty() && !dlg.Round().IsRunning(); },
        ScaledTimeout(5000));
}

void TstCDlgAutoCheck::leave(CDlgAutoCheck &dlg, Way way)
{
    if (way == Way::Escape) {
        QTest::keyClick(&dlg, Qt::Key_Escape);
    } else if (way == Way::SaveByKeys) {
        // From "幅值+" two to the right is "保存".
        QTest::keyClick(&dlg, Qt::Key_Right);
        QTest::keyClick(&dlg, Qt::Key_Right);
        QTest::keyClick(&dlg, Qt::Key_Return);
    } else {
        QTest::mouseClick(dlg.findChild<QPushButton *>(way == Way::Save ? "btnSave" : "btnExit"),
                          Qt::LeftButton);
    }
}

void TstCDlgAutoCheck::expectQuiet()
{
    // A reply to the last command may still be on its way; then nothing.
    WaitMs(ScaledTimeout(kQuietMs) / 2);
    const int total = m_rig->Sim.ReceivedTotal();
    WaitMs(ScaledTimeout(kQuietMs));
    QCOMPARE(m_rig->Sim.ReceivedTotal(), total);
}

void TstCDlgAutoCheck::amplitudeStepsStopAtTheirLimits()
{
    CDlgAutoCheck dlg(nullptr, *m_rig->Link);
    dlg.show();
    auto *view = dlg.findChild<CShowNoise *>("wShowWave");
    QVERIFY(view);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("自检"));
    QCOMPARE(view->AmplitudeStep(), 1);

    const struct
    {
        const char *button;
        int limit;
        QString message;
    } cases[] = {
        {"btnAdd", 9, QStringLiteral("<font color=red><b>操作失败，幅值已增大至最大范围！</b></font>")},
        {"btnMinus", 1, QStringLiteral("<font color=red><b>操作失败，幅值已缩小至最小范围！</b></font>")},
    };
    for (const auto &c : cases) {
        auto *button = dlg.findChild<QPushButton *>(c.button);
        for (int i = 0; i < 8; ++i)
            QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(view->AmplitudeStep(), c.limit);

        ModalDriver driver;
        driver.Expect([&c](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), c.message);
            d.Key(Qt::Key_Return);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(view->AmplitudeStep(), c.limit);
    }
    dlg.on_btnExit_clicked();
}

void TstCDlgAutoCheck::viewShowsTheSimulatorsNoise()
{
    SelfCheckChannel swing;
    swing.SwingMv = kSwingMv;
    m_rig->Sim.SetSelfCheckNoise(kSwingChannel, swing);
    SelfCheckChannel dead;
    dead.Dead = true;
    m_rig->Sim.SetSelfCheckNoise(kDeadChannel, dead);

    CDlgAutoCheck dlg(nullptr, *m_rig->Link);
    QVERIFY(openAndWaitForNoise(dlg));
    auto *view = dlg.findChild<CShowNoise *>("wShowWave");
    view->repaint();

    // The downward swing is the largest excursion: its bar hangs down the full
    // height, in outline; the dead channel has none to speak of.
    const noise::Layout &l = view->LastLayout();
    QCOMPARE(l.Bars.size(), kChannels);
    const noise::Bar &bar = l.Bars[kSwingChannel - 1];
    QVERIFY(!bar.Filled);
    QCOMPARE(bar.Rect.top(), l.Baseline);
    QCOMPARE(bar.Rect.height(), static_cast<int>(l.FullBarHeight));
    QCOMPARE(l.Bars[kDeadChannel - 1].Rect.height(), 0);
    const float swingAmplitude = -view->LastExcursion();
    QVERIFY(qAbs(swingAmplitude - float(kSwingMv)) < 0.005f);
    dlg.on_btnExit_clicked();
}

void TstCDlgAutoCheck::failingChannelIsMarked_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("first") << 1;
    QTest::newRow("last") << 24;
}

void TstCDlgAutoCheck::failingChannelIsMarked()
{
    QFETCH(int, channel);
    constexpr int kAll = 24;
    m_rig->ForceSelfCheckParameters(kAll);
    m_rig->Sim.SetChannelFault(channel, UnitSimulator::Fault::NoReply); // every round
    m_rig->Link->SetWaitLimits(kCommandWaitMs, ScaledTimeout(kShortDataWaitMs));

    CDlgAutoCheck dlg(nullptr, *m_rig->Link);
    dlg.open();
    QVERIFY(QTest::qWaitFor(
        [&dlg] { return !dlg.Round().FailedChannels().isEmpty() && !dlg.Round().IsRunning(); },
        ScaledTimeout(10000)));
    QCOMPARE(dlg.Round().FailedChannels(), QList<int>{channel});
    QCOMPARE(dlg.findChild<QLabel *>("strStateInfo")->text(),
             QStringLiteral("通道%1获取数据失败！").arg(channel));

    auto *view = dlg.findChild<CShowNoise *>("wShowWave");
    const QImage img = view->grab().toImage();
    QList<int> bars;
    for (int c = 1; c <= kAll; ++c)
        if (c != channel)
            bars << c;
    QCOMPARE(view->LastBarChannels(), bars);
    const auto hasRed = [&img](const QRect &box) {
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QRgb c = img.pixel(x, y);
                if (qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80)
                    return true;
            }
        return false;
    };
    const noise::Layout &l = view->LastLayout();
    for (int c = 1; c <= kAll; ++c)
        QVERIFY2(hasRed(l.NumberBoxes[c - 1]) == (c == channel), qPrintable(QString::number(c)));

    // Kept on the acquisition screen as it is: the failed channel without data.
    dlg.on_btnSave_clicked();
    for (int c = 1; c <= kAll; ++c)
        QCOMPARE(Store().PreviousTraces[c - 1].isEmpty(), c == channel);
}

void TstCDlgAutoCheck::leavingBetweenTicks_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("save") << Way::Save;
    QTest::newRow("save by keys") << Way::SaveByKeys;
    QTest::newRow("exit") << Way::Exit;
    QTest::newRow("escape") << Way::Escape;
}

void TstCDlgAutoCheck::leavingBetweenTicks()
{
    QFETCH(Way, way);
    CDlgAutoCheck dlg(nullptr, *m_rig->Link);
    QVERIFY(Store().LinkActive);
    QVERIFY(openAndWaitForNoise(dlg));
    leave(dlg, way);
    QVERIFY(dlg.isHidden());
    QVERIFY(!Store().LinkActive);
    expectQuiet();

    const ParamSet &p = CurrentParams();
    const TraceStore &s = Store();
    if (way == Way::Save || way == Way::SaveByKeys) {
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!s.SelfCheckRunning);
        // The data stays for the acquisition screen, with the parameters it was taken with.
        QCOMPARE(p.Header.SampleInterval, 125.0f);
        QCOMPARE(p.Gains[0], 72);
        QCOMPARE(p.Header.Filter, 512.0f);
        QCOMPARE(p.Header.Delay, 0.0f);
        for (int c = 0; c < kChannels; ++c) {
            QCOMPARE(s.PreviousTraces[c].size(), 1024);
            QCOMPARE(s.PreviousTraces[c], dlg.Round().Noise()[c]);
        }
    } else {
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        // The operator's parameters are back.
        QCOMPARE(p.Header.SampleInterval, SelfCheckRig::kOperatorInterval);
        QCOMPARE(p.Gains, BackupParams().Gains);
        QCOMPARE(p.Gains[0], SelfCheckRig::kOperatorGain);
        QCOMPARE(p.Header.Filter, SelfCheckRig::kOperatorFilter);
        QCOMPARE(p.Header.Delay, SelfCheckRig::kOperatorDelay);
    }
}

void TstCDlgAutoCheck::leavingDuringATick_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("save") << Way::Save;
    QTest::newRow("exit") << Way::Exit;
}

void TstCDlgAutoCheck::leavingDuringATick()
{
    QFETCH(Way, way);
    CDlgAutoCheck dlg(nullptr, *m_rig->Link);
    QVERIFY(openAndWaitForNoise(dlg));
    const TraceSet good = dlg.Round().Noise();

    // The next round never sees a trigger; the operator leaves while it polls.
    UnitSimulator &sim = m_rig->Sim;
    sim.ResetCounters();
    sim.SetReplyOverride('f', QByteArray("VRKf\0", 5), 1000000);
    constexpr int kPollsBeforeLeaving = 3;
    QObject::connect(&sim, &UnitSimulator::CommandReceived, &dlg, [&](char letter) {
        if (letter == 'f' && sim.Received('f') == kPollsBeforeLeaving)
            QTimer::singleShot(0, &dlg, [this, &dlg, way] { leave(dlg, way); });
    });
    // Control comes back here only once the tick that polled has ended.
    QTRY_VERIFY_WITH_TIMEOUT(dlg.isHidden(), ScaledTimeout(5000));
    QVERIFY(!dlg.Round().IsRunning());
    QCOMPARE(dlg.result(), int(way == Way::Save ? QDialog::Accepted : QDialog::Rejected));
    expectQuiet();
    QVERIFY(sim.Received('f') <= kPollsBeforeLeaving + 1);
    QCOMPARE(sim.Received('h'), 0);
    // The unfinished round left the last complete picture in place.
    if (way == Way::Save)
        QCOMPARE(Store().PreviousTraces, good);
}

void TstCDlgAutoCheck::noiseViewPaintsBarsAndCopesWithNoData()
{
    CShowNoise view;
    view.resize(781, 410); // usable height 400, baseline 205
    TraceSet traces;
    traces[0] = {0.8f, -0.1f, 0.3f}; // the largest excursion, upward
    traces[1] = {0.2f, -0.6f};       // a larger swing down than up
    // channel 3 has no data
    for (int c = 3; c < kChannels; ++c)
        traces[c] = {0.1f, -0.05f};
    view.SetTraces(&traces);
    view.SetAmplitudeStep(9);
    const QRgb background = CurrentParams().Colours.Background.rgb();

    QImage img = view.grab().toImage();
    const noise::Layout l = view.LastLayout();
    QCOMPARE(view.LastExcursion(), 0.8f);
    QCOMPARE(view.AmplitudeStep(), 9);
    // Step 9: channel 1 fills the upper half of the plot, from the baseline to its top edge.
    const QRect up = l.Bars[0].Rect;
    const int x1 = up.center().x();
    QVERIFY(IsBlack(img.pixel(x1, 5)));
    QVERIFY(IsBlack(img.pixel(x1, (5 + l.Baseline) / 2)));
    QVERIFY(IsBlack(img.pixel(x1, l.Baseline - 1)));
    QCOMPARE(img.pixel(x1, 3), background);
    // Channel 2 hangs down in outline: black edges, background inside.
    const QRect down = l.Bars[1].Rect;
    const int below = down.bottom() - 10; // under the channel numbers
    QVERIFY(below > l.Baseline + 40);
    QVERIFY(IsBlack(img.pixel(down.left(), below)));
    QCOMPARE(img.pixel(down.center().x(), below), background);
    QVERIFY(IsBlack(img.pixel(down.center().x(), down.top() + down.height())));
    QCOMPARE(img.pixel(down.center().x(), down.bottom() + 5), background);
    // Channel 3: nothing above the baseline.
    const QRect empty = l.Bars[2].Rect;
    for (int y = 5; y < l.Baseline; ++y)
        QCOMPARE(img.pixel(empty.center().x(), y), background);
    // The noise amplitude in blue, top right.
    bool blue = false;
    for (int y = l.NoiseTextBox.top(); y <= l.NoiseTextBox.bottom() && !blue; ++y)
        for (int x = l.NoiseTextBox.left(); x < view.width() && !blue; ++x)
            blue = img.pixel(x, y) == qRgb(0, 0, 255);
    QVERIFY(blue);
    QCOMPARE(CShowNoise::NoiseText(0.8f), QStringLiteral("噪音幅值:8.000E-01"));

    // Emptied traces (the first paint of a self-check): no bars, nothing above the baseline.
    TraceSet none;
    view.SetTraces(&none);
    img = view.grab().toImage();
    QVERIFY(view.LastLayout().Bars.isEmpty());
    QCOMPARE(view.LastLayout().NumberBoxes.size(), kChannels);
    for (int y = 5; y < view.LastLayout().Baseline; ++y)
        QCOMPARE(img.pixel(x1, y), background);

    // No channels: the frame alone.
    CurrentParams().Header.ChannelCount = 0;
    img = view.grab().toImage();
    for (int y = 1; y < img.height() - 1; ++y)
        for (int x = 1; x < img.width() - 1; ++x)
            QCOMPARE(img.pixel(x, y), background);
    QVERIFY(IsBlack(img.pixel(0, 0)));
}

void TstCDlgAutoCheck::taskScreenEntryRunsTheDialog()
{
    InstallTaskScreens();
    QVERIFY(Screens().SelfCheck);
    for (const char *button : {"btnSave", "btnExit"}) {
        ModalDriver driver;
        driver.Expect([button](ModalDialog &d) {
            QCOMPARE(d.Title(), QStringLiteral("自检"));
            QVERIFY(d.Click(QString::fromLatin1(button)));
        });
        const bool kept = Screens().SelfCheck(nullptr, *m_rig->Link);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(kept, QByteArray(button) == "btnSave");
        Store().SelfCheckRunning = true;
    }
}

QTEST_MAIN(TstCDlgAutoCheck)
#include "tst_cdlgautocheck.moc"
