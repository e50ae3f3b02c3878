#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "params/ParamSet.h"

#include "support/TestProgramDir.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {
/// A screen with rows x columns push buttons in a focus grid.
struct GridScreen
{
    QDialog dialog;
    QList<QPushButton *> buttons;
    FocusGrid *grid = nullptr;
    QList<int> clicks;

    GridScreen(int count, const QStringList &captions = {})
    {
        for (int i = 0; i < count; ++i) {
            auto *b = new QPushButton(i < captions.size() ? captions[i] : QString::number(i), &dialog);
            b->setObjectName(QStringLiteral("btn%1").arg(i));
            QObject::connect(b, &QPushButton::clicked, &dialog, [this, i] { clicks << i; });
            buttons << b;
        }
        grid = new FocusGrid(&dialog, QList<QWidget *>(buttons.begin(), buttons.end()));
        dialog.show();
    }
};
} // namespace

class TestFocusGrid : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void stepsWrapWithinTheCount_data();
    void stepsWrapWithinTheCount();
    void skipsHiddenAndDisabledItems();
    void moveRuleOverridesThePlainStep();
    void arrowKeysMoveTheFocus();
    void keysReachingAnItemAreHandled();
    void enterClicksOnlyAnEnabledFocusedButton();
    void altEnterConfirms();
    void altLetterRunsEnabledButtons();
    void captionShortcuts();
    void keyCodesWithinTheCountOnly();
    void mousePressMakesTheItemCurrent();
    void refreshGrabsTheKeyboardUnlessClosed();
    void tabCanBeSwallowed();

    void styleSheetAppendsTheCommonSheets();
    void screenAreaKeepsTheMeteringReserve();
    void fullScreenSetUp();
    void smallDialogSetUp();
    void grabPauseGivesTheKeyboardBack();
    void grabPauseLeavesAClosedScreenAlone();

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

void TestFocusGrid::stepsWrapWithinTheCount_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("move");
    QTest::addColumn<int>("expected");
    // A 4 x 5 grid of twenty buttons.
    QTest::newRow("Up from the first row") << 20 << 5 << 0 << int(FocusGrid::Move::Up) << 15;
    QTest::newRow("Down from the last row") << 20 << 5 << 19 << int(FocusGrid::Move::Down) << 4;
    QTest::newRow("Left from the first") << 20 << 5 << 0 << int(FocusGrid::Move::Left) << 19;
    QTest::newRow("Right from the last") << 20 << 5 << 19 << int(FocusGrid::Move::Right) << 0;
    QTest::newRow("inside") << 20 << 5 << 7 << int(FocusGrid::Move::Down) << 12;
    // Only five of fifteen items take part.
    QTest::newRow("count five") << 5 << 4 << 2 << int(FocusGrid::Move::Down) << 1;
    // A start beyond the count (a dialog that opens on an item out of the ring).
    QTest::newRow("start beyond") << 12 << 6 << 12 << int(FocusGrid::Move::Right) << 1;
}

void TestFocusGrid::stepsWrapWithinTheCount()
{
    QFETCH(int, count);
    QFETCH(int, vertical);
    QFETCH(int, start);
    QFETCH(int, move);
    QFETCH(int, expected);
    GridScreen s(20);
    s.grid->SetCount(count);
    s.grid->SetSteps(1, vertical);
    QCOMPARE(s.grid->IndexAfter(start, FocusGrid::Move(move)), expected);
}

void TestFocusGrid::skipsHiddenAndDisabledItems()
{
    GridScreen s(6);
    s.grid->SetSkipUnavailable(true);
    s.buttons[1]->hide();
    s.buttons[2]->setEnabled(false);
    QCOMPARE(s.grid->IndexAfter(0, FocusGrid::Move::Right), 3);
    QCOMPARE(s.grid->IndexAfter(3, FocusGrid::Move::Left), 0);
    for (QPushButton *b : s.buttons)
        b->setEnabled(false);
    // Nowhere to go: the index stays.
    QCOMPARE(s.grid->IndexAfter(4, FocusGrid::Move::Right), 4);
    s.grid->SetSkipUnavailable(false);
    QCOMPARE(s.grid->IndexAfter(0, FocusGrid::Move::Right), 1);
}

void TestFocusGrid::moveRuleOverridesThePlainStep()
{
    GridScreen s(21);
    s.grid->SetSteps(1, 3);
    // Up from the third column of the second row goes to a fixed item.
    s.grid->SetMoveRule([](int index, FocusGrid::Move move) {
        return index == 5 && move == FocusGrid::Move::Up ? 2 : -1;
    });
    QCOMPARE(s.grid->IndexAfter(5, FocusGrid::Move::Up), 2);
    QCOMPARE(s.grid->IndexAfter(8, FocusGrid::Move::Up), 5);
    QCOMPARE(s.grid->IndexAfter(5, FocusGrid::Move::Down), 8);
}

void TestFocusGrid::arrowKeysMoveTheFocus()
{
    GridScreen s(8);
    s.grid->SetSteps(1, 4);
    QSignalSpy changed(s.grid, &FocusGrid::IndexChanged);
    s.grid->Refresh();
    QTest::keyClick(&s.dialog, Qt::Key_Down);
    QCOMPARE(s.grid->Index(), 4);
    QCOMPARE(s.dialog.focusWidget(), s.buttons[4]);
    QTest::keyClick(&s.dialog, Qt::Key_Left);
    QCOMPARE(s.grid->Index(), 3);
    QCOMPARE(s.dialog.focusWidget(), s.buttons[3]);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toInt(), 3);
}

void TestFocusGrid::keysReachingAnItemAreHandled()
{
    // Without a keyboard grab the key goes to the focused button itself.
    GridScreen s(4);
    s.grid->Refresh();
    QTest::keyClick(s.buttons[0], Qt::Key_Right);
    QCOMPARE(s.grid->Index(), 1);
    QTest::keyClick(s.buttons[1], Qt::Key_Return);
    QCOMPARE(s.clicks, QList<int>{1});
}

void TestFocusGrid::enterClicksOnlyAnEnabledFocusedButton()
{
    GridScreen s(3);
    auto *edit = new QLineEdit(&s.dialog);
    QList<QWidget *> after;
    s.grid->SetAfterEnter([&after](QWidget *clicked) { after << clicked; });
    s.grid->SetIndex(2);
    QTest::keyClick(&s.dialog, Qt::Key_Return);
    QCOMPARE(s.clicks, QList<int>{2});
    // The focus on something that is no button: nothing is clicked.
    edit->show();
    edit->setFocus();
    QTest::keyClick(&s.dialog, Qt::Key_Enter);
    QCOMPARE(s.clicks, QList<int>{2});
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[0], s.buttons[2]);
    QCOMPARE(after[1], nullptr);
    // Nor is a disabled button reached through the index.
    QDialog bare;
    auto *b = new QPushButton(&bare);
    b->setEnabled(false);
    FocusGrid grid(&bare, {b});
    QCOMPARE(grid.ClickFocused(), nullptr);
}

void TestFocusGrid::altEnterConfirms()
{
    GridScreen s(3);
    s.grid->SetIndex(1);
    int confirmed = 0;
    // Without a confirm action Alt+Return is the screen's own business.
    QSignalSpy accepted(&s.dialog, &QDialog::accepted);
    QTest::keyClick(&s.dialog, Qt::Key_Return, Qt::AltModifier);
    QVERIFY(s.clicks.isEmpty());
    s.grid->SetConfirm([&confirmed] { ++confirmed; });
    QTest::keyClick(&s.dialog, Qt::Key_Return, Qt::AltModifier);
    QTest::keyClick(&s.dialog, Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    QCOMPARE(confirmed, 2);
    QVERIFY(s.clicks.isEmpty());
}

void TestFocusGrid::altLetterRunsEnabledButtons()
{
    GridScreen s(4, {QStringLiteral("采样(S)"), QStringLiteral("保存(D)"), QStringLiteral("退出(Esc)"),
                     QStringLiteral("分析(A)")});
    s.grid->Refresh();
    QTest::keyClick(&s.dialog, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(s.clicks, QList<int>{1});
    QCOMPARE(s.grid->Index(), 1);
    QCOMPARE(s.dialog.focusWidget(), s.buttons[1]);
    // Without Alt the letter is not a shortcut.
    QTest::keyClick(&s.dialog, Qt::Key_S);
    QCOMPARE(s.clicks, QList<int>{1});
    // A disabled button does not run.
    s.buttons[3]->setEnabled(false);
    QTest::keyClick(&s.dialog, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(s.clicks, QList<int>{1});
    // Buttons outside the grid can be given explicitly.
    auto *extra = new QPushButton(QStringLiteral("上传(U)"), &s.dialog);
    extra->show();
    QSignalSpy extraClicked(extra, &QPushButton::clicked);
    s.grid->SetShortcutButtons({extra});
    QTest::keyClick(&s.dialog, Qt::Key_U, Qt::AltModifier);
    QCOMPARE(extraClicked.count(), 1);
    QTest::keyClick(&s.dialog, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(s.clicks, QList<int>{1});
}

void TestFocusGrid::captionShortcuts()
{
    QCOMPARE(CaptionShortcut(QStringLiteral("采样(S)")), QChar('S'));
    QCOMPARE(CaptionShortcut(QStringLiteral("叠加(a)")), QChar('A'));
    QCOMPARE(CaptionShortcut(QStringLiteral("退出(Esc)")), QChar());
    QCOMPARE(CaptionShortcut(QStringLiteral("确定")), QChar());
    QCOMPARE(CaptionShortcut(QStringLiteral("(M)计量")), QChar());
}

void TestFocusGrid::keyCodesWithinTheCountOnly()
{
    GridScreen s(4);
    s.grid->SetKeyCodes({FocusGrid::kNoKey, Qt::Key_Escape, Qt::Key_1, Qt::Key_2});
    s.grid->SetCount(3);
    s.grid->Refresh();
    QTest::keyClick(&s.dialog, Qt::Key_1);
    QCOMPARE(s.clicks, QList<int>{2});
    QCOMPARE(s.grid->Index(), 2);
    QTest::keyClick(&s.dialog, Qt::Key_2); // item 3 is out of reach
    QCOMPARE(s.clicks, QList<int>{2});
    QTest::keyClick(&s.dialog, Qt::Key_Escape);
    QCOMPARE(s.clicks, (QList<int>{2, 1}));
}

void TestFocusGrid::mousePressMakesTheItemCurrent()
{
    GridScreen s(5);
    s.grid->SetCount(3);
    QTest::mouseClick(s.buttons[2], Qt::LeftButton);
    QCOMPARE(s.grid->Index(), 2);
    QCOMPARE(s.clicks, QList<int>{2}); // the press itself goes on
    QTest::mouseClick(s.buttons[4], Qt::LeftButton);
    QCOMPARE(s.grid->Index(), 2);
}

void TestFocusGrid::refreshGrabsTheKeyboardUnlessClosed()
{
    GridScreen s(3);
    s.grid->SetGrabOnRefresh(false);
    s.grid->Refresh();
    QVERIFY(QWidget::keyboardGrabber() != &s.dialog);
    s.grid->SetGrabOnRefresh(true);
    s.grid->Refresh();
    QCOMPARE(QWidget::keyboardGrabber(), &s.dialog);
    s.dialog.releaseKeyboard();
    s.dialog.reject();
    s.grid->SetIndex(1);
    QVERIFY(QWidget::keyboardGrabber() != &s.dialog);
}

void TestFocusGrid::tabCanBeSwallowed()
{
    GridScreen s(3);
    s.grid->SetIgnoreTab(true);
    s.grid->Refresh();
    QTest::keyClick(s.buttons[0], Qt::Key_Tab);
    QCOMPARE(s.dialog.focusWidget(), s.buttons[0]);
    QCOMPARE(s.grid->Index(), 0);
}

void TestFocusGrid::styleSheetAppendsTheCommonSheets()
{
    CurrentParams().FocusStyleSheet = QStringLiteral("F;");
    CurrentParams().DisabledStyleSheet = QStringLiteral("D;");
    QCOMPARE(ScreenStyleSheet(QStringLiteral("B;")), QStringLiteral("B;F;D;"));
}

void TestFocusGrid::screenAreaKeepsTheMeteringReserve()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(ScreenArea(nullptr), screen);
    CurrentParams().MeteringOn = true;
    CurrentParams().MeteringReserve = 30;
    QCOMPARE(ScreenArea(nullptr).height(), screen.height() - 30);
    QCOMPARE(ScreenArea(nullptr, false), screen);
}

void TestFocusGrid::fullScreenSetUp()
{
    CurrentParams().MeteringOn = true;
    QDialog d;
    ScreenLook look;
    look.BaseSheet = QStringLiteral("QWidget{color: rgb(0, 0, 0);}");
    look.FontPointSize = 17;
    SetUpScreen(&d, look);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(d.size(), QSize(screen.width(), screen.height() - CurrentParams().MeteringReserve));
    QVERIFY(d.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(d.font().family(), QStringLiteral("yaheikr"));
    QCOMPARE(d.font().pointSize(), 17);
    QCOMPARE(d.styleSheet(), ScreenStyleSheet(look.BaseSheet));
    QCOMPARE(QWidget::keyboardGrabber(), &d);
}

void TestFocusGrid::smallDialogSetUp()
{
    QDialog d;
    auto *layout = new QVBoxLayout(&d);
    layout->addWidget(new QPushButton(QStringLiteral("确定")));
    ScreenLook look;
    look.FullScreen = false;
    look.GrabKeyboard = false;
    SetUpScreen(&d, look);
    QVERIFY(!(d.windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(d.windowFlags() & Qt::WindowTitleHint);
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(QWidget::keyboardGrabber() != &d);
    // With the parameter set's first font when no size is given.
    QCOMPARE(d.font().pointSize(), CurrentParams().Fonts[0].pointSize());
}

void TestFocusGrid::grabPauseGivesTheKeyboardBack()
{
    QDialog screen;
    screen.show();
    screen.grabKeyboard();
    {
        KeyboardGrabPause pause;
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
        QDialog child;
        child.grabKeyboard(); // the child takes and leaves it
        child.releaseKeyboard();
    }
    QCOMPARE(QWidget::keyboardGrabber(), &screen);
    screen.releaseKeyboard();
    {
        KeyboardGrabPause nothingToPause;
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    }
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
}

void TestFocusGrid::grabPauseLeavesAClosedScreenAlone()
{
    QDialog screen;
    screen.show();
    screen.grabKeyboard();
    {
        KeyboardGrabPause pause;
        screen.reject(); // the child's answer closed the screen
    }
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
}

QTEST_MAIN(TestFocusGrid)
#include "tst_focusgrid.moc"
