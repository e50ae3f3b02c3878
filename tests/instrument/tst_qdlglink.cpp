// The connection dialog with a stand-in owner, and against the unit
// simulator through the real instrument link over loopback.

#include "UnitSimulator.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentSocket.h"
#include "instrument/LinkOwner.h"
#include "instrument/QDlgLink.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

struct StandInOwner : LinkDialogOwner
{
    bool waiting = false;
    int connects = 0;
    bool IsWaiting() const override { return waiting; }
    void Connect() override { ++connects; }
};

/// Plays the acquisition screen's part between the link and its dialog.
struct ScreenStandIn : LinkOwner
{
    QDlgLink *dialog = nullptr;
    void RefreshButtons() override {}
    void CloseByAccept() override {}
    void HideBanner() override {}
    void ShowLinkFailure(const QString &text) override
    {
        const bool wasShowing = dialog->IsShowingResult();
        dialog->ShowResult(text);
        if (!wasShowing)
            dialog->show();
    }
    void CloseLinkDialog() override { dialog->CloseOnSuccess(); }
};

/// Forwards the dialog's requests to the real link and notes what the
/// dialog showed at the moment it asked for a new attempt.
struct ForwardingOwner : LinkDialogOwner
{
    InstrumentLink *link = nullptr;
    QDlgLink *dialog = nullptr;
    QString labelAtConnect;
    bool retryEnabledAtConnect = true;
    bool IsWaiting() const override { return link->IsWaiting(); }
    void Connect() override;
};

QString LabelText(QDlgLink &d) { return d.findChild<QLabel *>(QStringLiteral("lbShow"))->text(); }
QPushButton *Button(QDlgLink &d, const char *name)
{
    return d.findChild<QPushButton *>(QString::fromLatin1(name));
}

void ForwardingOwner::Connect()
{
    labelAtConnect = LabelText(*dialog);
    retryEnabledAtConnect = Button(*dialog, "btnReTry")->isEnabled();
    link->Connect();
}

} // namespace

class TstQDlgLink : public QObject
{
    Q_OBJECT
private slots:
    void startsConnecting();
    void failureEnablesRetryAndRetryDisablesItAgain();
    void cancelWhileWaitingIsRefused();
    void cancelAndEscapeClose();
    void enterPressesTheFocusedButton();
    void closesOnTheTimerWhenTheLinkIsUp();
    void closesByItselfWhenTheUnitAnswers();
    void lostLinkShowsAgainAndRetryReconnects();
    void failedCheckShowsFailureText();
};

void TstQDlgLink::startsConnecting()
{
    TestProgramDir dir;
    StandInOwner owner;
    QDlgLink d(&owner);
    QCOMPARE(d.windowTitle(), QStringLiteral("仪器连接"));
    QCOMPARE(LabelText(d), QStringLiteral("正在连接中，请稍等……"));
    QVERIFY(!Button(d, "btnReTry")->isEnabled());
    QCOMPARE(Button(d, "btnReTry")->text(), QStringLiteral("重试"));
    QCOMPARE(Button(d, "btnCancel")->text(), QStringLiteral("取消"));
    QCOMPARE(Button(d, "btnCancel")->height(), 60);
    QVERIFY(!d.IsShowingResult());
    // Fixed at the size its layout gives.
    QCOMPARE(d.minimumSize(), d.maximumSize());
}

void TstQDlgLink::failureEnablesRetryAndRetryDisablesItAgain()
{
    TestProgramDir dir;
    StandInOwner owner;
    QDlgLink d(&owner);
    d.SetShowingResult(true);
    d.show();
    d.ShowResult(InstrumentLink::ConnectionLostText());
    QCOMPARE(LabelText(d), QStringLiteral("<b><font color = red>连接已断开！</font></b>"));
    QVERIFY(Button(d, "btnReTry")->isEnabled());
    QVERIFY(Button(d, "btnCancel")->isEnabled());
    QVERIFY(d.IsShowingResult());

    QTest::mouseClick(Button(d, "btnReTry"), Qt::LeftButton);
    QCOMPARE(owner.connects, 1);
    QCOMPARE(LabelText(d), QStringLiteral("正在连接中，请稍等……"));
    QVERIFY(!Button(d, "btnReTry")->isEnabled());
    // A disabled retry cannot start a second attempt.
    QTest::mouseClick(Button(d, "btnReTry"), Qt::LeftButton);
    QCOMPARE(owner.connects, 1);
    d.ShowResult(InstrumentLink::ConnectFailedText());
    QVERIFY(Button(d, "btnReTry")->isEnabled());
}

void TstQDlgLink::cancelWhileWaitingIsRefused()
{
    TestProgramDir dir;
    StandInOwner owner;
    owner.waiting = true;
    QDlgLink d(&owner);
    d.SetShowingResult(true);
    d.show();
    ModalDriver driver;
    driver.Expect([](ModalDialog &m) {
        QVERIFY(m.LabelTexts().contains(QStringLiteral("操作正在进行中，请稍候再试！")));
        m.Key(Qt::Key_Return);
    });
    QTest::mouseClick(Button(d, "btnCancel"), Qt::LeftButton);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(d.isVisible());
    QVERIFY(d.IsShowingResult());
}

void TstQDlgLink::cancelAndEscapeClose()
{
    TestProgramDir dir;
    StandInOwner owner;
    QDlgLink d(&owner);
    d.SetShowingResult(true);
    d.show();
    QTest::mouseClick(Button(d, "btnCancel"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QVERIFY(!d.IsShowingResult());

    d.SetShowingResult(true);
    d.show();
    QTest::keyClick(&d, Qt::Key_A);
    QVERIFY(d.isVisible());
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QVERIFY(!d.IsShowingResult());
    QCOMPARE(owner.connects, 0);
}

void TstQDlgLink::enterPressesTheFocusedButton()
{
    TestProgramDir dir;
    StandInOwner owner;
    QDlgLink d(&owner);
    d.SetShowingResult(true);
    d.show();
    // Connecting: retry is disabled, Enter reaches 取消.
    QTest::keyClick(&d, Qt::Key_Return);
    QVERIFY(!d.isVisible());

    // A failure: Enter retries; the focus leaves the retry it disabled.
    d.ShowResult(InstrumentLink::ConnectionLostText());
    d.show();
    QTest::keyClick(&d, Qt::Key_Return);
    QCOMPARE(owner.connects, 1);
    QCOMPARE(LabelText(d), QStringLiteral("正在连接中，请稍等……"));
    QCOMPARE(d.focusWidget(), Button(d, "btnCancel"));

    d.ShowResult(InstrumentLink::ConnectFailedText());
    QTest::keyClick(&d, Qt::Key_Right);
    QTest::keyClick(&d, Qt::Key_Enter);
    QVERIFY(!d.isVisible());
    QCOMPARE(owner.connects, 1);
}

void TstQDlgLink::closesOnTheTimerWhenTheLinkIsUp()
{
    TestProgramDir dir;
    StandInOwner owner;
    QDlgLink d(&owner);
    d.SetShowingResult(true);
    d.show();
    Store().LinkState = LinkUp;
    QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), ScaledTimeout(3000));
    // Closed by the timer, it is no longer showing a result: a later failure shows it again.
    QVERIFY(!d.IsShowingResult());
}

void TstQDlgLink::closesByItselfWhenTheUnitAnswers()
{
    TestProgramDir dir;
    UnitSimulator sim;
    QVERIFY(sim.Start(0));
    PointAtLoopbackUnit(sim.Port());
    {
        ScreenStandIn screen;
        InstrumentLink link(&screen);
        QDlgLink d(&link);
        screen.dialog = &d;
        d.SetShowingResult(true);
        d.show();
        link.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), ScaledTimeout(5000));
        QCOMPARE(Store().LinkState, static_cast<int>(LinkUp));
        QVERIFY(sim.Received('a') >= 1);
        QVERIFY(!d.IsShowingResult());
        // Let the parameter frame that follows the check be answered before the link goes.
        QTRY_VERIFY_WITH_TIMEOUT(!link.IsWaiting(), ScaledTimeout(5000));
    }
    QVERIFY(!InstrumentSocket());
}

void TstQDlgLink::lostLinkShowsAgainAndRetryReconnects()
{
    TestProgramDir dir;
    UnitSimulator sim;
    QVERIFY(sim.Start(0));
    ParamSet &p = CurrentParams();
    PointAtLoopbackUnit(sim.Port());
    {
        ScreenStandIn screen;
        InstrumentLink link(&screen);
        ForwardingOwner owner;
        owner.link = &link;
        QDlgLink d(&owner);
        owner.dialog = &d;
        screen.dialog = &d;
        d.SetShowingResult(true);
        d.show();
        link.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), ScaledTimeout(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!link.IsWaiting(), ScaledTimeout(5000));

        // The socket reports the link gone: the closed window comes back with the text.
        link.onSockFailed();
        QVERIFY(d.isVisible());
        QCOMPARE(LabelText(d), InstrumentLink::ConnectionLostText());
        QVERIFY(Button(d, "btnReTry")->isEnabled());

        // The unit is gone too: the retry fails, and only that result enables retry again.
        sim.Stop();
        QTest::mouseClick(Button(d, "btnReTry"), Qt::LeftButton);
        QCOMPARE(owner.labelAtConnect, QStringLiteral("正在连接中，请稍等……"));
        QVERIFY(!owner.retryEnabledAtConnect);
        QTRY_VERIFY_WITH_TIMEOUT(Button(d, "btnReTry")->isEnabled(), ScaledTimeout(15000));
        QVERIFY(LabelText(d) != QStringLiteral("正在连接中，请稍等……"));
        QVERIFY(d.isVisible());

        // The unit is back: the next retry brings the link up and the window goes.
        QVERIFY(sim.Start(p.InstrumentPort.toUShort()));
        const int checks = sim.Received('a');
        QTest::mouseClick(Button(d, "btnReTry"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), ScaledTimeout(5000));
        QVERIFY(sim.Received('a') > checks);
        QCOMPARE(Store().LinkState, static_cast<int>(LinkUp));
        QTRY_VERIFY_WITH_TIMEOUT(!link.IsWaiting(), ScaledTimeout(5000));
    }
}

void TstQDlgLink::failedCheckShowsFailureText()
{
    TestProgramDir dir;
    UnitSimulator sim;
    sim.SetConnectAnswer(0);
    QVERIFY(sim.Start(0));
    PointAtLoopbackUnit(sim.Port());
    {
        ScreenStandIn screen;
        InstrumentLink link(&screen);
        QDlgLink d(&link);
        screen.dialog = &d;
        d.SetShowingResult(true);
        d.show();
        link.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(LabelText(d), InstrumentLink::ConnectFailedText(), ScaledTimeout(5000));
        QVERIFY(d.isVisible());
        QVERIFY(Button(d, "btnReTry")->isEnabled());
        QCOMPARE(Store().LinkState, static_cast<int>(LinkDown));

        // The unit answers now: a retry brings the link up and the window goes.
        sim.SetConnectAnswer(1);
        QTest::mouseClick(Button(d, "btnReTry"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), ScaledTimeout(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!link.IsWaiting(), ScaledTimeout(5000));
    }
}

QTEST_MAIN(TstQDlgLink)
#include "tst_qdlglink.moc"
