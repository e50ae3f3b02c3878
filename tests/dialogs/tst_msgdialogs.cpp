#include "dialogs/CDlgMsgBox.h"
#include "dialogs/CDlgMsgQuestion.h"
#include "dialogs/Prodwidget.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"

#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {
const int kShortHeight = 150;
const QString kFocusSheet = QStringLiteral("QPushButton:focus{background-color:rgb(0, 255, 255);}");
} // namespace

class TestMsgDialogs : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxLook();
    void messageBoxClosesOnEnterAndButton_data();
    void messageBoxClosesOnEnterAndButton();
    void longMessageStaysOnScreen();
    void questionDefaults();
    void questionWithTwoAnswersIsShort();
    void questionWithThreeAnswersSharesTheRow();
    void questionChoices_data();
    void questionChoices();
    void escapeLeavesChoiceAtZero();
    void emptyTitleAndQuestion();
    void buttonFocus_data();
    void buttonFocus();
    void arrowKeysSkipHiddenAnswers();
    void showMessagePausesTheCallersGrab();
    void driverReportsMissingDialog();
    void driverAnswersNestedDialogs();
    void smallWindowsDrawTheirOwnFrame_data();
    void smallWindowsDrawTheirOwnFrame();
};

void TestMsgDialogs::messageBoxLook()
{
    TestProgramDir dir;
    CDlgMsgBox box(QStringLiteral("文件已保存"));
    QCOMPARE(box.windowTitle(), QStringLiteral("提示"));
    QCOMPARE(box.findChild<QLabel *>(QStringLiteral("labelMsg"))->text(), QStringLiteral("文件已保存"));
    QCOMPARE(box.findChild<QPushButton *>(QStringLiteral("BtnOK"))->text(), QStringLiteral("确定"));
    QVERIFY(box.styleSheet().endsWith(CurrentParams().FocusStyleSheet + CurrentParams().DisabledStyleSheet));
    QVERIFY(box.styleSheet().startsWith(QStringLiteral("QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 30pt ;}")));
    QCOMPARE(box.font().family(), QStringLiteral("yaheikr"));
    QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(box.windowFlags() & Qt::WindowTitleHint);
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QCOMPARE(QWidget::keyboardGrabber(), &box);
}

void TestMsgDialogs::messageBoxClosesOnEnterAndButton_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Return") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("button") << 2;
}

void TestMsgDialogs::messageBoxClosesOnEnterAndButton()
{
    QFETCH(int, how);
    TestProgramDir dir;
    ModalDriver driver;
    driver.Expect([how](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("保存成功!"));
        if (how == 0)
            d.Key(Qt::Key_Return);
        else if (how == 1)
            d.Key(Qt::Key_Enter, Qt::KeypadModifier);
        else
            QVERIFY(d.Click(QStringLiteral("BtnOK")));
    });
    CDlgMsgBox box(QStringLiteral("保存成功!"));
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    // The box gives the keyboard back when it closes.
    QVERIFY(QWidget::keyboardGrabber() != &box);
}

void TestMsgDialogs::longMessageStaysOnScreen()
{
    TestProgramDir dir;
    CDlgMsgBox box(QStringLiteral("输入范围有误,请输入0.0到500.0之间的值(包含0.0和500.0)!"));
    QVERIFY(box.width() <= QGuiApplication::primaryScreen()->geometry().width());
}

void TestMsgDialogs::questionDefaults()
{
    TestProgramDir dir;
    CDlgMsgQuestion q(QStringLiteral("是否删除?"));
    QCOMPARE(q.windowTitle(), QStringLiteral("消息"));
    QCOMPARE(q.findChild<QLabel *>(QStringLiteral("LBShow"))->text(), QStringLiteral("是否删除?"));
    auto *ok = q.findChild<QPushButton *>(QStringLiteral("BtnOK"));
    auto *cancel = q.findChild<QPushButton *>(QStringLiteral("BtnCancle"));
    auto *ok2 = q.findChild<QPushButton *>(QStringLiteral("BtnOK2"));
    QCOMPARE(ok->text(), QStringLiteral(" 确定 "));
    QCOMPARE(cancel->text(), QStringLiteral(" 取消 "));
    QVERIFY(ok2->isHidden());
    QCOMPARE(ok->size(), QSize(180, 60));
    QCOMPARE(cancel->size(), QSize(180, 60));
    QCOMPARE(ok->font().family(), QStringLiteral("yaheikr"));
    QCOMPARE(q.font().family(), QStringLiteral("yaheikr"));
    QVERIFY(q.styleSheet().endsWith(CurrentParams().FocusStyleSheet + CurrentParams().DisabledStyleSheet));
    QCOMPARE(q.Choice(), 0);
    QCOMPARE(q.minimumSize(), q.maximumSize());
}

void TestMsgDialogs::questionWithTwoAnswersIsShort()
{
    TestProgramDir dir;
    CDlgMsgQuestion q(QString{});
    q.SetTexts(QStringLiteral("消息"), QStringLiteral("该工程U盘已存在，是否需要覆盖？"), QStringLiteral("是=覆盖"),
               QStringLiteral("否=不覆盖"), QStringLiteral("   "));
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    QCOMPARE(q.height(), kShortHeight);
    QCOMPARE(q.minimumHeight(), kShortHeight);
    QCOMPARE(q.maximumHeight(), kShortHeight);
    auto *ok = q.findChild<QPushButton *>(QStringLiteral("BtnOK"));
    auto *cancel = q.findChild<QPushButton *>(QStringLiteral("BtnCancle"));
    QVERIFY(ok->isVisible());
    QVERIFY(cancel->isVisible());
    QVERIFY(q.findChild<QPushButton *>(QStringLiteral("BtnOK2"))->isHidden());
    QCOMPARE(ok->text(), QStringLiteral("是=覆盖"));
    QCOMPARE(cancel->text(), QStringLiteral("否=不覆盖"));
    // Both answers fully inside the window.
    QVERIFY(q.rect().contains(ok->geometry()));
    QVERIFY(q.rect().contains(cancel->geometry()));
}

void TestMsgDialogs::questionWithThreeAnswersSharesTheRow()
{
    TestProgramDir dir;
    CDlgMsgQuestion q(QString{});
    q.SetTexts(QStringLiteral("消息"), QStringLiteral("文件已存在"), QStringLiteral("覆盖"), QStringLiteral("取消"),
               QStringLiteral("另存"));
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    auto *ok = q.findChild<QPushButton *>(QStringLiteral("BtnOK"));
    auto *ok2 = q.findChild<QPushButton *>(QStringLiteral("BtnOK2"));
    auto *cancel = q.findChild<QPushButton *>(QStringLiteral("BtnCancle"));
    for (QPushButton *b : {ok, ok2, cancel}) {
        QVERIFY(b->isVisible());
        QCOMPARE(b->size(), QSize(180, 60));
        QCOMPARE(b->y(), ok->y());
        QVERIFY(q.rect().contains(b->geometry()));
    }
    // In the form's order, side by side without overlapping.
    QVERIFY(ok->geometry().right() < ok2->geometry().left());
    QVERIFY(ok2->geometry().right() < cancel->geometry().left());
    QCOMPARE(ok2->text(), QStringLiteral("另存"));
}

void TestMsgDialogs::questionChoices_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("choice");
    QTest::newRow("BtnOK") << QStringLiteral("BtnOK") << int(QDialog::Accepted) << 1;
    QTest::newRow("BtnOK2") << QStringLiteral("BtnOK2") << int(QDialog::Accepted) << 2;
    QTest::newRow("BtnCancle") << QStringLiteral("BtnCancle") << int(QDialog::Rejected) << 0;
}

void TestMsgDialogs::questionChoices()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(int, choice);
    TestProgramDir dir;
    ModalDriver driver;
    driver.Expect([button](ModalDialog &d) {
        QCOMPARE(d.Title(), QStringLiteral("消息"));
        QCOMPARE(d.Text(QStringLiteral("LBShow")), QStringLiteral("是否进行通道锁道选择？"));
        QVERIFY(d.Click(button));
    });
    CDlgMsgQuestion q(QString{});
    q.SetTexts(QStringLiteral("消息"), QStringLiteral("是否进行通道锁道选择？"), QStringLiteral("选择通道"),
               QStringLiteral("直接叠加"), QStringLiteral("全部"));
    QCOMPARE(q.exec(), result);
    QCOMPARE(q.Choice(), choice);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
}

void TestMsgDialogs::escapeLeavesChoiceAtZero()
{
    TestProgramDir dir;
    ModalDriver driver;
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Escape); });
    CDlgMsgQuestion q(QStringLiteral("是否退出?"));
    q.SetButtonFocus(0);
    QCOMPARE(q.exec(), int(QDialog::Rejected));
    QCOMPARE(q.Choice(), 0);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
}

void TestMsgDialogs::emptyTitleAndQuestion()
{
    TestProgramDir dir;
    CDlgMsgQuestion q(QStringLiteral("原问题"));
    q.SetTexts(QStringLiteral("  "), QStringLiteral(""), QStringLiteral("是"), QStringLiteral("否"), QString{});
    QCOMPARE(q.windowTitle(), QStringLiteral("消息"));
    QVERIFY(q.findChild<QLabel *>(QStringLiteral("LBShow"))->isHidden());
}

void TestMsgDialogs::buttonFocus_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("button");
    QTest::newRow("0 BtnOK") << 0 << QStringLiteral("BtnOK");
    QTest::newRow("1 BtnCancle") << 1 << QStringLiteral("BtnCancle");
    QTest::newRow("2 BtnOK2") << 2 << QStringLiteral("BtnOK2");
}

void TestMsgDialogs::buttonFocus()
{
    QFETCH(int, which);
    QFETCH(QString, button);
    TestProgramDir dir;
    ModalDriver driver;
    QString focused;
    driver.Expect([&focused](ModalDialog &d) {
        focused = d.Widget()->focusWidget() ? d.Widget()->focusWidget()->objectName() : QString();
        // Return answers with the focused button.
        d.Key(Qt::Key_Return);
    });
    CDlgMsgQuestion q(QStringLiteral("问题"));
    q.SetTexts(QString{}, QStringLiteral("问题"), QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"));
    q.SetButtonFocus(which);
    q.exec();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(focused, button);
    const int expectedChoice[] = {1, 0, 2};
    QCOMPARE(q.Choice(), expectedChoice[which]);
}

void TestMsgDialogs::arrowKeysSkipHiddenAnswers()
{
    TestProgramDir dir;
    ModalDriver driver;
    QStringList path;
    driver.Expect([&path](ModalDialog &d) {
        for (int i = 0; i < 3; ++i) {
            d.Key(Qt::Key_Right);
            path << d.Widget()->focusWidget()->objectName();
        }
        d.Key(Qt::Key_Escape);
    });
    CDlgMsgQuestion q(QStringLiteral("问题"));
    q.SetButtonFocus(0);
    q.exec();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(path, (QStringList{QStringLiteral("BtnCancle"), QStringLiteral("BtnOK"), QStringLiteral("BtnCancle")}));
}

void TestMsgDialogs::showMessagePausesTheCallersGrab()
{
    TestProgramDir dir;
    QDialog screen;
    screen.show();
    screen.grabKeyboard();
    ModalDriver driver;
    QWidget *grabberDuring = nullptr;
    driver.Expect([&grabberDuring](ModalDialog &d) {
        grabberDuring = QWidget::keyboardGrabber();
        d.Key(Qt::Key_Return);
    });
    ShowMessage(&screen, QStringLiteral("U盘未插入!"));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(grabberDuring != &screen);
    QCOMPARE(QWidget::keyboardGrabber(), &screen);
    screen.releaseKeyboard();
}

void TestMsgDialogs::driverReportsMissingDialog()
{
    TestProgramDir dir;
    ModalDriver driver(200);
    driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Return); });
    // Nothing opens a dialog: the driver must say so instead of waiting forever.
    QVERIFY(!driver.Finished(1000));
    QVERIFY(driver.Failure().contains(QStringLiteral("no dialog appeared")));
    QCOMPARE(driver.Answered(), 0);
}

void TestMsgDialogs::driverAnswersNestedDialogs()
{
    TestProgramDir dir;
    QDialog outer;
    auto *b = new QPushButton(QStringLiteral("确定"), &outer);
    b->setObjectName(QStringLiteral("btnOK"));
    QObject::connect(b, &QPushButton::clicked, &outer, [&outer] {
        ShowMessage(&outer, QStringLiteral("输入为空,请重新输入!"));
        outer.accept();
    });
    ModalDriver driver;
    QString inner;
    driver.Expect([](ModalDialog &d) { QVERIFY(d.Click(QStringLiteral("btnOK"))); });
    driver.Expect([&inner](ModalDialog &d) {
        inner = d.Text(QStringLiteral("labelMsg"));
        d.Key(Qt::Key_Return);
    });
    QCOMPARE(outer.exec(), int(QDialog::Accepted));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(inner, QStringLiteral("输入为空,请重新输入!"));
    QCOMPARE(driver.Answered(), 2);
}

void TestMsgDialogs::smallWindowsDrawTheirOwnFrame_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"message", "question", "three answers", "progress"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// Without a window manager nothing else marks where a small window ends:
// every pixel of its outermost two rows and columns is dark, also after a
// question changes its size.
void TestMsgDialogs::smallWindowsDrawTheirOwnFrame()
{
    QFETCH(QString, kind);
    TestProgramDir dir;
    std::unique_ptr<QWidget> window;
    if (kind == QLatin1String("message")) {
        window = std::make_unique<CDlgMsgBox>(QStringLiteral("保存文件成功！"));
    } else if (kind == QLatin1String("progress")) {
        auto progress = std::make_unique<Prodwidget>();
        progress->SetText(QStringLiteral("文件删除中..."));
        window = std::move(progress);
    } else {
        auto question = std::make_unique<CDlgMsgQuestion>(QStringLiteral("确定要退出吗？"));
        if (kind == QLatin1String("three answers"))
            question->SetTexts(QString(), QStringLiteral("是否保存？"), QStringLiteral("保存"),
                               QStringLiteral("取消"), QStringLiteral("另存"));
        window = std::move(question);
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QImage img = window->grab().toImage();
    QVERIFY(img.width() > 4 && img.height() > 4);
    QStringList light;
    const auto check = [&](int x, int y) {
        if (qGray(img.pixel(x, y)) > 64 && light.size() < 5)
            light << QStringLiteral("(%1,%2)").arg(x).arg(y);
    };
    for (int ring = 0; ring < 2; ++ring) {
        for (int x = 0; x < img.width(); ++x) {
            check(x, ring);
            check(x, img.height() - 1 - ring);
        }
        for (int y = 0; y < img.height(); ++y) {
            check(ring, y);
            check(img.width() - 1 - ring, y);
        }
    }
    QVERIFY2(light.isEmpty(), qPrintable(light.join(' ')));
}

QTEST_MAIN(TestMsgDialogs)
#include "tst_msgdialogs.moc"
