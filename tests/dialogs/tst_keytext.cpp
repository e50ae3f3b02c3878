#include "dialogs/QDlgKeyText.h"
#include "params/ParamSet.h"

#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

namespace {
const char *const kEmptyRefusal = "输入为空,请重新输入!";

QLineEdit *Edit(QDlgKeyText &k)
{
    return k.findChild<QLineEdit *>(QStringLiteral("editValue"));
}

QToolButton *Key(QDlgKeyText &k, const QString &name)
{
    return k.findChild<QToolButton *>(name);
}
// As the operator does it: a touch on the right end of the entry.
void PlaceCursorAtEnd(QDlgKeyText &k)
{
    QLineEdit *e = Edit(k);
    QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(e->width() - 4, e->height() / 2));
    QCOMPARE(e->cursorPosition(), e->text().size());
}
} // namespace

class TestKeyText : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void layoutOfTheKeys();
    void startsWithTheTextSelected();
    void keysInsertAtTheCursor();
    void backAndDel();
    void physicalKeysPressTheirItems();
    void minusKeyTypesUnderscore();
    void lengthIsLimited();
    void acceptsTrimmedText();
    void refusesEmptyInputAndStaysOpen();
    void escapeCancelsAndLeavesTheCallersValue();
    void arrowKeysWrapWithinAllItems_data();
    void arrowKeysWrapWithinAllItems();
    void enterClicksTheFocusedKey();
    void altReturnConfirms();
    void mousePressMovesTheHighlight();
    void coversTheDesktopLessTheMeteringReserve();

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

void TestKeyText::layoutOfTheKeys()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
    QCOMPARE(k.findChild<QLabel *>(QStringLiteral("lbTitle"))->text(), QStringLiteral("保存文件名:"));
    QCOMPARE(k.findChildren<QToolButton *>().size(), QDlgKeyText::kItemCount);
    QCOMPARE(Key(k, QStringLiteral("tBtnOK"))->text(), QStringLiteral("确定"));
    QCOMPARE(Key(k, QStringLiteral("tBtnCancel"))->text(), QStringLiteral("取消"));
    QCOMPARE(Key(k, QStringLiteral("tBtnMinus"))->text(), QStringLiteral("_"));
    QCOMPARE(Key(k, QStringLiteral("tBtnAdd"))->text(), QStringLiteral("+"));
    QCOMPARE(Key(k, QStringLiteral("tBtnBack"))->text(), QStringLiteral("Back"));
    QCOMPARE(Key(k, QStringLiteral("tBtnDel"))->text(), QStringLiteral("Del"));
    QCOMPARE(Key(k, QStringLiteral("tBtnQ"))->text(), QStringLiteral("Q"));
    QCOMPARE(k.HighlightIndex(), 0);
    QVERIFY(k.windowFlags() & Qt::FramelessWindowHint);
}

void TestKeyText::startsWithTheTextSelected()
{
    QDlgKeyText k(QStringLiteral("工程名称:"), QStringLiteral("QUARTZON"), 16);
    k.show();
    QCOMPARE(Edit(k)->text(), QStringLiteral("QUARTZON"));
    QCOMPARE(Edit(k)->selectedText(), QStringLiteral("QUARTZON"));
    // The first key replaces the whole old text.
    QTest::keyClick(&k, Qt::Key_P);
    QCOMPARE(Edit(k)->text(), QStringLiteral("P"));
}

void TestKeyText::keysInsertAtTheCursor()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("AC"), 8);
    k.show();
    Edit(k)->setCursorPosition(1);
    Key(k, QStringLiteral("tBtnB"))->click();
    Key(k, QStringLiteral("tBtn7"))->click();
    QCOMPARE(Edit(k)->text(), QStringLiteral("AB7C"));
    Key(k, QStringLiteral("tBtnAdd"))->click();
    QCOMPARE(Edit(k)->text(), QStringLiteral("AB7+C"));
}

void TestKeyText::backAndDel()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("ABC"), 8);
    k.show();
    PlaceCursorAtEnd(k);
    Key(k, QStringLiteral("tBtnBack"))->click();
    QCOMPARE(Edit(k)->text(), QStringLiteral("AB"));
    QTest::keyClick(&k, Qt::Key_Backspace);
    QCOMPARE(Edit(k)->text(), QStringLiteral("A"));
    QCOMPARE(k.HighlightIndex(), 40);
    Edit(k)->setText(QStringLiteral("XYZ"));
    QTest::keyClick(&k, Qt::Key_Delete);
    QCOMPARE(Edit(k)->text(), QString());
    QCOMPARE(k.HighlightIndex(), 41);
}

void TestKeyText::physicalKeysPressTheirItems()
{
    QDlgKeyText k(QStringLiteral("测试人员:"), QString(), 8);
    k.show();
    QTest::keyClicks(&k, QStringLiteral("z9a"));
    QCOMPARE(Edit(k)->text(), QStringLiteral("Z9A"));
    // The highlight follows the last key pressed ("A" is item 12).
    QCOMPARE(k.HighlightIndex(), 12);
    QCOMPARE(k.focusWidget(), Key(k, QStringLiteral("tBtnA")));
}

void TestKeyText::minusKeyTypesUnderscore()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("A"), 8);
    k.show();
    PlaceCursorAtEnd(k);
    QTest::keyClick(&k, Qt::Key_Minus);
    QTest::keyClick(&k, Qt::Key_Plus);
    QCOMPARE(Edit(k)->text(), QStringLiteral("A_+"));
    QCOMPARE(k.HighlightIndex(), 39);
}

void TestKeyText::lengthIsLimited()
{
    // A longer start text (a project name from a record file) stays whole,
    // so that OK alone gives it back; typing is held to the limit.
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("TOOLONGNAME"), 8);
    k.show();
    QCOMPARE(Edit(k)->text(), QStringLiteral("TOOLONGNAME"));
    Edit(k)->clear();
    QTest::keyClicks(&k, QStringLiteral("123456789"));
    QCOMPARE(Edit(k)->text(), QStringLiteral("12345678"));

    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { QVERIFY(d.Click(QStringLiteral("tBtnOK"))); });
    QDlgKeyText whole(QStringLiteral("工程名称:"), QStringLiteral("南湖大桥西侧勘察工程"), 8);
    QCOMPARE(whole.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(whole.result, QStringLiteral("南湖大桥西侧勘察工程"));
}

void TestKeyText::acceptsTrimmedText()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { QVERIFY(d.Click(QStringLiteral("tBtnOK"))); });
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("  LINE 1  "), 16);
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.result, QStringLiteral("LINE 1"));
}

void TestKeyText::refusesEmptyInputAndStaysOpen()
{
    ModalDriver driver;
    bool stayedOpen = false;
    QString afterRefusal = QStringLiteral("?");
    driver.Expect([&](ModalDialog &d) {
        d.Key(Qt::Key_Return, Qt::AltModifier); // opens the refusal, answered below
        stayedOpen = d.IsOpen();
        afterRefusal = d.Text(QStringLiteral("editValue"));
        d.Key(Qt::Key_Escape);
    });
    QString refusal;
    driver.Expect([&refusal](ModalDialog &d) {
        refusal = d.Text(QStringLiteral("labelMsg"));
        d.Key(Qt::Key_Return);
    });
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("    "), 8);
    QCOMPARE(k.exec(), int(QDialog::Rejected));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(refusal, QString::fromUtf8(kEmptyRefusal));
    QVERIFY(stayedOpen);
    QCOMPARE(afterRefusal, QString());
}

void TestKeyText::escapeCancelsAndLeavesTheCallersValue()
{
    QString name = QStringLiteral("SHOT01");
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        d.Type(QStringLiteral("NEW"));
        d.Key(Qt::Key_Escape);
    });
    QDlgKeyText k(QStringLiteral("保存文件名:"), name, 8);
    if (k.exec() == QDialog::Accepted)
        name = k.result;
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(name, QStringLiteral("SHOT01"));
}

void TestKeyText::arrowKeysWrapWithinAllItems_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("Left from OK") << 0 << int(Qt::Key_Left) << 41;
    QTest::newRow("Right from Del") << 41 << int(Qt::Key_Right) << 0;
    QTest::newRow("Right") << 5 << int(Qt::Key_Right) << 6;
    QTest::newRow("Up from 3") << 3 << int(Qt::Key_Up) << 37;
    QTest::newRow("Up") << 20 << int(Qt::Key_Up) << 12;
    QTest::newRow("Down from Back") << 40 << int(Qt::Key_Down) << 6;
    QTest::newRow("Down") << 12 << int(Qt::Key_Down) << 20;
}

void TestKeyText::arrowKeysWrapWithinAllItems()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
    k.show();
    // Reach the start with Right presses, as an operator would.
    for (int i = 0; i < start; ++i)
        QTest::keyClick(&k, Qt::Key_Right);
    QCOMPARE(k.HighlightIndex(), start);
    QTest::keyClick(&k, Qt::Key(key));
    QCOMPARE(k.HighlightIndex(), expected);
    QVERIFY(k.focusWidget());
    QVERIFY(qobject_cast<QToolButton *>(k.focusWidget()));
}

void TestKeyText::enterClicksTheFocusedKey()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
    k.show();
    for (int i = 0; i < 12; ++i) // to "A"
        QTest::keyClick(&k, Qt::Key_Right);
    QTest::keyClick(&k, Qt::Key_Return);
    QTest::keyClick(&k, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(Edit(k)->text(), QStringLiteral("AA"));
    QVERIFY(k.isVisible());
}

void TestKeyText::altReturnConfirms()
{
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) {
        d.Type(QStringLiteral("B2"));
        d.Key(Qt::Key_Return, Qt::AltModifier);
    });
    QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("OLD"), 8);
    QCOMPARE(k.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(k.result, QStringLiteral("B2"));
}

void TestKeyText::mousePressMovesTheHighlight()
{
    QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
    k.show();
    QTest::mouseClick(Key(k, QStringLiteral("tBtnK")), Qt::LeftButton);
    QCOMPARE(k.HighlightIndex(), 22);
    QCOMPARE(Edit(k)->text(), QStringLiteral("K"));
    QTest::keyClick(&k, Qt::Key_Right);
    QCOMPARE(k.HighlightIndex(), 23);
}

void TestKeyText::coversTheDesktopLessTheMeteringReserve()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    {
        QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
        QCOMPARE(k.size(), screen.size());
    }
    CurrentParams().MeteringOn = true;
    QDlgKeyText k(QStringLiteral("保存文件名:"), QString(), 8);
    QCOMPARE(k.size(), QSize(screen.width(), screen.height() - CurrentParams().MeteringReserve));
}

QTEST_MAIN(TestKeyText)
#include "tst_keytext.moc"
