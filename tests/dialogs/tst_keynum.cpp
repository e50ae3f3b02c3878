#include "dialogs/QDlgKeyNum.h"
#include "params/ParamSet.h"

#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

namespace {
const char *const kEmptyRefusal = "输入为空，请输入一个值!";

QLineEdit *Edit(QDlgKeyNum &k)
{
    return k.findChild<QLineEdit *>(QStringLiteral("editValue"));
}

QToolButton *Key(QDlgKeyNum &k, const QString &name)
{
    return k.findChild<QToolButton *>(name);
}
} // namespace

class TestKeyNum : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    // number mode
    void numberModeLook();
    void rangeIsInclusive_data();
    void rangeIsInclusive();
    void refusesEmptyInput();
    void keysEditTheValueAtTheCursor_data();
    void keysEditTheValueAtTheCursor();
    void loneDotReadsAsZero();
    void digitBeyondTheRangeIsRefusedAloud_data();
    void digitBeyondTheRangeIsRefusedAloud();
    void dotKeyFollowsDecimalsAndTitle();
    void entryLengthDependsOnTheTitle();
    void physicalKeysInNumberMode();
    void escapeCancelsAndLeavesTheCallersValue();
    void numberModeWrapsWithinFourteenItems_data();
    void numberModeWrapsWithinFourteenItems();
    void tabIsIgnored();
    void altReturnConfirmsAndReturnClicks();
    // choice mode
    void choicesGoOnTheKeys();
    void downFromFirstChoiceWrapsWithinFiveItems();
    void returnOnAChoicePicksAndConfirms();
    void returnOnCancelStaysCancelled();
    void choiceKeyReplacesTheEntry();
    void mousePressMovesTheHighlightWithinTheChoices();

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

void TestKeyNum::numberModeLook()
{
    QDlgKeyNum k(QStringLiteral("道间距(m):"), 2.0f, 1, 0.0f, 500.0f);
    QCOMPARE(k.findChild<QLabel *>(QStringLiteral("lbTitle"))->text(), QStringLiteral("道间距(m):"));
    QCOMPARE(Edit(k)->text(), QStringLiteral("2.0"));
    QCOMPARE(Key(k, QStringLiteral("tBtnOK"))->text(), QStringLiteral("  确定  "));
    QCOMPARE(Key(k, QStringLiteral("tBtnCancel"))->text(), QStringLiteral("  取消  "));
    QCOMPARE(Key(k, QStringLiteral("tBtnBack"))->text(), QStringLiteral("Back"));
    QVERIFY(Key(k, QStringLiteral("tBtnSign"))->isHidden());
    QVERIFY(k.findChild<QLabel *>(QStringLiteral("lbTitle2"))->isHidden());
    QVERIFY(k.findChild<QLineEdit *>(QStringLiteral("editValue2"))->isHidden());
    QCOMPARE(k.ItemCount(), 14);
    QCOMPARE(k.Mode(), 0);
    // Covers the whole desktop, metering or not.
    CurrentParams().MeteringOn = true;
    QDlgKeyNum k2(QStringLiteral("道间距(m):"), 2.0f, 1, 0.0f, 500.0f);
    QCOMPARE(k2.size(), QGuiApplication::primaryScreen()->geometry().size());
}

void TestKeyNum::rangeIsInclusive_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<float>("value");
    QTest::newRow("500") << QStringLiteral("500") << true << 500.0f;
    QTest::newRow("0") << QStringLiteral("0") << true << 0.0f;
    QTest::newRow("499.9") << QStringLiteral("499.9") << true << 499.9f;
    QTest::newRow("500.1") << QStringLiteral("500.1") << false << 0.0f;
    QTest::newRow("501") << QStringLiteral("501") << false << 0.0f;
}

void TestKeyNum::rangeIsInclusive()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(float, value);
    ModalDriver driver;
    QString refusal;
    driver.Expect([&](ModalDialog &d) {
        d.Retype(typed);
        QCOMPARE(d.Text(QStringLiteral("editValue")), typed);
        d.Key(Qt::Key_Return, Qt::AltModifier);
        if (d.IsOpen())
            d.Key(Qt::Key_Escape);
    });
    if (!accepted)
        driver.Expect([&refusal](ModalDialog &d) {
            refusal = d.Text(QStringLiteral("labelMsg"));
            d.Key(Qt::Key_Return);
        });
    QDlgKeyNum k(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    const int result = k.exec();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(result == QDialog::Accepted, accepted);
    if (accepted) {
        QCOMPARE(k.value, value);
    } else {
        QCOMPARE(refusal, QStringLiteral("输入范围有误,请输入0.0到500.0之间的值(包含0.0和500.0)!"));
    }
}

void TestKeyNum::refusesEmptyInput()
{
    ModalDriver driver;
    bool stayedOpen = false;
    driver.Expect([&stayedOpen](ModalDialog &d) {
        d.Key(Qt::Key_Backspace); // the value "0" was one character
        QCOMPARE(d.Text(QStringLiteral("editValue")), QString());
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
        stayedOpen = d.IsOpen();
        QVERIFY(d.Click(QStringLiteral("tBtnCancel")));
    });
    QString refusal;
    driver.Expect([&refusal](ModalDialog &d) {
        refusal = d.Text(QStringLiteral("labelMsg"));
        d.Key(Qt::Key_Return);
    });
    QDlgKeyNum k(QStringLiteral("延时(ms):"), 0.0f, 0, 0.0f, 1000.0f);
    QCOMPARE(k.exec(), int(QDialog::Rejected));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(refusal, QString::fromUtf8(kEmptyRefusal));
    QVERIFY(stayedOpen);
}

void TestKeyNum::keysEditTheValueAtTheCursor_data()
{
    QTest::addColumn<float>("start");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("cursor"); // -1: where the keypad puts it
    QTest::addColumn<QString>("keys"); // '<' is Back
    QTest::addColumn<QString>("entry");
    QTest::addColumn<float>("value");
    QTest::newRow("opens at the end") << 2.0f << 1 << -1 << "" << "2.0" << 2.0f;
    QTest::newRow("Back takes one character") << 2.0f << 1 << -1 << "<" << "2." << 2.0f;
    QTest::newRow("a digit follows the value") << 12.0f << 0 << -1 << "3" << "123" << 123.0f;
    QTest::newRow("Back, then a digit") << 2.0f << 1 << -1 << "<5" << "2.5" << 2.5f;
    QTest::newRow("inserted where the cursor is") << 25.0f << 0 << 1 << "0" << "205" << 205.0f;
    QTest::newRow("Back before the cursor") << 25.0f << 0 << 1 << "<" << "5" << 5.0f;
}

void TestKeyNum::keysEditTheValueAtTheCursor()
{
    QFETCH(float, start);
    QFETCH(int, decimals);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, entry);
    QFETCH(float, value);
    QDlgKeyNum k(QStringLiteral("偏移距(m):"), start, decimals, 0.0f, 500.0f);
    QCOMPARE(Edit(k)->cursorPosition(), Edit(k)->text().size());
    QVERIFY(!Edit(k)->hasSelectedText());
    if (cursor >= 0)
        Edit(k)->setCursorPosition(cursor);
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        for (const QChar c : keys) {
            if (c == QLatin1Char('<'))
                QVERIFY(d.Click(QStringLiteral("tBtnBack")));
            else
                QVERIFY(d.Click(QStringLiteral("tBtn") + c));
        }
        QCOMPARE(d.Text(QStringLiteral("editValue")), entry);
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    });
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.value, value);
}

void TestKeyNum::loneDotReadsAsZero()
{
    const auto enterDot = [](ModalDialog &d) {
        d.Retype(QStringLiteral("."));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("."));
        d.Key(Qt::Key_Return, Qt::AltModifier);
        if (d.IsOpen())
            d.Key(Qt::Key_Escape);
    };
    ModalDriver driver;
    driver.Expect(enterDot);
    QDlgKeyNum zeroAllowed(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    QCOMPARE(zeroAllowed.exec(), int(QDialog::Accepted));
    QCOMPARE(zeroAllowed.value, 0.0f);
    // Where 0 is out of range, the dot is refused as 0 would be.
    driver.Expect(enterDot);
    QString refusal;
    driver.Expect([&refusal](ModalDialog &d) {
        refusal = d.Text(QStringLiteral("labelMsg"));
        d.Key(Qt::Key_Return);
    });
    QDlgKeyNum fromOne(QStringLiteral("偏移距(m):"), 4.0f, 1, 1.0f, 500.0f);
    QCOMPARE(fromOne.exec(), int(QDialog::Rejected));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(refusal, QStringLiteral("输入范围有误,请输入1.0到500.0之间的值(包含1.0和500.0)!"));
}

void TestKeyNum::digitBeyondTheRangeIsRefusedAloud_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<float>("start");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<float>("maximum");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::newRow("more whole digits than the maximum")
        << "延迟(ms):" << 450.0f << 0 << 500.0f << "450" << "输入范围有误,请输入0到500之间的值(包含0和500)!";
    QTest::newRow("more decimals than the keypad takes")
        << "偏移距(m):" << 4.0f << 1 << 500.0f << "4.0" << "输入范围有误,请输入0.0到500.0之间的值(包含0.0和500.0)!";
    QTest::newRow("longer than the entry")
        << "偏移距(m):" << 1234567.0f << 0 << 1e9f << "1234567"
        << "输入范围有误,请输入0到1000000000之间的值(包含0和1000000000)!";
}

void TestKeyNum::digitBeyondTheRangeIsRefusedAloud()
{
    QFETCH(QString, title);
    QFETCH(float, start);
    QFETCH(int, decimals);
    QFETCH(float, maximum);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    ModalDriver driver;
    QString after;
    driver.Expect([&](ModalDialog &d) {
        d.Key(Qt::Key_5);
        after = d.Text(QStringLiteral("editValue"));
        QVERIFY(d.IsOpen());
        d.Key(Qt::Key_Escape);
    });
    QString shown;
    driver.Expect([&shown](ModalDialog &d) {
        shown = d.Text(QStringLiteral("labelMsg"));
        d.Key(Qt::Key_Return);
    });
    QDlgKeyNum k(title, start, decimals, 0.0f, maximum);
    QCOMPARE(k.exec(), int(QDialog::Rejected));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(shown, message);
    QCOMPARE(after, entry);
}

void TestKeyNum::dotKeyFollowsDecimalsAndTitle()
{
    QDlgKeyNum none(QStringLiteral("采样点数:"), 1024.0f, 0, 0.0f, 16384.0f);
    QVERIFY(!Key(none, QStringLiteral("tBtnDot"))->isEnabled());
    QCOMPARE(Key(none, QStringLiteral("tBtnDot"))->text(), QStringLiteral("."));
    QDlgKeyNum some(QStringLiteral("偏移距(m):"), 4.0f, 2, 0.0f, 500.0f);
    QVERIFY(Key(some, QStringLiteral("tBtnDot"))->isEnabled());
    QCOMPARE(Edit(some)->text(), QStringLiteral("4.00"));
    QDlgKeyNum exponent(QStringLiteral("指数放大:"), 1.0f, 1, 0.0f, 10.0f);
    QVERIFY(!Key(exponent, QStringLiteral("tBtnDot"))->isEnabled());
    QCOMPARE(Key(exponent, QStringLiteral("tBtnDot"))->text(), QString());
}

void TestKeyNum::entryLengthDependsOnTheTitle()
{
    QDlgKeyNum plain(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    QCOMPARE(Edit(plain)->maxLength(), 7);
    QDlgKeyNum g(QStringLiteral("探头系数(mv/g):"), 1.0f, 3, 0.0f, 100000.0f);
    QCOMPARE(Edit(g)->maxLength(), 10);
    QDlgKeyNum v(QStringLiteral("探头系数(mv/(m/s)):"), 1.0f, 3, 0.0f, 100000.0f);
    QCOMPARE(Edit(v)->maxLength(), 10);

    // A start value longer than the entry is never cut: OK alone gives back
    // what the caller had (six decimals of a longitude, three of a sensitivity).
    float longitude = 116.397128f;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return, Qt::AltModifier); });
    QDlgKeyNum lon(QStringLiteral("经度坐标"), longitude, 6, -180.0f, 180.0f);
    QCOMPARE(Edit(lon)->text(), QStringLiteral("116.397125"));
    QCOMPARE(lon.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(lon.value, longitude);
    QDlgKeyNum sens(QStringLiteral("灵敏度系数1:"), 1234.567f, 3, 1.0f, 10000.0f);
    QCOMPARE(Edit(sens)->text(), QStringLiteral("1234.567"));
}

void TestKeyNum::physicalKeysInNumberMode()
{
    QDlgKeyNum k(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    k.show();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&k, Qt::Key_Backspace);
    QCOMPARE(Edit(k)->text(), QString());
    QTest::keyClick(&k, Qt::Key_7);
    QCOMPARE(k.HighlightIndex(), 9);
    QTest::keyClick(&k, Qt::Key_Period);
    QCOMPARE(k.HighlightIndex(), 12);
    QTest::keyClick(&k, Qt::Key_5);
    QCOMPARE(Edit(k)->text(), QStringLiteral("7.5"));
    QTest::keyClick(&k, Qt::Key_Backspace);
    QCOMPARE(Edit(k)->text(), QStringLiteral("7."));
    QCOMPARE(k.HighlightIndex(), 13);
    // '+' belongs to the hidden sign key, out of reach.
    QTest::keyClick(&k, Qt::Key_Plus);
    QCOMPARE(Edit(k)->text(), QStringLiteral("7."));
    QCOMPARE(k.HighlightIndex(), 13);
}

void TestKeyNum::escapeCancelsAndLeavesTheCallersValue()
{
    float spacing = 2.0f;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        d.Retype(QStringLiteral("9"));
        d.Key(Qt::Key_Escape);
    });
    QDlgKeyNum k(QStringLiteral("道间距(m):"), spacing, 1, 0.0f, 500.0f);
    if (k.exec() == QDialog::Accepted)
        spacing = k.value;
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(spacing, 2.0f);
}

void TestKeyNum::numberModeWrapsWithinFourteenItems_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("Left from OK") << 0 << int(Qt::Key_Left) << 13;
    QTest::newRow("Right from Back") << 13 << int(Qt::Key_Right) << 0;
    QTest::newRow("Up from Cancel") << 1 << int(Qt::Key_Up) << 11;
    QTest::newRow("Down from Back") << 13 << int(Qt::Key_Down) << 3;
    QTest::newRow("Down") << 2 << int(Qt::Key_Down) << 6;
}

void TestKeyNum::numberModeWrapsWithinFourteenItems()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    QDlgKeyNum k(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    k.show();
    for (int i = 0; i < start; ++i)
        QTest::keyClick(&k, Qt::Key_Right);
    QTest::keyClick(&k, Qt::Key(key));
    QCOMPARE(k.HighlightIndex(), expected);
}

void TestKeyNum::tabIsIgnored()
{
    QDlgKeyNum k(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
    k.show();
    QTest::keyClick(&k, Qt::Key_Right);
    QWidget *before = k.focusWidget();
    QTest::keyClick(k.focusWidget(), Qt::Key_Tab);
    QCOMPARE(k.focusWidget(), before);
    QCOMPARE(k.HighlightIndex(), 1);
}

void TestKeyNum::altReturnConfirmsAndReturnClicks()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        // Back empties "1024" and takes the highlight to Back (13); Right x5
        // then reaches "2"; Return clicks it, Alt+Return confirms.
        for (int i = 0; i < 4; ++i)
            d.Key(Qt::Key_Backspace);
        for (int i = 0; i < 5; ++i)
            d.Key(Qt::Key_Right);
        d.Key(Qt::Key_Return);
        d.Key(Qt::Key_Return);
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("22"));
        d.Key(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    });
    QDlgKeyNum k(QStringLiteral("采样点数:"), 1024.0f, 0, 0.0f, 16384.0f);
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.value, 22.0f);
}

void TestKeyNum::choicesGoOnTheKeys()
{
    QDlgKeyNum k(QStringLiteral("通道显示数量:"), QStringLiteral("24"));
    k.SetChoices(QStringLiteral("24"), QStringLiteral("12"), QStringLiteral("6"));
    QCOMPARE(k.Mode(), 1);
    QCOMPARE(k.ItemCount(), 5);
    QCOMPARE(Key(k, QStringLiteral("tBtn0"))->text(), QStringLiteral("24"));
    QCOMPARE(Key(k, QStringLiteral("tBtn1"))->text(), QStringLiteral("12"));
    QCOMPARE(Key(k, QStringLiteral("tBtn2"))->text(), QStringLiteral("6"));
    QVERIFY(Key(k, QStringLiteral("tBtn2"))->isEnabled());
    QVERIFY(!Key(k, QStringLiteral("tBtn3"))->isEnabled());
    QVERIFY(!Key(k, QStringLiteral("tBtnDot"))->isEnabled());
    QVERIFY(!Key(k, QStringLiteral("tBtnBack"))->isEnabled());
    QCOMPARE(Key(k, QStringLiteral("tBtnBack"))->text(), QString());

    QDlgKeyNum full(QStringLiteral("采样间隔(us):"), QStringLiteral("500"));
    full.SetChoices(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                    QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                    QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"));
    QCOMPARE(full.ItemCount(), 14);
    QCOMPARE(Key(full, QStringLiteral("tBtnBack"))->text(), QStringLiteral("12"));
}

void TestKeyNum::downFromFirstChoiceWrapsWithinFiveItems()
{
    QDlgKeyNum k(QStringLiteral("通道显示数量:"), QStringLiteral("24"));
    k.SetChoices(QStringLiteral("24"), QStringLiteral("12"), QStringLiteral("6"));
    k.show();
    QTest::keyClick(&k, Qt::Key_Right);
    QTest::keyClick(&k, Qt::Key_Right);
    QCOMPARE(k.HighlightIndex(), 2); // tBtn0
    QTest::keyClick(&k, Qt::Key_Down);
    QCOMPARE(k.HighlightIndex(), 1); // 2 + 4 = 6, wrapped within five: Cancel
    QCOMPARE(k.focusWidget(), Key(k, QStringLiteral("tBtnCancel")));
    QTest::keyClick(&k, Qt::Key_Up);
    QCOMPARE(k.HighlightIndex(), 2);
    QTest::keyClick(&k, Qt::Key_Left);
    QTest::keyClick(&k, Qt::Key_Left);
    QTest::keyClick(&k, Qt::Key_Left);
    QCOMPARE(k.HighlightIndex(), 4);
}

void TestKeyNum::returnOnAChoicePicksAndConfirms()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        for (int i = 0; i < 3; ++i) // to tBtn1, "12"
            d.Key(Qt::Key_Right);
        d.Key(Qt::Key_Return);
    });
    QDlgKeyNum k(QStringLiteral("通道显示数量:"), QStringLiteral("24"));
    k.SetChoices(QStringLiteral("24"), QStringLiteral("12"), QStringLiteral("6"));
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.text, QStringLiteral("12"));
    QCOMPARE(k.value, 12.0f);
}

void TestKeyNum::returnOnCancelStaysCancelled()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        d.Key(Qt::Key_Right); // Cancel
        d.Key(Qt::Key_Return);
    });
    QDlgKeyNum k(QStringLiteral("滤波(Hz):"), QStringLiteral("全通"));
    k.SetChoices(QStringLiteral("全通"), QStringLiteral("500"), QStringLiteral("1000"));
    QCOMPARE(k.exec(), int(QDialog::Rejected));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.text, QString());
}

void TestKeyNum::choiceKeyReplacesTheEntry()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        QVERIFY(d.Click(QStringLiteral("tBtn2")));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("高"));
        QVERIFY(d.Click(QStringLiteral("tBtn0")));
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("低"));
        // Digits have no meaning in choice mode.
        d.Key(Qt::Key_1);
        QCOMPARE(d.Text(QStringLiteral("editValue")), QStringLiteral("低"));
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    });
    QDlgKeyNum k(QStringLiteral("触发电平:"), QStringLiteral("中"));
    k.SetChoices(QStringLiteral("低"), QStringLiteral("中"), QStringLiteral("高"));
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.text, QStringLiteral("低"));
    QCOMPARE(k.value, 0.0f); // not a number
}

void TestKeyNum::mousePressMovesTheHighlightWithinTheChoices()
{
    QDlgKeyNum k(QStringLiteral("通道显示数量:"), QStringLiteral("12"));
    k.SetChoices(QStringLiteral("12"), QStringLiteral("6"));
    k.show();
    QTest::mousePress(Key(k, QStringLiteral("tBtn1")), Qt::LeftButton);
    QCOMPARE(k.HighlightIndex(), 3);
    QTest::mouseRelease(Key(k, QStringLiteral("tBtn1")), Qt::LeftButton);
    QCOMPARE(Edit(k)->text(), QStringLiteral("6"));
}

QTEST_MAIN(TestKeyNum)
#include "tst_keynum.moc"
