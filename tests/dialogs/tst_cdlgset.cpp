#include "dialogs/CDlgSet.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"

#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QFile>
#include <QTimer>
#include <QToolButton>
#include <QLayout>
#include <QtTest>

namespace {

QToolButton *Button(QWidget &screen, const QString &name)
{
    auto *b = screen.findChild<QToolButton *>(name);
    if (!b)
        qFatal("no button %s", qPrintable(name));
    return b;
}

// The fields the settings screen edits, by name, so that test rows can name them.
QVariant Field(const QString &name)
{
    const ParamSet &p = CurrentParams();
    const RecordHeader &h = p.Header;
    const QMap<QString, QVariant> fields{
        {"ProjectName", h.ProjectName},     {"TestUnit", h.TestUnit},           {"Tester", h.Tester},
        {"ProfileNumber", h.ProfileNumber}, {"ChannelCount", h.ChannelCount},   {"SampleInterval", h.SampleInterval},
        {"SampleLength", h.SampleLength},   {"TraceOrder", h.TraceOrder},       {"TraceSpacing", h.TraceSpacing},
        {"Offset", h.Offset},               {"Delay", h.Delay},                 {"Filter", h.Filter},
        {"TriggerMethod", h.TriggerMethod}, {"TriggerLevel", h.TriggerLevel},   {"MeteringOn", p.MeteringOn},
    };
    return fields.value(name);
}

void SetField(const QString &name, const QVariant &v)
{
    ParamSet &p = CurrentParams();
    RecordHeader &h = p.Header;
    if (name == "ProjectName") h.ProjectName = v.toString();
    else if (name == "ChannelCount") h.ChannelCount = v.toInt();
    else if (name == "SampleInterval") h.SampleInterval = v.toFloat();
    else if (name == "SampleLength") h.SampleLength = v.toInt();
    else if (name == "TraceOrder") h.TraceOrder = v.toInt();
    else if (name == "TraceSpacing") h.TraceSpacing = v.toFloat();
    else if (name == "Offset") h.Offset = v.toFloat();
    else if (name == "Delay") h.Delay = v.toFloat();
    else if (name == "Filter") h.Filter = v.toFloat();
    else if (name == "TriggerMethod") h.TriggerMethod = v.toInt();
    else if (name == "TriggerLevel") h.TriggerLevel = v.toInt();
    else if (name == "MeteringOn") p.MeteringOn = v.toBool();
    else qFatal("no field %s", qPrintable(name));
}

// Every field the settings file carries, as the bytes it would write.
QByteArray SavedBytes()
{
    CurrentParams().SaveSettings();
    QFile f(CurrentParams().SettingsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCDlgSet : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TestProgramDir>();
        m_fake = std::make_unique<ScopedFakePlatform>();
    }
    void cleanup()
    {
        m_fake.reset();
        m_dir.reset();
    }

    void captions_data();
    void captions();
    void keypadsStoreWhatWasEntered_data();
    void keypadsStoreWhatWasEntered();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void toggles_data();
    void toggles();
    void focusGridMoves();
    void clockTurnsRedUntilSet_data();
    void clockTurnsRedUntilSet();
    void settingTheClock_data();
    void settingTheClock();
    void childDialogsLeaveTheScreenOpen_data();
    void childDialogsLeaveTheScreenOpen();
    void moreSettingsByKeyOrTouch_data();
    void moreSettingsByKeyOrTouch();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScopedFakePlatform> m_fake;
};

void TestCDlgSet::captions_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char *tag, const char *button, const char *field, const QVariant &v, const char *caption) {
        QTest::newRow(tag) << button << field << v << QString::fromUtf8(caption);
    };
    row("all-pass 4096", "btnFilter", "Filter", 4096.0f, "滤波\n全通");
    row("all-pass 5000", "btnFilter", "Filter", 5000.0f, "滤波\n全通");
    row("filter 1024", "btnFilter", "Filter", 1024.0f, "滤波\n1024Hz");
    row("interval 15.625", "btnRate", "SampleInterval", 15.625f, "采样间隔\n15.625us");
    row("interval 500", "btnRate", "SampleInterval", 500.0f, "采样间隔\n500us");
    row("interval 16000", "btnRate", "SampleInterval", 16000.0f, "采样间隔\n16000us");
    row("level low", "btnTriggNum", "TriggerLevel", 0, "触发水平\n低");
    row("level medium", "btnTriggNum", "TriggerLevel", 1, "触发水平\n中");
    row("level high", "btnTriggNum", "TriggerLevel", 2, "触发水平\n高");
    row("level out of list", "btnTriggNum", "TriggerLevel", 7, "触发水平\n低");
    row("external trigger", "btnTriggMethord", "TriggerMethod", 1, "触发方式\n外触发");
    row("automatic trigger", "btnTriggMethord", "TriggerMethod", 2, "触发方式\n自动触发");
    row("order forward", "btnDirectory", "TraceOrder", 1, "道序\n顺");
    row("order 2 reverse", "btnDirectory", "TraceOrder", 2, "道序\n反");
    row("spacing one decimal", "btnSpan", "TraceSpacing", 1.5f, "道间距\n1.5m");
    row("offset one decimal", "btnMove", "Offset", 4.0f, "偏移距\n4.0m");
    row("delay no decimals", "btnDelay", "Delay", 20.0f, "延迟\n20ms");
    row("channels", "btnCHNum", "ChannelCount", 24, "通道数量\n24");
    row("length", "btnSampleLen", "SampleLength", 16384, "采样长度\n16384");
    row("metering on", "btnTestMethord", "MeteringOn", true, "计量\n开启");
    row("metering off", "btnTestMethord", "MeteringOn", false, "计量\n关闭");
    row("project", "btnProject", "ProjectName", QStringLiteral("黄河大桥北岸"), "工程名称\n黄河大桥北岸");
}

void TestCDlgSet::captions()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, caption);
    SetField(field, value);
    CDlgSet screen;
    QCOMPARE(Button(screen, button)->text(), caption);
    QCOMPARE(Button(screen, "btnGain")->text(), QStringLiteral("增益\n设置"));
}

void TestCDlgSet::keypadsStoreWhatWasEntered_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("entry"); // what the keypad starts with (the defaults)
    QTest::addColumn<QString>("input"); // a choice key to press, or text to type
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("stored");
    const auto row = [](const char *tag, const char *button, const char *title, const char *entry, const char *input,
                        bool accepted, const char *field, const QVariant &stored) {
        QTest::newRow(tag) << button << QString::fromUtf8(title) << QString::fromUtf8(entry) << input << accepted
                           << field << stored;
    };
    // choice keypads
    row("all-pass", "btnFilter", "滤波(Hz):", "全通", "tBtn3", true, "Filter", 4096.0f);
    row("filter 512", "btnFilter", "滤波(Hz):", "全通", "tBtn0", true, "Filter", 512.0f);
    row("interval 15.625", "btnRate", "采样间隔(us):", "500", "tBtn1", true, "SampleInterval", 15.625f);
    row("interval 16000", "btnRate", "采样间隔(us):", "500", "tBtnBack", true, "SampleInterval", 16000.0f);
    row("24 channels", "btnCHNum", "通道数量:", "12", "tBtn1", true, "ChannelCount", 24);
    row("16384 samples", "btnSampleLen", "采样长度:", "1024", "tBtn5", true, "SampleLength", 16384);
    row("level high", "btnTriggNum", "触发水平:", "中", "tBtn2", true, "TriggerLevel", 2);
    row("level low", "btnTriggNum", "触发水平:", "中", "tBtn0", true, "TriggerLevel", 0);
    // number keypads at their bounds
    row("spacing 10000", "btnSpan", "道间距(m):", "2.0", "10000", true, "TraceSpacing", 10000.0f);
    row("spacing 10000.1", "btnSpan", "道间距(m):", "2.0", "10000.1", false, "TraceSpacing", 2.0f);
    row("offset 0", "btnMove", "偏移距(m):", "4.0", "0", true, "Offset", 0.0f);
    row("delay 500", "btnDelay", "延迟(ms):", "0", "500", true, "Delay", 500.0f);
    row("delay 501", "btnDelay", "延迟(ms):", "0", "501", false, "Delay", 0.0f);
    // text keypads
    row("project cut to 8", "btnProject", "工程名称:", "QUARTZON", "ABCDEFGHIJ", true, "ProjectName",
        QStringLiteral("ABCDEFGH"));
    row("unit", "btnTestUnit", "测试单位:", "QUARTZON", "U1", true, "TestUnit", QStringLiteral("U1"));
    row("tester", "btnTestPerson", "测试人员:", "QUARTZON", "LI", true, "Tester", QStringLiteral("LI"));
    row("profile", "btnProfileName", "测试剖面编号:", "001", "P7", true, "ProfileNumber", QStringLiteral("P7"));
}

void TestCDlgSet::keypadsStoreWhatWasEntered()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, entry);
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    QFETCH(QString, field);
    QFETCH(QVariant, stored);
    CDlgSet screen;
    screen.show();
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QCOMPARE(d.Text("lbTitle"), title);
        QCOMPARE(d.Text("editValue"), entry);
        if (input.startsWith(QLatin1String("tBtn")))
            QVERIFY(d.Click(input));
        else
            d.Retype(input);
        QVERIFY(d.Click("tBtnOK"));
        if (d.IsOpen())
            d.Key(Qt::Key_Escape);
    });
    if (!accepted)
        driver.Expect([](ModalDialog &d) {
            QVERIFY(d.Text("labelMsg").startsWith(QStringLiteral("输入范围有误")));
            d.Key(Qt::Key_Return);
        });
    Button(screen, button)->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Field(field), stored); // exactly: 15.625 is no rounded 15.6
    QCOMPARE(screen.FocusIndex(), 19);
    QCOMPARE(QWidget::keyboardGrabber(), &screen);
}

void TestCDlgSet::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("cancelKey"); // object name of the child's way out after the keypad
    for (const char *b : {"btnProject", "btnTestUnit", "btnTestPerson", "btnProfileName", "btnCHNum", "btnRate",
                          "btnSampleLen", "btnFilter", "btnTriggNum", "btnSpan", "btnMove", "btnDelay"})
        QTest::newRow(b) << b << QString();
    // Dialogs whose keypads are cancelled, then left through their own way out.
    QTest::newRow("gain keypad") << "btnGain" << "btnSet1";
    QTest::newRow("sensitivity keypad") << "btnSetSensor" << "btnValue1";
}

void TestCDlgSet::cancelChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, cancelKey);
    const QByteArray before = SavedBytes();
    CDlgSet screen;
    screen.show();
    ModalDriver driver;
    if (cancelKey.isEmpty()) {
        driver.Expect([](ModalDialog &d) {
            d.Retype(QStringLiteral("1"));
            d.Key(Qt::Key_Escape);
        });
    } else {
        driver.Expect([&](ModalDialog &d) {
            QVERIFY(d.Click(cancelKey));
            QVERIFY(d.Click("btnOK"));
        });
        driver.Expect([](ModalDialog &d) { QVERIFY(d.Click("tBtnCancel")); });
    }
    Button(screen, button)->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(SavedBytes().toHex(), before.toHex());
}

void TestCDlgSet::toggles_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    QTest::newRow("trigger method") << "btnTriggMethord" << "TriggerMethod" << QVariant(1) << QVariant(0) << QVariant(1);
    QTest::newRow("trigger method 5") << "btnTriggMethord" << "TriggerMethod" << QVariant(5) << QVariant(1) << QVariant(0);
    QTest::newRow("trace order 2") << "btnDirectory" << "TraceOrder" << QVariant(2) << QVariant(0) << QVariant(1);
    QTest::newRow("metering") << "btnTestMethord" << "MeteringOn" << QVariant(false) << QVariant(true) << QVariant(false);
}

void TestCDlgSet::toggles()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QVariant, start);
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    SetField(field, start);
    CDlgSet screen;
    screen.show();
    Button(screen, button)->click();
    QCOMPARE(Field(field), first);
    Button(screen, button)->click();
    QCOMPARE(Field(field), second);
}

void TestCDlgSet::focusGridMoves()
{
    CDlgSet screen;
    screen.show();
    QCOMPARE(screen.FocusIndex(), 19);
    QCOMPARE(QWidget::keyboardGrabber(), &screen);
    QCOMPARE(screen.focusWidget(), Button(screen, "btnOK"));
    const auto press = [&screen](Qt::Key key) { QTest::keyClick(&screen, key); };
    press(Qt::Key_Right);
    QCOMPARE(screen.FocusIndex(), 0); // wraps around the twenty buttons
    press(Qt::Key_Up);
    QCOMPARE(screen.focusWidget(), Button(screen, "btnTriggMethord"));
    press(Qt::Key_Down);
    press(Qt::Key_Left);
    QCOMPARE(screen.FocusIndex(), 19);
    QTest::mouseClick(Button(screen, "btnDirectory"), Qt::LeftButton);
    QCOMPARE(screen.FocusIndex(), 5);
    QCOMPARE(screen.focusWidget(), Button(screen, "btnDirectory"));
}

void TestCDlgSet::clockTurnsRedUntilSet_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("red");
    QTest::newRow("2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << "2000/01/01\n00:00:00" << true;
    QTest::newRow("2012-12-31") << QDateTime(QDate(2012, 12, 31), QTime(23, 59, 59)) << "2012/12/31\n23:59:59" << true;
    QTest::newRow("2013-01-01") << QDateTime(QDate(2013, 1, 1), QTime(0, 0)) << "2013/01/01\n00:00:00" << false;
}

void TestCDlgSet::clockTurnsRedUntilSet()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, shown);
    QFETCH(bool, red);
    (*m_fake)->SetNow(now.addSecs(-1));
    CDlgSet screen;
    (*m_fake)->SetNow(now);
    screen.UpdateTime(); // what the one-second timer runs
    QToolButton *clock = Button(screen, "btnSetTime");
    QCOMPARE(clock->text(), shown);
    QCOMPARE(clock->styleSheet().contains(QStringLiteral("color:red")), red);
    QCOMPARE(clock->styleSheet().contains(QStringLiteral("color:black")), !red);
}

void TestCDlgSet::settingTheClock_data()
{
    QTest::addColumn<int>("dateExit");
    QTest::addColumn<int>("hwclockExit");
    QTest::addColumn<QString>("hangs"); // the program that never returns
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("message");
    const QString date = QStringLiteral("date -s 2024-02-29 13:05:09");
    const QString hwclock = QStringLiteral("hwclock --systohc");
    const QString failed = QStringLiteral("设置时间失败！");
    const QString halfSet = QStringLiteral("系统时间已设置，硬件时钟保存失败！");
    QTest::newRow("both succeed") << 0 << 0 << QString() << QStringList{date, hwclock} << QString();
    QTest::newRow("date refused") << 1 << 0 << QString() << QStringList{date} << failed;
    QTest::newRow("hwclock fails") << 0 << 1 << QString() << QStringList{date, hwclock} << halfSet;
    QTest::newRow("date never returns") << 0 << 0 << "date" << QStringList{date} << failed;
    QTest::newRow("hwclock never returns") << 0 << 0 << "hwclock" << QStringList{date, hwclock} << halfSet;
}

void TestCDlgSet::settingTheClock()
{
    QFETCH(int, dateExit);
    QFETCH(int, hwclockExit);
    QFETCH(QString, hangs);
    QFETCH(QStringList, commands);
    QFETCH(QString, message);
    FakePlatform &fake = **m_fake;
    fake.SetNow(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9)));
    fake.SetExitCode(QStringLiteral("date"), dateExit);
    fake.SetExitCode(QStringLiteral("hwclock"), hwclockExit);
    if (!hangs.isEmpty()) {
        fake.SetNeverReturns(hangs);
        fake.SetClockCommandLimitMs(ScaledTimeout(300));
    }
    CDlgSet screen;
    screen.show();
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return, Qt::AltModifier); });
    if (!message.isEmpty())
        driver.Expect([message](ModalDialog &d) {
            QCOMPARE(d.Text("labelMsg"), message);
            d.Key(Qt::Key_Return);
        });
    // While a command runs, the screen goes on answering, and a second press starts nothing.
    int pressesWhileRunning = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &screen, [&] {
        if (fake.Commands().isEmpty() || fake.Commands().last().Program != hangs)
            return;
        poll.stop();
        ++pressesWhileRunning;
        Button(screen, "btnSetTime")->click();
    });
    poll.start(10);
    Button(screen, "btnSetTime")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(fake.CommandLines(), commands);
    QCOMPARE(fake.Commands().first().Arguments.size(), 2); // one argument, no shell
    QCOMPARE(pressesWhileRunning, hangs.isEmpty() ? 0 : 1);
}

void TestCDlgSet::childDialogsLeaveTheScreenOpen_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::newRow("Esc in the date dialog") << "btnSetTime" << int(Qt::Key_Escape);
    QTest::newRow("Esc in the sensor dialog") << "btnSetSensor" << int(Qt::Key_Escape);
    QTest::newRow("Esc on a keypad") << "btnProject" << int(Qt::Key_Escape);
    QTest::newRow("Enter in the gain dialog") << "btnGain" << int(Qt::Key_Return);
    QTest::newRow("Enter in the colour dialog") << "btnSetColor" << int(Qt::Key_Return);
}

void TestCDlgSet::childDialogsLeaveTheScreenOpen()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    CDlgSet screen;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QVERIFY(d.Click(button));
        // Back from the child: the screen is still open and has the keyboard again.
        QVERIFY(d.IsOpen());
        QCOMPARE(QWidget::keyboardGrabber(), &screen);
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    driver.Expect([&](ModalDialog &d) {
        QVERIFY(QWidget::keyboardGrabber() != &screen);
        d.Key(key); // Esc or Enter reach the child, not the screen underneath
    });
    QCOMPARE(screen.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(driver.Answered(), 2);
}

void TestCDlgSet::moreSettingsByKeyOrTouch_data()
{
    QTest::addColumn<bool>("touch");
    QTest::newRow("Alt+G") << false;
    QTest::newRow("corner button") << true;
}

void TestCDlgSet::moreSettingsByKeyOrTouch()
{
    QFETCH(bool, touch);
    CDlgSet screen;
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    const QRect okPlace = screen.findChild<QToolButton *>(QStringLiteral("btnOK"))->geometry();
    // The corner button floats over the colour button's corner: the twenty
    // stay in their grid, and no other caption is covered.
    auto *more = screen.findChild<QToolButton *>(QStringLiteral("btnMoreSettings"));
    QVERIFY(more && more->isVisible());
    QCOMPARE(screen.layout()->count(), 20);
    QCOMPARE(screen.layout()->indexOf(more), -1);
    const auto *colour = screen.findChild<QToolButton *>(QStringLiteral("btnSetColor"));
    QVERIFY(colour->geometry().contains(more->geometry()));
    QVERIFY(!more->geometry().contains(colour->geometry().center()));
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Title(), QStringLiteral("更多设置"));
        QCOMPARE(d.Text(QStringLiteral("btnAutoSave")), QStringLiteral("自动保存\n关闭"));
        QVERIFY(d.Click(QStringLiteral("btnAutoSave")));
        QCOMPARE(d.Text(QStringLiteral("btnAutoSave")), QStringLiteral("自动保存\n开启"));
        QVERIFY(d.Click(QStringLiteral("btnOK")));
    });
    if (touch)
        QTest::mouseClick(more, Qt::LeftButton);
    else
        QTest::keyClick(&screen, Qt::Key_G, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(CurrentPreferences().AutoSave);
    Preferences stored;
    QVERIFY(stored.Load());
    QVERIFY(stored.AutoSave);
    QVERIFY(!QFile::exists(CurrentParams().SettingsPath())); // the survey settings are not touched
    QCOMPARE(screen.findChild<QToolButton *>(QStringLiteral("btnOK"))->geometry(), okPlace);
    QVERIFY(screen.isVisible());
}

QTEST_MAIN(TestCDlgSet)
#include "tst_cdlgset.moc"
