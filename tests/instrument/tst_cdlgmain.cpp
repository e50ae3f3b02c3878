// The acquisition screen's form over its logic: fields, buttons and keys
// around a shot, the questions and keypads it opens, its clock and battery,
// and the seams to the screens of other subsystems.
#include "UnitSimulator.h"
#include "app/CDlgZEB.h"
#include "dialogs/TaskScreens.h"
#include "display/CShowWave.h"
#include "display/WaveGeometry.h"
#include "instrument/AcquisitionCore.h"
#include "instrument/CDlgCHLock.h"
#include "instrument/CDlgMain.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/QDlgLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "params/TextCodec.h"
#include "records/RecordFile.h"
#include "records/ShotJournal.h"
#include "upload/UploadRecord.h"
#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/ScreenProbe.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

/// Answers a question box with one of its buttons after checking its text.
ModalDriver::Handler answer(const QString &question, const char *choice)
{
    return [question, choice](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("LBShow")), question);
        QVERIFY(d.Click(QLatin1String(choice)));
    };
}

ModalDriver::Handler confirmMessage(const QString &message)
{
    return [message](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), message);
        d.Key(Qt::Key_Return);
    };
}

} // namespace

class TstCDlgMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aroundAShot();
    void shotCheckMarksAndList();
    void namesAreShownAsTheyAre();
    void onlyTheStopDuringAShot();
    void stackingUndoAndClear();
    void saveAsksForAName();
    void unsavedPictureOfferedBackOnOpening();
    void dateTurnsRedOnAnUnsetClock();
    void batteryOnTheFirstTickThenEvery61();
    void meteringFields();
    void otherScreensThroughTheSeam();
    void launcherOpensTheScreenAndSavesAfter();
    void uploadByAltLAndItsPassingNotice();
    void cursorKeysReportLikeATouch();
    void aFreshShotIsNotTheRecordReadBefore();

private:
    /// A screen connected to the simulator, its own clock stopped (the tests tick it).
    std::unique_ptr<CDlgMain> openScreen();

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<UnitSimulator> m_sim;
};

void TstCDlgMain::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    CurrentParams().LoadSettings();
    CurrentParams().HardwareVersionText = QStringLiteral("known");
    m_sim = std::make_unique<UnitSimulator>();
    m_sim->SetTimeScale(0);
    m_sim->SetTriggerWaitMs(0);
    QVERIFY(m_sim->Start(0));
    PointAtLoopbackUnit(m_sim->Port());
}

void TstCDlgMain::cleanup()
{
    m_sim.reset();
    m_dir.reset();
}

std::unique_ptr<CDlgMain> TstCDlgMain::openScreen()
{
    auto screen = std::make_unique<CDlgMain>();
    screen->findChild<QTimer *>(QStringLiteral("clockTimer"))->stop();
    // Up, and the parameter frame sent on connecting answered.
    const bool up = QTest::qWaitFor(
        [&] { return Store().LinkState == LinkUp && screen->Link().ReplyLetter() == 'd'; },
        ScaledTimeout(5000));
    return up ? std::move(screen) : nullptr;
}

void TstCDlgMain::namesAreShownAsTheyAre()
{
    // Names can come from records and folders made elsewhere: an "&" in them
    // is shown, not taken as a shortcut mark.
    CurrentParams().Header.ProjectName = QStringLiteral("R&D");
    auto screen = openScreen();
    QVERIFY(screen);
    QCOMPARE(ButtonText(*screen, "btnShow1"), QStringLiteral("P:R&D"));
}

void TstCDlgMain::aroundAShot()
{
    auto screen = openScreen();
    QVERIFY(screen);
    QCOMPARE(EnabledCommands(*screen), QStringLiteral("1101101010"));
    QCOMPARE(ButtonText(*screen, "btnShow1"), QStringLiteral("P:QUARTZON"));
    QCOMPARE(ButtonText(*screen, "btnShow2"), QStringLiteral("T:500us"));
    QCOMPARE(ButtonText(*screen, "btnShow3"), QStringLiteral("道距:2.0m"));
    QCOMPARE(ButtonText(*screen, "btnShow5"), QStringLiteral("叠加:0"));
    QCOMPARE(ButtonText(*screen, "btnShow6"), QStringLiteral("F:"));
    QCOMPARE(ButtonText(*screen, "btnShow7"), QStringLiteral("N:1024"));
    QCOMPARE(ButtonText(*screen, "btnShow8"), QStringLiteral("偏移距:4.0m"));
    QVERIFY(screen->LinkDialog()->isHidden()); // closed itself once the unit answered

    // The shot's end rebuilds the picture once: after the data header, one rebuild.
    int rebuildsAtHeader = -1;
    connect(m_sim.get(), &UnitSimulator::CommandReceived, this, [&](char letter) {
        if (letter == 'h')
            rebuildsAtHeader = screen->View()->RebuildCount();
    });
    QString sampleTextWhileWaiting;
    m_sim->SetTriggerWaitMs(300);
    QTimer::singleShot(100, this, [&] { sampleTextWhileWaiting = ButtonText(*screen, "btnSample"); });
    QTest::keyClick(screen.get(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(sampleTextWhileWaiting, QStringLiteral("停止(S)"));
    QCOMPARE(screen->View()->RebuildCount(), rebuildsAtHeader + 1);
    QVERIFY(!Store().Traces[11].isEmpty());
    QCOMPARE(ButtonText(*screen, "btnSample"), QStringLiteral("采样(S)"));
    // Data on screen: no leaving, no settings, no reading until saved or cleared.
    QCOMPARE(EnabledCommands(*screen), QStringLiteral("0010111101"));
    QCOMPARE(screen->focusWidget(), FindButton(*screen, "btnSave"));
    {
        ModalDriver none;
        QTest::keyClick(screen.get(), Qt::Key_Escape);
        QTest::keyClick(screen.get(), Qt::Key_M, Qt::AltModifier);
        QVERIFY2(none.Finished(), qPrintable(none.Failure()));
    }
    QVERIFY(screen->isVisible());

    // Left and Right walk the open commands; the cursor report fills the fields.
    QTest::keyClick(screen.get(), Qt::Key_Right);
    QCOMPARE(screen->focusWidget(), FindButton(*screen, "btnUpLoad"));
    QTest::keyClick(screen.get(), Qt::Key_Right);
    QCOMPARE(screen->focusWidget(), FindButton(*screen, "btnAnalysis"));
    screen->OnMainPara(3, 12.5f, -0.00123f);
    QCOMPARE(ButtonText(*screen, "btnShow4"), QStringLiteral("通道:3"));
    QCOMPARE(ButtonText(*screen, "btnShow9"), QStringLiteral("时间:12.50ms"));
    QCOMPARE(ButtonText(*screen, "btnShow10"), QStringLiteral("幅值:-1.230E-03"));
}

// A shot with an open and a reversed geophone: marks on their channel numbers
// and the summary on the status line without anything to answer; Alt+Q gives
// the list; clearing takes the marks away.
void TstCDlgMain::shotCheckMarksAndList()
{
    SensorFault open, reversed;
    open.Dead = true;
    reversed.Reversed = true;
    m_sim->SetSensorFault(3, open);
    m_sim->SetSensorFault(10, reversed);
    auto screen = openScreen();
    QVERIFY(screen);
    const QLabel *notice = screen->findChild<QLabel *>(QStringLiteral("lbNotice"));
    QVERIFY(notice);
    {
        ModalDriver none;
        QTest::keyClick(screen.get(), Qt::Key_S, Qt::AltModifier);
        QVERIFY(QTest::qWaitFor([&] { return notice->isVisible() && notice->text().contains(QStringLiteral("质检")); },
                                ScaledTimeout(2000)));
        QVERIFY2(none.Finished(), qPrintable(none.Failure()));
    }
    QCOMPARE(notice->text(), QStringLiteral("质检：2道异常"));
    QVERIFY(!ButtonText(*screen, "btnShow6").contains(QStringLiteral("质检"))); // the name field is kept
    QVector<bool> expected(CurrentParams().ChannelsInUse(), false);
    expected[2] = expected[9] = true;
    QCOMPARE(screen->View()->ChannelMarks(), expected);

    // Drawn: the mark's colour over channel 3's number, none over channel 4's.
    const QImage picture = screen->View()->grab().toImage();
    const wave::Layout &layout = screen->View()->CurrentLayout();
    const auto markColour = [&](int column) {
        return picture.pixelColor(wave::ChannelMarkBox(layout, column).center());
    };
    QCOMPARE(markColour(2), QColor(255, 96, 0));
    QVERIFY(markColour(3) != QColor(255, 96, 0));

    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        const QString text = d.Text(QStringLiteral("labelMsg"));
        QVERIFY2(text.contains(QStringLiteral("第3道：无信号")) && text.contains(QStringLiteral("第10道：极性反")),
                 qPrintable(text));
        d.Key(Qt::Key_Return);
    });
    QTest::keyClick(screen.get(), Qt::Key_Q, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    screen->Core().Clear();
    QVERIFY(screen->View()->ChannelMarks().isEmpty());
}

void TstCDlgMain::onlyTheStopDuringAShot()
{
    auto screen = openScreen();
    QVERIFY(screen);
    m_sim->SetTriggerWaitMs(-1);
    ModalDriver driver;
    driver.Expect(confirmMessage(QStringLiteral("操作正在进行中，暂时无法退出，请稍候再试！")));
    bool triedAll = false;
    QTimer::singleShot(200, this, [&] {
        // Whatever reaches the slots while the unit is armed opens nothing.
        for (const char *slot : {"on_btnSet_clicked", "on_btnRead_clicked", "on_btnAnalysis_clicked",
                                 "on_btnAutoCheck_clicked", "on_btnAdd_clicked", "on_btnClear_clicked",
                                 "on_btnSave_clicked", "on_btnUpLoad_clicked", "on_btnExit_clicked"})
            QMetaObject::invokeMethod(screen.get(), slot);
        triedAll = true;
        QTimer::singleShot(100, this, [&] { FindButton(*screen, "btnSample")->click(); });
    });
    Screens().Settings = [](QWidget *) { QFAIL("settings opened during a shot"); };
    FindButton(*screen, "btnSample")->click();
    QVERIFY(triedAll);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Store().AcqState, int(AcqSampled));
    QCOMPARE(m_sim->Received('i'), 1);
}

void TstCDlgMain::stackingUndoAndClear()
{
    auto screen = openScreen();
    QVERIFY(screen);
    FindButton(*screen, "btnSample")->click();
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Title(), QStringLiteral("消息"));
        QCOMPARE(d.Text(QStringLiteral("LBShow")), QStringLiteral("是否进行通道锁道选择？"));
        QCOMPARE(d.Text(QStringLiteral("BtnCancle")), QStringLiteral("直接叠加"));
        QVERIFY(d.Click(QStringLiteral("BtnOK")));
    });
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Title(), QStringLiteral("通道锁道"));
        QVERIFY(d.Click(QStringLiteral("btnCH2")));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    FindButton(*screen, "btnAdd")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(Store().StackingOn);
    QVERIFY(Store().ChannelLocks[1] && !Store().ChannelLocks[0]);
    QCOMPARE(ButtonText(*screen, "btnAdd"), QStringLiteral("叠加中(D)"));

    FindButton(*screen, "btnSample")->click();
    QCOMPARE(ButtonText(*screen, "btnShow5"), QStringLiteral("叠加:1"));
    driver.Expect(answer(QStringLiteral("确定要进行撤销么？"), "BtnOK"));
    driver.Expect(answer(QStringLiteral("无叠加数据可撤销，确定要清屏么？"), "BtnCancle"));
    driver.Expect(answer(QStringLiteral("取消叠加后不能进行撤销且叠加次数清零，确定要取消叠加么？"), "BtnCancle"));
    driver.Expect(answer(QStringLiteral("取消叠加后不能进行撤销且叠加次数清零，确定要取消叠加么？"), "BtnOK"));
    driver.Expect(answer(QStringLiteral("无叠加数据可撤销，确定要清屏么？"), "BtnOK"));
    FindButton(*screen, "btnClear")->click();
    QCOMPARE(ButtonText(*screen, "btnShow5"), QStringLiteral("叠加:0"));
    FindButton(*screen, "btnClear")->click();
    QVERIFY(!Store().Traces[0].isEmpty()); // not confirmed: nothing cleared
    FindButton(*screen, "btnAdd")->click();
    QVERIFY(Store().StackingOn);
    FindButton(*screen, "btnAdd")->click();
    QVERIFY(!Store().StackingOn);
    QCOMPARE(ButtonText(*screen, "btnAdd"), QStringLiteral("叠加(D)"));
    FindButton(*screen, "btnClear")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(Store().Traces[0].isEmpty());
    QCOMPARE(Store().AcqState, int(AcqIdle));
    QCOMPARE(EnabledCommands(*screen), QStringLiteral("1101101010"));
}

void TstCDlgMain::saveAsksForAName()
{
    auto screen = openScreen();
    QVERIFY(screen);
    ModalDriver driver;
    driver.Expect(confirmMessage(QStringLiteral("无数据可保存，请先采样数据！")));
    screen->on_btnSave_clicked(); // reachable with self-check data of a dead channel 1
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    FindButton(*screen, "btnSample")->click();
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("lbTitle")), QStringLiteral("保存文件名:"));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("0001")); // an empty project
        d.Type(QStringLiteral("LINE7")); // replaces the offered name
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    });
    driver.Expect(confirmMessage(QStringLiteral("保存文件成功！")));
    QTest::keyClick(screen.get(), Qt::Key_W, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(QFile::exists(RecordSavePath(CurrentParams(), QStringLiteral("LINE7"))));
    QVERIFY(Store().Traces[0].isEmpty());
    QCOMPARE(EnabledCommands(*screen), QStringLiteral("1101101010"));

    // The next save offers the following number; Enter alone takes it.
    FindButton(*screen, "btnSample")->click();
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("LINE8"));
        d.Key(Qt::Key_Return);
    });
    driver.Expect(confirmMessage(QStringLiteral("保存文件成功！")));
    QTest::keyClick(screen.get(), Qt::Key_W, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(QFile::exists(RecordSavePath(CurrentParams(), QStringLiteral("LINE8"))));
}

void TstCDlgMain::unsavedPictureOfferedBackOnOpening()
{
    JournalPicture picture;
    picture.Blocks.Header.ChannelCount = 12;
    picture.Blocks.Header.SampleLength = 3;
    for (int c = 0; c < 12; ++c)
        picture.Traces[c] = {float(c), -1.5f, 2.0f};
    picture.StackCount = 4;
    for (const bool yes : {true, false}) {
        ShotJournal(JournalFolderPath()).Record(picture, QDateTime::currentDateTime());
        ModalDriver driver;
        driver.Expect([yes](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("LBShow")), QStringLiteral("上次有未保存的数据，是否恢复？"));
            QCOMPARE(d.Text(QStringLiteral("BtnOK")), QStringLiteral("是"));
            QCOMPARE(d.Text(QStringLiteral("BtnCancle")), QStringLiteral("否"));
            QCOMPARE(d.Widget()->focusWidget()->objectName(), QStringLiteral("BtnOK"));
            if (yes)
                d.Key(Qt::Key_Return); // the focus is on 是
            else
                QVERIFY(d.Click(QStringLiteral("BtnCancle")));
        });
        auto screen = openScreen();
        QVERIFY(screen);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        if (!yes) {
            QVERIFY(Store().Traces[0].isEmpty());
            continue;
        }
        QCOMPARE(Store().Traces[11], (QVector<float>{11.0f, -1.5f, 2.0f}));
        QCOMPARE(ButtonText(*screen, "btnShow5"), QStringLiteral("叠加:4"));
        QVERIFY(FindButton(*screen, "btnSave")->isEnabled());
        picture.Traces[0] = {7.0f};
    }
    // Turned down: this run does not ask again (a question would be refused and reported).
    ModalDriver none;
    auto screen = openScreen();
    QVERIFY(screen);
    QCoreApplication::processEvents(); // where the question would be asked
    QCOMPARE(none.Answered(), 0);
    QCOMPARE(none.Failure(), QString());
    QVERIFY(Store().Traces[0].isEmpty());
}

void TstCDlgMain::dateTurnsRedOnAnUnsetClock()
{
    ScopedFakePlatform platform;
    platform->SetNow(QDateTime(QDate(2000, 1, 1), QTime(8, 0)));
    auto screen = openScreen();
    QVERIFY(screen);
    const QList<QPair<QDate, QString>> cases{
        {QDate(2000, 1, 1), QStringLiteral("color:red")},
        {QDate(2012, 12, 31), QStringLiteral("color:red")},
        {QDate(2013, 1, 1), QStringLiteral("color:black")},
    };
    for (const auto &[date, colour] : cases) {
        platform->SetNow(QDateTime(date, QTime(12, 0)));
        screen->UpdateTime();
        QCOMPARE(ButtonText(*screen, "btnDate"), date.toString(QStringLiteral("yyyy/MM/dd")));
        QVERIFY2(FindButton(*screen, "btnDate")->styleSheet().endsWith(colour), qPrintable(date.toString()));
    }
}

void TstCDlgMain::batteryOnTheFirstTickThenEvery61()
{
    auto screen = openScreen();
    QVERIFY(screen);
    auto *bar = screen->findChild<QProgressBar *>(QStringLiteral("lbBattery"));
    QCOMPARE(bar->value(), 10);
    m_sim->SetBattery(4);
    ModalDriver driver; // red: the operator is told once to save
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), AcquisitionCore::BatteryLowText());
        d.Key(Qt::Key_Return);
    });
    screen->UpdateTime();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(bar->value(), 4);
    QVERIFY(bar->styleSheet().contains(QStringLiteral("chunk{background-color: red")));
    m_sim->SetBattery(5);
    for (int tick = 2; tick <= 61; ++tick)
        screen->UpdateTime();
    QCOMPARE(bar->value(), 4);
    QCOMPARE(m_sim->Received('c'), 1);
    screen->UpdateTime();
    QCOMPARE(bar->value(), 5);
    QVERIFY(bar->styleSheet().contains(QStringLiteral("chunk{background-color: green")));
    QCOMPARE(m_sim->Received('c'), 2);
}

void TstCDlgMain::meteringFields()
{
    CurrentParams().Header.ChannelCount = 24;
    auto screen = openScreen();
    QVERIFY(screen);
    FindButton(*screen, "btnSample")->click();
    CShowWave *view = screen->View();
    {
        ModalDriver none; // metering off: neither field opens anything
        FindButton(*screen, "btnShow4")->click();
        FindButton(*screen, "btnShow5")->click();
        QVERIFY2(none.Finished(), qPrintable(none.Failure()));
        QCOMPARE(view->Page(), 1);
    }
    CurrentParams().MeteringOn = true;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("lbTitle")), QStringLiteral("通道显示数量:"));
        QCOMPARE(d.Text(QStringLiteral("tBtn1")), QStringLiteral("12"));
        QVERIFY(d.Click(QStringLiteral("tBtn1")));
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    });
    FindButton(*screen, "btnShow4")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(view->ChannelsPerPage(), 12);
    FindButton(*screen, "btnShow5")->click();
    QCOMPARE(view->Page(), 2);
    FindButton(*screen, "btnShow5")->click();
    QCOMPARE(view->Page(), 1);
    screen->OnMainPara(14, 1.0f, 2.0f);
    QCOMPARE(ButtonText(*screen, "btnShow10"), QStringLiteral("Vpp:2.000E+00"));
}

void TstCDlgMain::otherScreensThroughTheSeam()
{
    QWidget *settingsParent = nullptr;
    Screens().Settings = [&](QWidget *parent) {
        settingsParent = parent;
        CurrentParams().Header.ProjectName = QStringLiteral("SITE2");
        CurrentParams().Header.ChannelCount = 24;
    };
    bool keep = true;
    Screens().SelfCheck = [&](QWidget *, InstrumentLink &link) {
        Store().LinkActive = true;
        link.SetPara(true);
        Store().LinkActive = false;
        Store().PreviousTraces[0] = {1.0f, -1.0f};
        return keep;
    };
    auto screen = openScreen();
    QVERIFY(screen);
    FindButton(*screen, "btnSet")->click();
    QCOMPARE(settingsParent, screen.get());
    QCOMPARE(ButtonText(*screen, "btnShow1"), QStringLiteral("P:SITE2"));
    // On the file at once, and with the unit.
    ParamSet reloaded(CurrentParams());
    reloaded.Header.ProjectName.clear();
    reloaded.LoadSettings();
    QCOMPARE(reloaded.Header.ProjectName, QStringLiteral("SITE2"));
    QCOMPARE(m_sim->Params().Channels, 24);
    QCOMPARE(screen->View()->CurrentLayout().Columns, 24);

    FindButton(*screen, "btnAutoCheck")->click();
    QCOMPARE(Store().AcqState, int(AcqSelfCheckShown));
    QCOMPARE(Store().Traces[0], (QVector<float>{1.0f, -1.0f}));
    QVERIFY(!FindButton(*screen, "btnSet")->isEnabled()); // its parameters are not the operator's
    QCOMPARE(ButtonText(*screen, "btnShow2"), QStringLiteral("T:125us"));
    QVERIFY(FindButton(*screen, "btnSave")->isEnabled());
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(BackupParams(), false));
}

void TstCDlgMain::launcherOpensTheScreenAndSavesAfter()
{
    InstallTaskScreens();
    CDlgZEB launcher;
    ModalDriver driver;
    driver.Expect(answer(QStringLiteral("确定要退出吗？"), "BtnOK"));
    bool opened = false;
    // Once the acquisition screen is up and connected, leave it.
    std::function<void()> leave = [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *screen = qobject_cast<CDlgMain *>(w);
            if (screen && screen->isVisible() && Store().LinkState == LinkUp && !screen->Link().IsWaiting()) {
                opened = true;
                screen->on_btnExit_clicked();
                return;
            }
        }
        QTimer::singleShot(20, this, leave);
    };
    QTimer::singleShot(20, this, leave);
    QFile::remove(CurrentParams().SettingsPath());
    FindButton(launcher, "btnSample")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(opened);
    QVERIFY(launcher.isVisible());
    QVERIFY(QFile::exists(CurrentParams().SettingsPath()));
    QCOMPARE(CurrentParams().BrowserPage, 1);
}

void TstCDlgMain::uploadByAltLAndItsPassingNotice()
{
    int opened = 0;
    std::optional<QString> outcome;
    Screens().Upload = [&](QWidget *) {
        ++opened;
        return outcome;
    };
    auto screen = openScreen();
    QVERIFY(screen);
    auto *notice = screen->findChild<QLabel *>(QStringLiteral("lbNotice"));
    QVERIFY(notice);
    QTest::keyClick(screen.get(), Qt::Key_L, Qt::AltModifier);
    QCOMPARE(opened, 0); // nothing on screen to upload
    FindButton(*screen, "btnSample")->click();
    const QString fields = ButtonText(*screen, "btnShow6");

    // Cancelled or failed: not a word.
    QTest::keyClick(screen.get(), Qt::Key_L, Qt::AltModifier);
    QCOMPARE(opened, 1);
    QCOMPARE(screen->focusWidget(), FindButton(*screen, "btnUpLoad"));
    QVERIFY(notice->isHidden());

    // Sent: the status line says so for a while, with no box to confirm,
    // then shows its fields again.
    outcome = QStringLiteral("K&001");
    ModalDriver none;
    QTest::keyClick(screen.get(), Qt::Key_L, Qt::AltModifier);
    QVERIFY2(none.Finished(), qPrintable(none.Failure()));
    QCOMPARE(opened, 2);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("上传成功:K&001"));
    QVERIFY(notice->geometry().contains(FindButton(*screen, "btnShow6")->geometry()));
    QCOMPARE(ButtonText(*screen, "btnShow6"), fields);
    QTRY_VERIFY_WITH_TIMEOUT(notice->isHidden(), ScaledTimeout(10000));
}

void TstCDlgMain::cursorKeysReportLikeATouch()
{
    auto screen = openScreen();
    QVERIFY(screen);
    FindButton(*screen, "btnSample")->click();
    CShowWave *view = screen->View();
    const wave::Layout &l = view->CurrentLayout();
    const ParamSet &p = CurrentParams();
    const auto fieldsAt = [&](int channel, int sample) {
        return QStringList{QStringLiteral("通道:%1").arg(channel),
                           QStringLiteral("时间:%1ms").arg(sample * double(p.Header.SampleInterval) / 1000.0, 0, 'f', 2),
                           QString::asprintf("幅值:%.3E", double(Store().Traces[channel - 1][sample]))};
    };
    const auto shownFields = [&] {
        return QStringList{ButtonText(*screen, "btnShow4"), ButtonText(*screen, "btnShow9"),
                           ButtonText(*screen, "btnShow10")};
    };
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(int(l.Centre(2)), l.Plot.top() + l.Plot.height() / 2));
    const int touched = view->CursorSample();
    QVERIFY(touched > 2);
    QCOMPARE(shownFields(), fieldsAt(3, touched));

    // Each step: the fields and the readout speak of the same sample; the
    // cursor stops at the record's first sample.
    const QList<std::tuple<Qt::Key, int, int>> steps{// key, presses, sample reached
        {Qt::Key_Down, 1, touched + 1}, {Qt::Key_Up, 1, touched}, {Qt::Key_Up, 1, touched - 1}, {Qt::Key_Up, touched + 1, 0}};
    for (const auto &[key, presses, sample] : steps) {
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(screen.get(), key);
        QCOMPARE(view->CursorSample(), sample);
        QCOMPARE(shownFields(), fieldsAt(3, sample));
    }
}

void TstCDlgMain::aFreshShotIsNotTheRecordReadBefore()
{
    auto screen = openScreen();
    QVERIFY(screen);
    FindButton(*screen, "btnSample")->click();
    ModalDriver driver;
    driver.Expect(confirmMessage(QStringLiteral("保存文件成功！")));
    QCOMPARE(screen->Core().Save(QStringLiteral("K001")), int(RecordOk));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    Screens().ChooseRecord = [](QWidget *, RecordChoice &choice) {
        choice.Project = CurrentParams().Header.ProjectName;
        choice.File = QStringLiteral("K001");
        return true;
    };
    screen->on_btnRead_clicked();
    ParamSet &p = CurrentParams();
    QCOMPARE(ButtonText(*screen, "btnShow6"), QStringLiteral("F:K001"));
    QCOMPARE(SnapshotCurrentRecord().FileName, QStringLiteral("K001"));

    // Cleared and shot again: neither the field nor the upload may name K001.
    screen->Core().ClearScreen();
    FindButton(*screen, "btnSample")->click();
    QCOMPARE(ButtonText(*screen, "btnShow6"), QStringLiteral("F:未保存"));
    const QString sent = SnapshotCurrentRecord().FileName;
    const QTime taken = QTime::fromString(p.Header.Time, QStringLiteral("hh:mm:ss"));
    QVERIFY2(taken.isValid(), qPrintable(p.Header.Time));
    QCOMPARE(sent, QStringLiteral("未保存") + taken.toString(QStringLiteral("hhmm")));
    QVERIFY(ToGb2312(sent).size() <= 10); // whole in the upload frame's name field

    // Saving under a name that exists keeps it unsaved; the keypad offers
    // the project's next number, never the mark.
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("K002"));
        d.Type(QStringLiteral("K001"));
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    });
    driver.Expect(confirmMessage(QStringLiteral("保存文件失败，文件已存在！")));
    screen->on_btnSave_clicked();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(ButtonText(*screen, "btnShow6"), QStringLiteral("F:未保存"));
    QCOMPARE(SnapshotCurrentRecord().FileName, sent);
}

QTEST_MAIN(TstCDlgMain)
#include "tst_cdlgmain.moc"
