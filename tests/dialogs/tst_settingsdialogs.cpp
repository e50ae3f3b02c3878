#include "dialogs/CDlgGain.h"
#include "dialogs/CDlgKeyColor.h"
#include "dialogs/CDlgSetColor.h"
#include "dialogs/CDlgSetSensor.h"
#include "dialogs/MyTDEdit.h"
#include "dialogs/TDLineEdit.h"
#include "dialogs/TimeDateDlg.h"
#include "params/ParamSet.h"

#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QPushButton *Button(QWidget &dialog, const QString &name)
{
    auto *b = dialog.findChild<QPushButton *>(name);
    if (!b)
        qFatal("no button %s", qPrintable(name));
    return b;
}

const QDateTime kClock(QDate(2013, 5, 6), QTime(7, 8, 9));

} // namespace

class TestSettingsDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TestProgramDir>();
        m_fake = std::make_unique<ScopedFakePlatform>();
        (*m_fake)->SetNow(kClock);
    }
    void cleanup()
    {
        m_fake.reset();
        m_dir.reset();
    }

    // gains
    void groupGainSetsExactlyItsSixChannels();
    void unequalGroupShowsItsFirstChannel();
    void twelveChannelsLeaveTheUpperGroupsOut();
    // sensor
    void sensorDialogShowsTheChannelsInUse_data();
    void sensorDialogShowsTheChannelsInUse();
    void sensitivityKeepsItsRange_data();
    void sensitivityKeepsItsRange();
    void sensorToggles();
    // colours
    void colourSlotsReturnWhatWasChosen();
    void paletteMoves_data();
    void paletteMoves();
    void colourDialogClosesThroughOKOnly();
    // date and time
    void typingAYearAndMovingSections();
    void halfTypedValueKeepsTheDialogOpen();
    void keysTypedAheadKeepTheirOrder();
    void curTimeAndEscape();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScopedFakePlatform> m_fake;
};

void TestSettingsDialogs::groupGainSetsExactlyItsSixChannels()
{
    CurrentParams().Header.ChannelCount = 24;
    const auto before = CurrentParams().Gains;
    CDlgGain dialog;
    dialog.show();
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QCOMPARE(d.Text("lbTitle"), QStringLiteral("7-12通道(dB):"));
        QCOMPARE(d.Text("editValue"), QStringLiteral("24"));
        const QStringList keys{"tBtn0", "tBtn1", "tBtn2", "tBtn3", "tBtn4", "tBtn5", "tBtn6", "tBtn7"};
        QStringList texts;
        for (const QString &k : keys)
            texts << d.Text(k);
        QCOMPARE(texts, (QStringList{"0", "12", "24", "36", "48", "60", "72", ""}));
        QVERIFY(d.Click("tBtn3"));
        QVERIFY(d.Click("tBtnOK"));
    });
    Button(dialog, "btnSet2")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    for (int ch = 0; ch < kMaxChannels; ++ch)
        QCOMPARE(CurrentParams().Gains[ch], ch >= 6 && ch < 12 ? 36 : before[ch]);
    QCOMPARE(Button(dialog, "btnSet2")->text(), QStringLiteral("7-12通道\n36dB"));
}

void TestSettingsDialogs::unequalGroupShowsItsFirstChannel()
{
    CurrentParams().Header.ChannelCount = 24;
    CurrentParams().Gains[12] = 12;
    CurrentParams().Gains[13] = 72;
    CDlgGain dialog;
    QCOMPARE(Button(dialog, "btnSet3")->text(), QStringLiteral("13-18通道\n12dB"));
    QCOMPARE(Button(dialog, "btnSet4")->text(), QStringLiteral("19-24通道\n60dB"));
}

void TestSettingsDialogs::twelveChannelsLeaveTheUpperGroupsOut()
{
    CurrentParams().Header.ChannelCount = 12;
    CDlgGain dialog;
    dialog.show();
    for (const char *name : {"btnSet3", "btnSet4"}) {
        QVERIFY(!Button(dialog, name)->isEnabled());
        QCOMPARE(Button(dialog, name)->text(), QString());
    }
    // The ring is OK, 1-6, 7-12: the disabled groups are stepped over both ways.
    QCOMPARE(dialog.CurrentItem(), 0);
    QList<int> visited;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&dialog, Qt::Key_Right);
        visited << dialog.CurrentItem();
    }
    QTest::keyClick(&dialog, Qt::Key_Up);
    visited << dialog.CurrentItem();
    QCOMPARE(visited, (QList<int>{1, 2, 0, 2}));
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnSet2"));
    QTest::keyClick(&dialog, Qt::Key_Escape); // not a way out of this dialog
    QVERIFY(dialog.isVisible());
}

void TestSettingsDialogs::sensorDialogShowsTheChannelsInUse_data()
{
    QTest::addColumn<int>("channels");
    QTest::newRow("12") << 12;
    QTest::newRow("24") << 24;
}

void TestSettingsDialogs::sensorDialogShowsTheChannelsInUse()
{
    QFETCH(int, channels);
    CurrentParams().Header.ChannelCount = channels;
    CurrentParams().Sensor.Sensitivity[0] = 28.5f;
    CDlgSetSensor dialog;
    dialog.show();
    int shown = 0;
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        const bool visible = Button(dialog, QStringLiteral("btnValue%1").arg(ch))->isVisible();
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lb%1").arg(ch))->isVisible(), visible);
        shown += visible;
    }
    QCOMPARE(shown, channels);
    QCOMPARE(Button(dialog, "btnValue1")->text(), QStringLiteral("28.500"));
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnOK"));
    QTest::keyClick(&dialog, Qt::Key_Right); // arrows are no keys of this dialog
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnOK"));
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestSettingsDialogs::sensitivityKeepsItsRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0.5 refused") << "0.5" << false;
    QTest::newRow("1 accepted") << "1" << true;
    QTest::newRow("10000 accepted") << "10000" << true;
}

void TestSettingsDialogs::sensitivityKeepsItsRange()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    CurrentParams().Header.ChannelCount = 24;
    CurrentParams().Sensor.Sensitivity.fill(2.0f);
    CDlgSetSensor dialog;
    dialog.show();
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QCOMPARE(d.Text("lbTitle"), QStringLiteral("灵敏度系数17:"));
        QCOMPARE(d.Text("editValue"), QStringLiteral("2.000"));
        d.Retype(typed);
        QVERIFY(d.Click("tBtnOK"));
        if (d.IsOpen())
            QVERIFY(d.Click("tBtnCancel"));
    });
    if (!accepted)
        driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
    Button(dialog, "btnValue17")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    for (int ch = 0; ch < kMaxChannels; ++ch)
        QCOMPARE(CurrentParams().Sensor.Sensitivity[ch], ch == 16 && accepted ? typed.toFloat() : 2.0f);
    QCOMPARE(Button(dialog, "btnValue17")->text(), QString::number(CurrentParams().Sensor.Sensitivity[16], 'f', 3));
}

void TestSettingsDialogs::sensorToggles()
{
    CDlgSetSensor dialog;
    QCOMPARE(Button(dialog, "btnSetMethord")->text(), QStringLiteral("设置方式\n分开"));
    Button(dialog, "btnSensorType")->click();
    Button(dialog, "btnSignType")->click();
    Button(dialog, "btnSetMethord")->click();
    const SensorBlock &s = CurrentParams().Sensor;
    QCOMPARE((QList<int>{s.SensorType, s.MeteringSignal, s.SettingMethod}), (QList<int>{0, 0, 1}));
    QCOMPARE(Button(dialog, "btnSensorType")->text(), QStringLiteral("传感器类型\n加速度"));
    QCOMPARE(Button(dialog, "btnSignType")->text(), QStringLiteral("计量信号\n信号源"));
    QCOMPARE(Button(dialog, "btnSetMethord")->text(), QStringLiteral("设置方式\n统一"));
}

void TestSettingsDialogs::colourSlotsReturnWhatWasChosen()
{
    // Never shown, so no slot has been styled yet: what comes back must be
    // the colours given and chosen, not the buttons' default grey.
    CDlgSetColor dialog;
    dialog.SetNames({QStringLiteral("背景"), QStringLiteral("基线"), QStringLiteral("填充")});
    const QList<QColor> given{QColor(0, 0, 0), QColor(255, 255, 255), QColor(218, 178, 115)};
    dialog.SetColours(given);
    QCOMPARE(dialog.Colours().mid(0, 3), given);
    QCOMPARE(dialog.Colours().at(10), QColor(Qt::white));
    QVERIFY(Button(dialog, "btnColor1")->styleSheet().startsWith(QStringLiteral("color:rgb(255,255,255);")));
    QVERIFY(!Button(dialog, "btnColor1")->styleSheet().contains(QLatin1Char('}')));
    QVERIFY(!Button(dialog, "btnColor4")->isEnabled());

    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { QVERIFY(d.Click("btnColor13")); }); // black
    Button(dialog, "btnColor3")->click();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(dialog.Colours().at(2), QColor(0, 0, 0));
    QCOMPARE(Button(dialog, "btnColor3")->styleSheet(),
             QStringLiteral("color:rgb(255,255,255);background-color:rgb(0, 0, 0);"));
}

void TestSettingsDialogs::paletteMoves_data()
{
    QTest::addColumn<int>("from"); // 1-based buttons
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::newRow("Up from 2") << 2 << int(Qt::Key_Up) << 14;
    QTest::newRow("Down from 15") << 15 << int(Qt::Key_Down) << 3;
    QTest::newRow("Right from 16") << 16 << int(Qt::Key_Right) << 1;
    QTest::newRow("Left from 1") << 1 << int(Qt::Key_Left) << 16;
}

void TestSettingsDialogs::paletteMoves()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    CDlgKeyColor palette;
    palette.show();
    QCOMPARE(palette.CurrentItem(), 0);
    QCOMPARE(palette.focusWidget(), Button(palette, "btnColor1"));
    QTest::keyClick(&palette, Qt::Key_Escape); // the palette ends only by a choice
    QVERIFY(palette.isVisible());
    for (int i = 1; i < from; ++i)
        QTest::keyClick(&palette, Qt::Key_Right);
    QTest::keyClick(&palette, Qt::Key(key));
    QCOMPARE(palette.CurrentItem(), to - 1);
    QTest::keyClick(&palette, Qt::Key_Return);
    QCOMPARE(palette.result(), int(QDialog::Accepted));
    QCOMPARE(palette.Colour(), CDlgKeyColor::PaletteColour(to - 1));
}

void TestSettingsDialogs::colourDialogClosesThroughOKOnly()
{
    CDlgSetColor dialog;
    dialog.SetNames({QStringLiteral("背景"), QStringLiteral("基线"), QStringLiteral("填充")});
    dialog.show();
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnOK"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    // The ring is slot 1, slot 2, slot 3, OK; the disabled slots are out of it.
    QTest::keyClick(&dialog, Qt::Key_Right);
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnColor1"));
    QTest::keyClick(&dialog, Qt::Key_Left);
    QTest::keyClick(&dialog, Qt::Key_Left);
    QCOMPARE(dialog.focusWidget(), Button(dialog, "btnColor3"));
    QTest::keyClick(&dialog, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestSettingsDialogs::typingAYearAndMovingSections()
{
    TimeDateDlg dialog;
    dialog.show();
    MyTDEdit *field = dialog.Field();
    QCOMPARE(field->text(), QStringLiteral("2013-05-06 07:08:09"));
    QCOMPARE(field->currentSectionIndex(), 0);
    Button(dialog, "btnLeft")->click(); // nothing left of the year
    QCOMPARE(field->currentSectionIndex(), 0);
    Button(dialog, "btnDigit1")->click(); // no year in range starts with 1
    for (const char *digit : {"btnDigit2", "btnDigit0", "btnDigit2", "btnDigit4"})
        Button(dialog, digit)->click();
    QTRY_COMPARE(field->text(), QStringLiteral("2024-05-06 07:08:09"));
    QCOMPARE(field->currentSectionIndex(), 0);
    QTest::keyClick(&dialog, Qt::Key_Right);
    QCOMPARE(field->currentSection(), QDateTimeEdit::MonthSection);
    QCOMPARE(field->Line()->selectedText(), QStringLiteral("05"));
    for (int i = 0; i < 6; ++i)
        Button(dialog, "btnRight")->click();
    QCOMPARE(field->currentSection(), QDateTimeEdit::SecondSection);
    QTest::keyClick(&dialog, Qt::Key_3); // physical digit keys type too
    QTest::keyClick(&dialog, Qt::Key_0);
    QTRY_COMPARE(field->text(), QStringLiteral("2024-05-06 07:08:30"));
    QTest::keyClick(&dialog, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Value(), QDateTime(QDate(2024, 5, 6), QTime(7, 8, 30)));
}

void TestSettingsDialogs::halfTypedValueKeepsTheDialogOpen()
{
    TimeDateDlg dialog;
    dialog.show();
    for (const char *digit : {"btnDigit2", "btnDigit0", "btnDigit2"})
        Button(dialog, digit)->click();
    QTRY_VERIFY(dialog.Field()->text().startsWith(QStringLiteral("202-")));
    Button(dialog, "btnOK")->click();
    // Not set from a value nobody saw: the field shows what it holds, the dialog stays.
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Field()->text(), QStringLiteral("2013-05-06 07:08:09"));
    Button(dialog, "btnOK")->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.Value(), kClock);
}

void TestSettingsDialogs::keysTypedAheadKeepTheirOrder()
{
    // A burst of keys is handled before the field sees any of the digits:
    // each digit must still land in the section it was typed into.
    TimeDateDlg dialog;
    dialog.show();
    for (Qt::Key key : {Qt::Key_2, Qt::Key_0, Qt::Key_2, Qt::Key_4, Qt::Key_Right, Qt::Key_1, Qt::Key_1,
                        Qt::Key_Right, Qt::Key_Right, Qt::Key_2, Qt::Key_3})
        QTest::keyClick(&dialog, key);
    QTest::keyClick(&dialog, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Value(), QDateTime(QDate(2024, 11, 6), QTime(23, 8, 9)));
}

void TestSettingsDialogs::curTimeAndEscape()
{
    TimeDateDlg dialog;
    dialog.show();
    const QDateTime later(QDate(2030, 1, 2), QTime(3, 4, 5));
    (*m_fake)->SetNow(later);
    Button(dialog, "btnCurTime")->click();
    QCOMPARE(dialog.Field()->text(), QStringLiteral("2030-01-02 03:04:05"));
    QCOMPARE(dialog.Value(), later);
    Button(dialog, "btnDigit9")->click();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.Value(), later);
    // A clock outside 2000…2100 cannot stand in the field.
    dialog.SetValue(QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
    QCOMPARE(dialog.Value(), QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
