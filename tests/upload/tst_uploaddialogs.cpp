// The upload dialogs as the operator meets them: the fields they show and
// store, the keypads behind them, what OK, Cancel, pause and quit do against
// the test servers, and the chooser's focus and Esc.
#include "NormalUploadServer.h"
#include "UploadTestUtil.h"
#include "WitnessUploadServer.h"
#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include "dialogs/TaskScreens.h"
#include "upload/CDlgAssitantLoad.h"
#include "upload/CDlgDataUpLoadOpt.h"
#include "upload/NormalFrames.h"
#include "upload/QUpLoadCtrl.h"
#include "upload/cdlgUpLoad.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString Text(QWidget &d, const char *name)
{
    if (auto *l = d.findChild<QLabel *>(QString::fromLatin1(name)))
        return l->text();
    if (auto *e = d.findChild<QLineEdit *>(QString::fromLatin1(name)))
        return e->text();
    if (auto *b = d.findChild<QPushButton *>(QString::fromLatin1(name)))
        return b->text();
    return QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
}

template <typename T = QWidget>
T *Child(QWidget &d, const char *name)
{
    return d.findChild<T *>(QString::fromLatin1(name));
}

/// Answers a keypad: checks its title, types value and confirms.
ModalDriver::Handler Keypad(const QString &title, const QString &value)
{
    return [title, value](ModalDialog &d) {
        QCOMPARE(d.Text(QStringLiteral("lbTitle")), title);
        d.Retype(value);
        QVERIFY(d.Click(QStringLiteral("tBtnOK")));
    };
}

/// Presses a line edit with the mouse, as the operator's finger does.
void Press(QWidget &d, const char *edit)
{
    QTest::mousePress(Child(d, edit), Qt::LeftButton);
}

bool WaitClosed(QDialog &d, int ms)
{
    return QTest::qWaitFor([&] { return !d.isVisible(); }, ScaledTimeout(ms));
}

} // namespace

class TstUploadDialogs : public QObject
{
    Q_OBJECT

private slots:
    void normalDialogShowsTheFields();
    void normalKeypadsStoreTheFields_data();
    void normalKeypadsStoreTheFields();
    void normalRefusesBeforeConnecting_data();
    void normalRefusesBeforeConnecting();
    void normalUploadClosesWhenDone_data();
    void normalUploadClosesWhenDone();
    void normalFailureShowsItsTextAndOkResumes_data();
    void normalFailureShowsItsTextAndOkResumes();
    void normalCancelWithinHalfASecond();
    void coordinatesSurviveReopeningTheKeypad_data();
    void coordinatesSurviveReopeningTheKeypad();
    void witnessDialogShowsTheFields();
    void witnessRefusesBeforeConnecting();
    void witnessUploadAtTheGateway();
    void witnessPauseResumeAndEscape();
    void chooserFocusAndEscape();
    void uploadCommandOpensTheChosenDialog();
    void uploadCommandNamesTheRecordItSent();
};

void TstUploadDialogs::normalDialogShowsTheFields()
{
    TestProgramDir dir;
    PutTestRecord(24, 1024);
    ParamSet &p = CurrentParams();
    {
        cdlgUpLoad d;
        QCOMPARE(d.windowTitle(), QStringLiteral("数据上传"));
        QCOMPARE(Text(d, "labelPrompt"), QStringLiteral("状态:"));
        // A record not uploaded before takes its own profile number.
        QCOMPARE(Text(d, "btnProfileNum"), QStringLiteral("001"));
        QCOMPARE(Text(d, "btnFileName"), QStringLiteral("K001"));
        QCOMPARE(p.LastUploadRecord, QStringLiteral("K001"));
        QCOMPARE(p.UploadFileName, QStringLiteral("K001"));
        QCOMPARE(Text(d, "btnIMNum"), QStringLiteral("ZEB-24"));
        QCOMPARE(Text(d, "btnSerialNum"), QStringLiteral("SN0001"));
        QCOMPARE(Text(d, "editLongitude"), QStringLiteral("114.3"));
        QCOMPARE(Text(d, "editLatitude"), QStringLiteral("30.57"));
        for (const char *e : {"editIP1", "editIP2", "editIP3", "editIP4"})
            QCOMPARE(Child<QLineEdit>(d, e)->maxLength(), 3);
        QCOMPARE(Text(d, "editIP1") + Text(d, "editIP2") + Text(d, "editIP3") + Text(d, "editIP4"),
                 QStringLiteral("127001"));
        QCOMPARE(Text(d, "editPort"), QStringLiteral("5005"));
        QVERIFY(Child(d, "progressBarFinish")->isHidden());
    }
    // The same record again keeps the profile number the operator gave it;
    // a byte above 127 shows unsigned.
    p.UploadProfileNumber = QStringLiteral("P9");
    p.ServerAddress[0] = qint8(-64);
    p.Longitude = 114.3125f; // every digit shown: the frame sends the float itself
    cdlgUpLoad again;
    QCOMPARE(Text(again, "btnProfileNum"), QStringLiteral("P9"));
    QCOMPARE(Text(again, "editIP1"), QStringLiteral("192"));
    QCOMPARE(Text(again, "editLongitude"), QStringLiteral("114.3125")); // as the frame's float carries it
}

void TstUploadDialogs::normalKeypadsStoreTheFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("typed");
    QTest::newRow("address") << "editIP1" << "IP地址第1部分" << "200";
    QTest::newRow("address part 4") << "editIP4" << "IP地址第4部分" << "9";
    QTest::newRow("port") << "editPort" << "端口号" << "15005";
    QTest::newRow("longitude") << "editLongitude" << "经度坐标" << "116.5";
    QTest::newRow("latitude") << "editLatitude" << "纬度坐标" << "39.9";
    QTest::newRow("serial number") << "btnSerialNum" << "流水号" << "AB12";
    QTest::newRow("instrument number") << "btnIMNum" << "测试仪编号" << "Q7";
    QTest::newRow("profile number") << "btnProfileNum" << "剖面编号" << "X3";
}

void TstUploadDialogs::normalKeypadsStoreTheFields()
{
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(QString, typed);
    TestProgramDir dir;
    PutTestRecord(2, 100);
    cdlgUpLoad d;
    d.show();
    ModalDriver driver;
    driver.Expect(Keypad(title, typed));
    if (field.startsWith(QLatin1String("btn")))
        QTest::mouseClick(Child<QPushButton>(d, qPrintable(field)), Qt::LeftButton);
    else
        Press(d, qPrintable(field));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Text(d, qPrintable(field)), typed);
    const UploadFields f = CurrentUploadFields();
    const QString stored = field == "editIP1" ? QString::number(quint8(f.ServerAddress[0]))
        : field == "editIP4"                  ? QString::number(quint8(f.ServerAddress[3]))
        : field == "editPort"                 ? QString::number(f.ServerPort)
        : field == "editLongitude"            ? QString::number(double(f.Longitude))
        : field == "editLatitude"             ? QString::number(double(f.Latitude))
        : field == "btnSerialNum"             ? f.SerialNumber
        : field == "btnIMNum"                 ? f.InstrumentNumber
                                              : f.ProfileNumber;
    QCOMPARE(stored, typed);
}

void TstUploadDialogs::normalRefusesBeforeConnecting_data()
{
    QTest::addColumn<QString>("emptied");
    QTest::addColumn<QString>("message"); // in a message box
    QTest::addColumn<QString>("label");
    QTest::newRow("no instrument number") << "instrument" << "测试仪编号与流水号不能为空!" << "状态:";
    QTest::newRow("no serial number") << "serial" << "测试仪编号与流水号不能为空!" << "状态:";
    QTest::newRow("nothing on screen") << "traces" << QString() << "无数据可上传，请先采样数据！";
}

void TstUploadDialogs::normalRefusesBeforeConnecting()
{
    QFETCH(QString, emptied);
    QFETCH(QString, message);
    QFETCH(QString, label);
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(2, 100);
    PointAtLoopbackServer(server.Port());
    if (emptied == "instrument")
        CurrentParams().InstrumentNumber.clear();
    else if (emptied == "serial")
        CurrentParams().SerialNumber.clear();
    else
        Store().Traces[0].clear();
    cdlgUpLoad d;
    d.show();
    ModalDriver driver;
    if (!message.isEmpty())
        driver.Expect([message](ModalDialog &m) {
            QVERIFY(m.LabelTexts().contains(message));
            m.Key(Qt::Key_Return);
        });
    d.on_BtnOK_clicked();
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Text(d, "labelPrompt"), label);
    QVERIFY(Child(d, "BtnOK")->isEnabled());
    QTest::qWait(100);
    QCOMPARE(server.Connections(), 0);
}

void TstUploadDialogs::normalUploadClosesWhenDone_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("frames"); // parameter, data, end
    QTest::addColumn<bool>("pressedAgain");
    QTest::newRow("24 channels") << 24 << 1024 << 266 << false;
    // Within OK's pause: a second tap, a bouncing Enter and a queued click
    // must not start a second upload nor close the dialog twice.
    QTest::newRow("OK again within its pause") << 2 << 1 << 4 << true;
}

void TstUploadDialogs::normalUploadClosesWhenDone()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(int, frames);
    QFETCH(bool, pressedAgain);
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(channels, samples);
    PointAtLoopbackServer(server.Port());
    cdlgUpLoad d;
    d.show();
    QSignalSpy done(&d, &QDialog::finished);
    bool completeWhenClosed = false;
    connect(&d, &QDialog::finished, &d, [&] { completeWhenClosed = server.Completed(); });
    QObject scope;
    if (pressedAgain)
        QTimer::singleShot(20, &scope, [&] {
            QTest::mouseClick(Child<QPushButton>(d, "BtnOK"), Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_Return);
            d.on_BtnOK_clicked();
        });
    QTest::mouseClick(Child<QPushButton>(d, "BtnOK"), Qt::LeftButton);
    QVERIFY(!Child(d, "BtnOK")->isEnabled());
    QVERIFY(!Child(d, "editPort")->isEnabled());
    QVERIFY(Child(d, "progressBarFinish")->isVisible());
    QVERIFY(done.wait(ScaledTimeout(30000)));
    QCOMPARE(done.first().first().toInt(), int(QDialog::Accepted));
    QVERIFY(completeWhenClosed);
    QCOMPARE(Child<QProgressBar>(d, "progressBarFinish")->maximum(), frames);
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    for (int ch = 0; ch < channels; ++ch)
        QVERIFY(IsTestTrace(server.Trace(ch), ch, samples));
    QTest::qWait(200);
    QCOMPARE(done.count(), 1);
    QCOMPARE(server.Connections(), 1);
    QCOMPARE(server.Received(), frames); // each frame once
}

void TstUploadDialogs::normalFailureShowsItsTextAndOkResumes_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("kindsAfterResume");
    QTest::newRow("refused") << -1 << 0 << "服务器连接失败!" << QList<int>{11, 12, 12, 14};
    QTest::newRow("no such device") << int(NormalUploadServer::Fault::ReplyCode) << 3 << "设备不存在!"
                                    << QList<int>{11, 12, 12, 14};
    // The data frame that failed goes again, without the parameter frame.
    QTest::newRow("no such serial number") << int(NormalUploadServer::Fault::ReplyCode) << 4 << "流水号不存在!"
                                           << QList<int>{12, 14};
    QTest::newRow("unknown code") << int(NormalUploadServer::Fault::ReplyCode) << 7 << "未知异常!"
                                  << QList<int>{12, 14};
}

void TstUploadDialogs::normalFailureShowsItsTextAndOkResumes()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(QString, text);
    QFETCH(QList<int>, kindsAfterResume);
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    // Frames: parameter, 2 data, end; the fault hits frame 1 (device) or 3 (data).
    if (fault < 0)
        QVERIFY(server.SetRefusing(true));
    else
        server.SetFault(NormalUploadServer::Fault(fault), param == 3 ? 1 : 3, 1, param);
    PutTestRecord(2, 1);
    PointAtLoopbackServer(server.Port());
    cdlgUpLoad d;
    d.show();
    QSignalSpy done(&d, &QDialog::finished);
    d.on_BtnOK_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(Text(d, "labelPrompt"), text, ScaledTimeout(10000));
    QVERIFY(Child(d, "BtnOK")->isEnabled());
    QVERIFY(Child(d, "btnSerialNum")->isEnabled());
    QVERIFY(Child(d, "progressBarFinish")->isHidden());
    QVERIFY(d.isVisible());
    const int before = server.Received();
    if (fault < 0)
        QVERIFY(server.SetRefusing(false));
    d.on_BtnOK_clicked();
    QVERIFY(done.wait(ScaledTimeout(30000)));
    QList<int> kinds;
    for (int i = before; i < server.Received(); ++i)
        kinds << server.Frames().at(i).Kind;
    QCOMPARE(kinds, kindsAfterResume);
    QVERIFY(server.Completed());
}

void TstUploadDialogs::normalCancelWithinHalfASecond()
{
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(NormalUploadServer::Fault::Silence, 3, -1);
    PutTestRecord(2, 1000);
    PointAtLoopbackServer(server.Port());
    cdlgUpLoad d;
    d.show();
    QSignalSpy done(&d, &QDialog::finished);
    d.on_BtnOK_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(server.Received(), 3, ScaledTimeout(10000));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(Child<QPushButton>(d, "BtnCancel"), Qt::LeftButton);
    QVERIFY(WaitClosed(d, 500));
    QVERIFY2(clock.elapsed() < ScaledTimeout(500), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().first().toInt(), int(QDialog::Rejected));
    QVERIFY(!d.IsUploading());
    QCOMPARE(Text(d, "labelPrompt"), QStringLiteral("强制取消"));
    QTest::qWait(200);
    QCOMPARE(server.Received(), 3);
}

void TstUploadDialogs::coordinatesSurviveReopeningTheKeypad_data()
{
    QTest::addColumn<bool>("witness");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("typed");
    QTest::newRow("normal longitude") << false << "editLongitude" << "经度坐标" << "114.123456";
    QTest::newRow("normal latitude") << false << "editLatitude" << "纬度坐标" << "30.654321";
    QTest::newRow("witness longitude") << true << "editLongitude" << "经度坐标" << "114.123456";
}

void TstUploadDialogs::coordinatesSurviveReopeningTheKeypad()
{
    QFETCH(bool, witness);
    QFETCH(QString, edit);
    QFETCH(QString, title);
    QFETCH(QString, typed);
    TestProgramDir dir;
    PutTestRecord(2, 1);
    std::unique_ptr<QDialog> d;
    if (witness)
        d = std::make_unique<CDlgAssitantLoad>();
    else
        d = std::make_unique<cdlgUpLoad>();
    d->show();
    const auto frame = [] {
        const UploadRecord record = SnapshotCurrentRecord();
        QByteArray bytes(NormalLayout::kFrameSize, '\0');
        bytes.truncate(BuildParamPacket(&record, bytes.data()));
        return bytes;
    };
    const auto stored = [&edit] {
        return edit == QLatin1String("editLongitude") ? CurrentParams().Longitude : CurrentParams().Latitude;
    };

    ModalDriver driver;
    driver.Expect(Keypad(title, typed));
    Press(*d, qPrintable(edit));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    const float value = stored();
    QCOMPARE(value, typed.toFloat());
    const QByteArray sent = frame();
    if (!witness)
        QCOMPARE(Text(*d, qPrintable(edit)).toFloat(), value); // the field shows what goes out

    // Opened again and confirmed without a key: nothing changes.
    driver.Expect([](ModalDialog &k) { QVERIFY(k.Click(QStringLiteral("tBtnOK"))); });
    Press(*d, qPrintable(edit));
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(stored(), value);
    QCOMPARE(frame(), sent);
}

void TstUploadDialogs::witnessDialogShowsTheFields()
{
    TestProgramDir dir;
    PutTestRecord(24, 2048);
    CDlgAssitantLoad d;
    QCOMPARE(d.windowTitle(), QStringLiteral("上传设置"));
    QCOMPARE(Text(d, "labelPrompt"), QStringLiteral("状态:"));
    QCOMPARE(Text(d, "editFileName"), QStringLiteral("K001"));
    for (const char *e : {"editFileName", "editMileageNum", "editTaskNum"})
        QVERIFY(!Child(d, e)->isEnabled());
    QCOMPARE(Text(d, "editMileageNum") + Text(d, "editTaskNum"), QString());
    QCOMPARE(Text(d, "btnSerialNum"), QStringLiteral("SN0001"));
    QCOMPARE(Text(d, "editLongitude"), QStringLiteral("114.3"));
    QCOMPARE(Text(d, "editLatitude"), QStringLiteral("30.57"));
    QCOMPARE(Child<QProgressBar>(d, "loadProgressBar")->maximum(), 50);
    QVERIFY(!Child(d, "btnPause")->isEnabled());
    QCOMPARE(Text(d, "btnLink") + Text(d, "btnPause") + Text(d, "btnQuit"), QStringLiteral("连接暂停退出"));
    d.show();
    ModalDriver driver;
    driver.Expect(Keypad(QStringLiteral("纬度坐标"), QStringLiteral("31.5")));
    Press(d, "editLatitude");
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(CurrentParams().Latitude, 31.5f);
}

void TstUploadDialogs::witnessRefusesBeforeConnecting()
{
    TestProgramDir dir;
    PutTestRecord(2, 100);
    CurrentParams().SerialNumber.clear();
    CDlgAssitantLoad d;
    d.show();
    QCOMPARE(Text(d, "btnSerialNum"), QString());
    d.on_btnLink_clicked();
    QCOMPARE(Text(d, "labelPrompt"), QStringLiteral("流水号不能为空!!!"));
    ModalDriver driver;
    driver.Expect(Keypad(QStringLiteral("流水号"), QStringLiteral("SN9")));
    QTest::mouseClick(Child<QPushButton>(d, "btnSerialNum"), Qt::LeftButton);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Text(d, "btnSerialNum"), QStringLiteral("SN9"));
    QCOMPARE(CurrentParams().SerialNumber, QStringLiteral("SN9"));
    // The harmless platform knows of no network: no gateway, nothing tried.
    d.on_btnLink_clicked();
    QCOMPARE(Text(d, "labelPrompt"), QStringLiteral("网络异常!!!"));
    QVERIFY(!d.IsRunning());
    QVERIFY(Child(d, "btnLink")->isEnabled());
}

void TstUploadDialogs::witnessUploadAtTheGateway()
{
    TestProgramDir dir;
    ScopedFakePlatform platform;
    WitnessUploadServer server;
    QVERIFY(server.Start());
    // The gateway of the interface that carries the local address, from the
    // routing table: here the test server's address.
    platform->SetInterfaceAddresses({{QStringLiteral("lo"), {QStringLiteral("127.0.0.1")}},
                                     {QStringLiteral("eth0"), {QStringLiteral("10.1.2.3")}}});
    platform->SetRoutingTable("Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                              "eth0\t00000000\t0100007F\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
    CurrentParams().WitnessPort = server.Port();
    PutTestRecord(4, 2048);
    CDlgAssitantLoad d;
    d.show();
    QTest::mouseClick(Child<QPushButton>(d, "btnLink"), Qt::LeftButton);
    QVERIFY(!Child(d, "btnLink")->isEnabled());
    QVERIFY(!Child(d, "btnSerialNum")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(Text(d, "labelPrompt"), QUpLoadCtrl::DoneText(), ScaledTimeout(20000));
    QCOMPARE(Text(d, "editMileageNum"), QStringLiteral("K12+345"));
    QCOMPARE(Text(d, "editTaskNum"), QString::number(WitnessUploadServer::kDefaultTask));
    QCOMPARE(Child<QProgressBar>(d, "loadProgressBar")->value(), 10);
    QVERIFY(server.Completed());
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    // Finished: nothing left to connect for or to pause.
    QTRY_VERIFY_WITH_TIMEOUT(!d.IsRunning(), ScaledTimeout(5000));
    QVERIFY(!Child(d, "btnLink")->isEnabled());
    QVERIFY(!Child(d, "btnPause")->isEnabled());
    QTest::mouseClick(Child<QPushButton>(d, "btnQuit"), Qt::LeftButton);
    QVERIFY(WaitClosed(d, 1000));
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

void TstUploadDialogs::witnessPauseResumeAndEscape()
{
    TestProgramDir dir;
    WitnessUploadServer server;
    QVERIFY(server.Start());
    server.SetFault(WitnessUploadServer::Fault::Delay, 1, -1, 40);
    CurrentParams().WitnessGateway = QStringLiteral("127.0.0.1");
    CurrentParams().WitnessPort = server.Port();
    PutTestRecord(24, 2048);
    CDlgAssitantLoad d;
    d.show();
    d.on_btnLink_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(Child(d, "btnPause")->isEnabled() && server.Received() > 3, ScaledTimeout(10000));
    QTest::mouseClick(Child<QPushButton>(d, "btnPause"), Qt::LeftButton);
    QCOMPARE(Text(d, "btnPause"), QStringLiteral("重传"));
    QTest::qWait(300);
    const int held = server.Received();
    QTest::qWait(300);
    QCOMPARE(server.Received(), held);
    QTest::mouseClick(Child<QPushButton>(d, "btnPause"), Qt::LeftButton);
    QCOMPARE(Text(d, "btnPause"), QStringLiteral("暂停"));
    QTRY_VERIFY_WITH_TIMEOUT(server.Received() > held + 2, ScaledTimeout(5000));
    // Esc quits like the quit button, the upload unfinished.
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(WaitClosed(d, 500));
    QVERIFY2(clock.elapsed() < ScaledTimeout(500), qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!d.IsRunning());
    QVERIFY(!server.Completed());
}

void TstUploadDialogs::chooserFocusAndEscape()
{
    TestProgramDir dir;
    for (int mode : {0, 1, 5}) {
        CurrentParams().UploadMode = mode;
        CDlgDataUpLoadOpt chooser;
        chooser.show();
        QCOMPARE(chooser.windowTitle(), QStringLiteral("数据上传"));
        QCOMPARE(Text(chooser, "btnUpLoad1") + Text(chooser, "btnUpLoad2"), QStringLiteral("普通上传见证上传"));
        QCOMPARE(chooser.minimumSize(), chooser.maximumSize()); // fixed at its layout's size
        QTRY_COMPARE(chooser.focusWidget(), Child(chooser, mode ? "btnUpLoad2" : "btnUpLoad1"));
        QTest::keyClick(&chooser, Qt::Key_Right);
        QCOMPARE(chooser.focusWidget(), Child(chooser, mode ? "btnUpLoad1" : "btnUpLoad2"));
        QTest::keyClick(&chooser, Qt::Key_Escape);
        QVERIFY(!chooser.isVisible());
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
        QCOMPARE(chooser.Choice(), 0);
    }
}

void TstUploadDialogs::uploadCommandOpensTheChosenDialog()
{
    TestProgramDir dir;
    InstallTaskScreens();
    QVERIFY(Screens().Upload);
    PutTestRecord(2, 100);
    struct Step
    {
        QString button;   ///< pressed in the chooser; empty: Esc
        QString opened;   ///< title of the upload dialog that must follow
        QString closer;   ///< the button that closes it
        int mode;         ///< upload mode afterwards
        QString focused;  ///< the chooser's focus when it opened
    };
    const QList<Step> steps{
        {QStringLiteral("btnUpLoad2"), QStringLiteral("上传设置"), QStringLiteral("btnQuit"), 1, QStringLiteral("btnUpLoad1")},
        {QString(), QString(), QString(), 1, QStringLiteral("btnUpLoad2")},
        {QStringLiteral("btnUpLoad1"), QStringLiteral("数据上传"), QStringLiteral("BtnCancel"), 0, QStringLiteral("btnUpLoad2")},
    };
    for (const Step &step : steps) {
        ModalDriver driver;
        driver.Expect([step](ModalDialog &m) {
            QCOMPARE(m.Widget()->focusWidget()->objectName(), step.focused);
            if (step.button.isEmpty())
                m.Key(Qt::Key_Escape);
            else
                QVERIFY(m.Click(step.button));
        });
        if (!step.opened.isEmpty())
            driver.Expect([step](ModalDialog &m) {
                QCOMPARE(m.Title(), step.opened);
                QVERIFY(m.Click(step.closer));
            });
        QVERIFY(!Screens().Upload(nullptr)); // nothing was sent
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(driver.Answered(), step.opened.isEmpty() ? 1 : 2);
        QCOMPARE(CurrentParams().UploadMode, step.mode);
    }
}

void TstUploadDialogs::uploadCommandNamesTheRecordItSent()
{
    TestProgramDir dir;
    InstallTaskScreens();
    NormalUploadServer server;
    QVERIFY(server.Start());
    PutTestRecord(2, 100);
    PointAtLoopbackServer(server.Port());
    ModalDriver driver(30000);
    driver.Expect([](ModalDialog &m) { QVERIFY(m.Click(QStringLiteral("btnUpLoad1"))); });
    // OK starts the upload; the dialog closes itself once the server has it all.
    driver.Expect([](ModalDialog &m) { QVERIFY(m.Click(QStringLiteral("BtnOK"))); });
    const std::optional<QString> sent = Screens().Upload(nullptr);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(server.Completed());
    QCOMPARE(sent, std::optional<QString>(QStringLiteral("K001")));
}

QTEST_MAIN(TstUploadDialogs)
#include "tst_uploaddialogs.moc"
