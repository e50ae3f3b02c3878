// The screens together, as an operator meets them: the acquisition screen
// with the real record browser, settings, analysis, dispersion, self-check
// and upload screens behind it, driven by keys and touches against the unit
// simulator and the upload test servers on loopback.
#include "NormalUploadServer.h"
#include "UnitSimulator.h"
#include "WitnessUploadServer.h"

#include "analysis/CDlgAnalysis.h"
#include "analysis/CDlgDispersion.h"
#include "analysis/CDlgSetFilt.h"
#include "dialogs/CDlgSet.h"
#include "dialogs/TaskScreens.h"
#include "instrument/CDlgAutoCheck.h"
#include "instrument/CDlgMain.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentProtocol.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "browser/FileSelectDlg.h"
#include "records/RecordFile.h"
#include "upload/CDlgAssitantLoad.h"
#include "upload/QUpLoadCtrl.h"

#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/ScreenProbe.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutex>
#include <QNetworkProxyFactory>
#include <QPushButton>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// --- nothing leaves the machine ---------------------------------------------

/// Every socket the process points at a peer asks the application's proxy
/// factory first (the instrument's UDP socket and both uploads' TCP sockets
/// alike; Qt answers loopback peers itself). A peer outside 127.0.0.0/8 is
/// written down and given no usable proxy, so the socket fails before a
/// single byte is sent.
class LoopbackOnly : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.peerHostName();
        if (host.isEmpty() || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        QMutexLocker lock(&Mutex());
        Outside() << QStringLiteral("%1:%2").arg(host).arg(query.peerPort());
        return {QNetworkProxy(QNetworkProxy::DefaultProxy)};
    }

    /// Peers outside loopback asked for since the last call, and forgets them.
    static QStringList TakeOutside()
    {
        QMutexLocker lock(&Mutex());
        QStringList peers;
        peers.swap(Outside());
        return peers;
    }

private:
    static QMutex &Mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList &Outside()
    {
        static QStringList peers;
        return peers;
    }
};

// --- the acquisition screen ---------------------------------------------------

/// What the operator sees of the acquisition screen, to compare before and
/// after a visit to another screen.
struct ScreenState
{
    TraceSet Traces;
    int AcqState = -1;
    QString Commands;
    QStringList Fields;

    static ScreenState Of(const QWidget &screen)
    {
        ScreenState s;
        s.Traces = Store().Traces;
        s.AcqState = Store().AcqState;
        s.Commands = EnabledCommands(screen);
        for (const char *name : {"btnSample", "btnAdd", "btnShow1", "btnShow2", "btnShow3", "btnShow5", "btnShow6",
                                 "btnShow7", "btnShow8"})
            s.Fields << ButtonText(screen, name);
        return s;
    }
};

/// Same lengths and the same bits, NaN and −0.0 included.
bool SameBits(const QVector<float> &a, const QVector<float> &b)
{
    return a.size() == b.size()
        && (a.isEmpty() || std::memcmp(a.constData(), b.constData(), sizeof(float) * size_t(a.size())) == 0);
}

bool SameBits(const TraceSet &a, const TraceSet &b)
{
    for (size_t c = 0; c < a.size(); ++c)
        if (!SameBits(a[c], b[c]))
            return false;
    return true;
}

/// The channels of the record on screen: the traces with data.
int ChannelsWithData()
{
    int n = 0;
    for (const auto &t : Store().Traces)
        n += t.isEmpty() ? 0 : 1;
    return n;
}

// --- records on disk ------------------------------------------------------------

/// The record files' parameters, unlike the operator's in every field the
/// status line shows.
constexpr int kRecordChannels = 24;
constexpr int kRecordSamples = 512;
constexpr float kRecordInterval = 250.0f;
constexpr float kRecordSpacing = 3.5f;
constexpr float kRecordOffset = 6.0f;

/// Writes a record of the operator's project as the program writes one;
/// its traces (a few sines, different for every record and channel) come back.
TraceSet WriteRecordOfProject(const QString &name, int seed)
{
    ParamSet p(CurrentParams());
    RecordHeader &h = p.Header;
    h.ChannelCount = kRecordChannels;
    h.SampleInterval = kRecordInterval;
    h.SampleLength = kRecordSamples;
    h.TraceSpacing = kRecordSpacing;
    h.Offset = kRecordOffset;
    TraceSet traces;
    for (int c = 0; c < kRecordChannels; ++c) {
        traces[c].resize(kRecordSamples);
        for (int i = 0; i < kRecordSamples; ++i) {
            const double t = i * kRecordInterval * 1e-6;
            traces[c][i] = float(seed + 50.0 * std::sin(2 * M_PI * (8 + c) * t) + 20.0 * std::sin(2 * M_PI * 700 * t));
        }
    }
    const QString path = RecordOpenPath(p, h.ProjectName, name);
    if (!QDir().mkpath(QFileInfo(path).path()) || WriteRecordFile(BlocksFromParams(p), traces, path) != RecordOk)
        qFatal("cannot write %s", qPrintable(path));
    return traces;
}

/// Gives a record file its modification time (seconds since 1970).
void SetModified(const QString &name, qint64 seconds)
{
    QFile f(RecordOpenPath(CurrentParams(), CurrentParams().Header.ProjectName, name));
    if (!f.open(QIODevice::ReadWrite)
        || !f.setFileTime(QDateTime::fromSecsSinceEpoch(seconds), QFileDevice::FileModificationTime))
        qFatal("cannot date %s", qPrintable(f.fileName()));
}

// --- dialogs ----------------------------------------------------------------------

/// Answers a keypad: checks its title, types value (or presses a choice key
/// "tBtn…") and confirms.
ModalDriver::Handler Keypad(const QString &title, const QString &value)
{
    return [title, value](ModalDialog &k) {
        QCOMPARE(k.Text(QStringLiteral("lbTitle")), title);
        if (value.startsWith(QLatin1String("tBtn")))
            QVERIFY(k.Click(value));
        else
            k.Retype(value);
        QVERIFY(k.Click(QStringLiteral("tBtnOK")));
    };
}

ModalDriver::Handler Message(const QString &text)
{
    return [text](ModalDialog &m) {
        QCOMPARE(m.Text(QStringLiteral("labelMsg")), text);
        m.Key(Qt::Key_Return);
    };
}

/// The browser in read mode: checks where it opened, then clicks through
/// clicks (the last one closes it).
ModalDriver::Handler Browser(int page, bool byName, const QStringList &clicks)
{
    return [=](ModalDialog &b) {
        auto *browser = qobject_cast<FileSelectDlg *>(b.Widget());
        QVERIFY(browser);
        QCOMPARE(browser->Mode(), int(FileSelectDlg::ModeChooseRecord));
        QCOMPARE(browser->Page(), page);
        QCOMPARE(browser->SortByName(), byName);
        for (const QString &name : clicks)
            QVERIFY2(b.Click(name), qPrintable(name));
    };
}

} // namespace

class TstScreensTogether : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void readFromTheBrowserKeepsItsPlace();
    void failedReadKeepsTheOperatorsParameters_data();
    void failedReadKeepsTheOperatorsParameters();
    void settingsReachTheFileTheBackupAndTheUnit_data();
    void settingsReachTheFileTheBackupAndTheUnit();
    void analysisHandsTheRecordBack_data();
    void analysisHandsTheRecordBack();
    void dispersionFromTheAnalysisScreen();
    void selfCheck_data();
    void selfCheck();
    void normalUploadOfTheShotOnScreen();
    void witnessUploadAtTheGateway();

private:
    /// The acquisition screen, connected to the simulator, its parameter frame answered.
    std::unique_ptr<CDlgMain> OpenScreen();
    /// Alt+S: one whole shot; false when it did not bring data.
    bool TakeShot(CDlgMain &screen);
    /// Alt+R and a pick in the browser (on the page and in the order it opens
    /// with); the read must succeed.
    bool ReadRecord(CDlgMain &screen, const QStringList &clicks);

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScopedFakePlatform> m_platform;
    std::unique_ptr<UnitSimulator> m_sim;
    std::unique_ptr<CDlgMain> m_screen;
};

void TstScreensTogether::initTestCase()
{
    QNetworkProxyFactory::setApplicationProxyFactory(new LoopbackOnly);
    // The guard answers for outside peers (asked without opening a socket).
    const QList<QNetworkProxy> answer = QNetworkProxyFactory::proxyForQuery(
        QNetworkProxyQuery(QStringLiteral("192.0.2.1"), 5005, QString(), QNetworkProxyQuery::TcpSocket));
    QCOMPARE(answer.value(0).type(), QNetworkProxy::DefaultProxy);
    QCOMPARE(LoopbackOnly::TakeOutside(), QStringList{QStringLiteral("192.0.2.1:5005")});
}

void TstScreensTogether::cleanupTestCase()
{
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
}

void TstScreensTogether::init()
{
    m_dir = std::make_unique<TestProgramDir>();
    m_platform = std::make_unique<ScopedFakePlatform>();
    CurrentParams().LoadSettings();
    CurrentParams().HardwareVersionText = QStringLiteral("known");
    InstallTaskScreens();
    m_sim = std::make_unique<UnitSimulator>();
    m_sim->SetSeed(11);
    m_sim->SetTimeScale(0);
    m_sim->SetTriggerWaitMs(0);
    QVERIFY(m_sim->Start(0));
    PointAtLoopbackUnit(m_sim->Port());
}

void TstScreensTogether::cleanup()
{
    m_screen.reset();
    m_sim.reset();
    m_platform.reset();
    m_dir.reset();
    const QStringList outside = LoopbackOnly::TakeOutside();
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QLatin1Char(' '))));
}

std::unique_ptr<CDlgMain> TstScreensTogether::OpenScreen()
{
    auto screen = std::make_unique<CDlgMain>();
    const bool up = QTest::qWaitFor(
        [&] { return Store().LinkState == LinkUp && screen->Link().ReplyLetter() == 'd' && !screen->Link().IsWaiting(); },
        ScaledTimeout(5000));
    return up ? std::move(screen) : nullptr;
}

bool TstScreensTogether::TakeShot(CDlgMain &screen)
{
    ModalDriver none; // a failure message would be a dialog nobody expects
    QTest::keyClick(&screen, Qt::Key_S, Qt::AltModifier);
    return none.Finished() && Store().AcqState == AcqSampled && !Store().Traces[0].isEmpty();
}

bool TstScreensTogether::ReadRecord(CDlgMain &screen, const QStringList &clicks)
{
    ModalDriver driver;
    driver.Expect([&](ModalDialog &b) {
        for (const QString &name : clicks)
            QVERIFY2(b.Click(name), qPrintable(name));
    });
    QTest::keyClick(&screen, Qt::Key_R, Qt::AltModifier);
    return driver.Finished() && Store().AcqState == AcqRecordLoaded;
}

// ------------------------------------------------------------------ read

void TstScreensTogether::readFromTheBrowserKeepsItsPlace()
{
    // Seven records, R01 the oldest: by date, newest first, R07 … R01.
    std::map<QString, TraceSet> records;
    for (int r = 1; r <= 7; ++r) {
        const QString name = QStringLiteral("R%1").arg(r, 2, 10, QLatin1Char('0'));
        records[name] = WriteRecordOfProject(name, 100 * r);
        SetModified(name, 1700000000 + 60 * r);
    }
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    const ParamSet operatorSet(CurrentParams());

    // Second page by name, its first row.
    ModalDriver driver;
    driver.Expect(Browser(1, true, {"BTN_NEXT", "BTN_NAME1", "BTN_OK"}));
    QTest::keyClick(&screen, Qt::Key_R, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Store().AcqState, int(AcqRecordLoaded));
    QVERIFY(SameBits(Store().Traces, records["R06"]));
    QCOMPARE(EnabledCommands(screen), QStringLiteral("1110001011"));
    QCOMPARE(ButtonText(screen, "btnShow2"), QStringLiteral("T:250us"));
    QCOMPARE(ButtonText(screen, "btnShow3"), QStringLiteral("道距:3.5m"));
    QCOMPARE(ButtonText(screen, "btnShow6"), QStringLiteral("F:R06"));
    QCOMPARE(ButtonText(screen, "btnShow7"), QStringLiteral("N:512"));
    QCOMPARE(ButtonText(screen, "btnShow8"), QStringLiteral("偏移距:6.0m"));
    QCOMPARE(CurrentParams().Header.ChannelCount, kRecordChannels);
    // The record's parameters are the current set's only.
    QCOMPARE(BackupParams().Header.SampleInterval, operatorSet.Header.SampleInterval);
    QCOMPARE(BackupParams().Header.ChannelCount, operatorSet.Header.ChannelCount);
    QCOMPARE(CurrentParams().BrowserPage, 2);
    QCOMPARE(CurrentParams().BrowserSort, 1);

    // Back where it was left; by date now, its second page, second row.
    driver.Expect(Browser(2, true, {"BTN_DATE", "BTN_NEXT", "BTN_NAME2", "BTN_OK"}));
    QTest::keyClick(&screen, Qt::Key_R, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(SameBits(Store().Traces, records["R01"]));
    QCOMPARE(ButtonText(screen, "btnShow6"), QStringLiteral("F:R01"));
    QCOMPARE(CurrentParams().BrowserPage, 2);
    QCOMPARE(CurrentParams().BrowserSort, 0);

    // Opens by date on that page; cancelled, the record stays.
    driver.Expect(Browser(2, false, {"BTN_CANCAL"}));
    QTest::keyClick(&screen, Qt::Key_R, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Store().AcqState, int(AcqRecordLoaded));
    QVERIFY(SameBits(Store().Traces, records["R01"]));
}

void TstScreensTogether::failedReadKeepsTheOperatorsParameters_data()
{
    QTest::addColumn<int>("at");         // where the file is spoilt (−1: cut short there instead)
    QTest::addColumn<QByteArray>("bytes"); // written there
    QTest::addColumn<QString>("message");
    QTest::newRow("cut short") << -1 << QByteArray() << QStringLiteral("打开文件失败，文件已损坏！");
    QTest::newRow("not a record") << 0 << QByteArray("XYZ") << QStringLiteral("打开文件失败，无法识别的文件格式！");
    QTest::newRow("another record type") << 40 << QByteArray("\x01\0\0\0", 4)
                                         << QStringLiteral("打开文件失败，此文件非面波文件！");
}

void TstScreensTogether::failedReadKeepsTheOperatorsParameters()
{
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    WriteRecordOfProject(QStringLiteral("R01"), 1);
    WriteRecordOfProject(QStringLiteral("R02"), 2);
    {
        QFile f(RecordOpenPath(CurrentParams(), CurrentParams().Header.ProjectName, QStringLiteral("R02")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        if (at < 0) {
            QVERIFY(f.resize(f.size() / 2));
        } else {
            QVERIFY(f.seek(at));
            QCOMPARE(f.write(bytes), qint64(bytes.size()));
        }
    }
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    const RecordHeader operatorHeader = CurrentParams().Header;
    const QString operatorFields = ButtonText(screen, "btnShow2") + ButtonText(screen, "btnShow3") + ButtonText(screen, "btnShow7");

    // A good record first: its parameters are current when the bad one is read.
    QVERIFY(ReadRecord(screen, {"BTN_NAME1", "BTN_OK"}));
    QCOMPARE(CurrentParams().Header.SampleInterval, kRecordInterval);

    ModalDriver driver;
    driver.Expect(Browser(1, true, {"BTN_NAME2", "BTN_OK"}));
    driver.Expect(Message(message));
    QTest::keyClick(&screen, Qt::Key_R, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(Store().AcqState, int(AcqIdle));
    QCOMPARE(ChannelsWithData(), 0);
    const RecordHeader &h = CurrentParams().Header;
    QCOMPARE(h.ChannelCount, operatorHeader.ChannelCount);
    QCOMPARE(h.SampleInterval, operatorHeader.SampleInterval);
    QCOMPARE(h.SampleLength, operatorHeader.SampleLength);
    QCOMPARE(h.TraceSpacing, operatorHeader.TraceSpacing);
    QCOMPARE(h.Offset, operatorHeader.Offset);
    QCOMPARE(BackupParams().Header.SampleInterval, operatorHeader.SampleInterval);
    QCOMPARE(ButtonText(screen, "btnShow2") + ButtonText(screen, "btnShow3") + ButtonText(screen, "btnShow7"), operatorFields);
    QCOMPARE(EnabledCommands(screen), QStringLiteral("1101101010"));

    // The next shot is taken, and sent, with the operator's parameters.
    QVERIFY(TakeShot(screen));
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(BackupParams(), false));
    QCOMPARE(m_sim->Params().IntervalUs, double(operatorHeader.SampleInterval));
    QCOMPARE(Store().Traces[0].size(), operatorHeader.SampleLength);
}

// -------------------------------------------------------------- settings

void TstScreensTogether::settingsReachTheFileTheBackupAndTheUnit_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("left by 确定") << false;
    QTest::newRow("left by Esc") << true;
}

void TstScreensTogether::settingsReachTheFileTheBackupAndTheUnit()
{
    QFETCH(bool, byEscape);
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    QCOMPARE(Store().AcqState, int(AcqIdle));

    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        QVERIFY(qobject_cast<CDlgSet *>(d.Widget()));
        QCOMPARE(d.Widget()->parentWidget(), &screen);
        QVERIFY(d.Click(QStringLiteral("btnSpan")));
        QVERIFY(d.Click(QStringLiteral("btnCHNum")));
        if (byEscape)
            d.Key(Qt::Key_Escape);
        else
            QVERIFY(d.Click(QStringLiteral("btnOK")));
    });
    driver.Expect(Keypad(QStringLiteral("道间距(m):"), QStringLiteral("3.5")));
    driver.Expect(Keypad(QStringLiteral("通道数量:"), QStringLiteral("tBtn1"))); // 24
    QTest::keyClick(&screen, Qt::Key_M, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QVERIFY(screen.isVisible());

    // On the disk at once, in the operator's set, and with the unit.
    QVERIFY(QFile::exists(CurrentParams().SettingsPath()));
    ParamSet onDisk;
    onDisk.LoadSettings();
    QCOMPARE(onDisk.Header.TraceSpacing, 3.5f);
    QCOMPARE(onDisk.Header.ChannelCount, 24);
    QCOMPARE(BackupParams().Header.TraceSpacing, 3.5f);
    QCOMPARE(BackupParams().Header.ChannelCount, 24);
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(BackupParams(), false));
    QCOMPARE(m_sim->Params().Channels, 24);
    QCOMPARE(ButtonText(screen, "btnShow3"), QStringLiteral("道距:3.5m"));

    // The next shot brings all 24 channels.
    QVERIFY(TakeShot(screen));
    QCOMPARE(ChannelsWithData(), 24);
}

// -------------------------------------------------------------- analysis

void TstScreensTogether::analysisHandsTheRecordBack_data()
{
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("shot, Esc") << false << true;
    QTest::newRow("shot, exit button") << false << false;
    QTest::newRow("record file, Esc") << true << true;
    QTest::newRow("record file, exit button") << true << false;
}

void TstScreensTogether::analysisHandsTheRecordBack()
{
    QFETCH(bool, fromFile);
    QFETCH(bool, byEscape);
    if (fromFile)
        WriteRecordOfProject(QStringLiteral("R01"), 5);
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    if (fromFile)
        QVERIFY(ReadRecord(screen, {"BTN_NAME1", "BTN_OK"}));
    else
        QVERIFY(TakeShot(screen));
    const ScreenState before = ScreenState::Of(screen);
    // Channels beyond the record's are empty: their lengths must come back too.
    QVERIFY(Store().Traces[kMaxChannels - 1].isEmpty() != fromFile);

    ModalDriver driver;
    driver.Expect([&](ModalDialog &a) {
        QVERIFY(qobject_cast<CDlgAnalysis *>(a.Widget()));
        QTest::keyClick(a.Widget(), Qt::Key_F, Qt::AltModifier);
        QVERIFY(!SameBits(Store().Traces, before.Traces)); // the filter did run
        if (byEscape)
            a.Key(Qt::Key_Escape);
        else
            QVERIFY(a.Click(QStringLiteral("btnExit")));
    });
    driver.Expect([](ModalDialog &f) {
        QVERIFY(qobject_cast<CDlgSetFilt *>(f.Widget()));
        QVERIFY(f.Click(QStringLiteral("btnColor1")));
        QVERIFY(f.Click(QStringLiteral("btnOK")));
    });
    driver.Expect(Keypad(QStringLiteral("低通(Hz):"), QStringLiteral("30")));
    QTest::keyClick(&screen, Qt::Key_A, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    const ScreenState after = ScreenState::Of(screen);
    QVERIFY(SameBits(after.Traces, before.Traces));
    QCOMPARE(after.AcqState, before.AcqState);
    QCOMPARE(after.Commands, before.Commands);
    QCOMPARE(after.Fields, before.Fields);
}

void TstScreensTogether::dispersionFromTheAnalysisScreen()
{
    // The operator's spread: 24 channels, 2048 samples at 500 µs.
    CurrentParams().Header.ChannelCount = kMaxChannels;
    CurrentParams().Header.SampleLength = 2048;
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    QVERIFY(TakeShot(screen));
    const ScreenState before = ScreenState::Of(screen);
    const RecordHeader header = CurrentParams().Header;

    QWidget *analysis = nullptr;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &a) {
        analysis = a.Widget();
        QTest::keyClick(a.Widget(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(a.IsOpen()); // Esc there returns here
        QVERIFY(SameBits(Store().Traces, before.Traces));
        a.Key(Qt::Key_Escape);
    });
    driver.Expect([&](ModalDialog &x) {
        auto *dispersion = qobject_cast<CDlgDispersion *>(x.Widget());
        QVERIFY(dispersion);
        QCOMPARE(x.Widget()->parentWidget(), analysis);
        const DispersionImage &image = dispersion->Image();
        QCOMPARE(image.Result, int(DispersionOk));
        QCOMPARE(image.ChannelsUsed, kMaxChannels);
        QVERIFY(!image.Curve.empty());
        x.Key(Qt::Key_Escape);
    });
    QTest::keyClick(&screen, Qt::Key_A, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    QCOMPARE(driver.Answered(), 2);

    const ScreenState after = ScreenState::Of(screen);
    QVERIFY(SameBits(after.Traces, before.Traces));
    QCOMPARE(after.AcqState, before.AcqState);
    QCOMPARE(after.Commands, before.Commands);
    QCOMPARE(CurrentParams().Header.SampleLength, header.SampleLength);
    QCOMPARE(CurrentParams().Header.TraceSpacing, header.TraceSpacing);
}

// ------------------------------------------------------------ self-check

void TstScreensTogether::selfCheck_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("保存") << true;
    QTest::newRow("退出") << false;
}

void TstScreensTogether::selfCheck()
{
    QFETCH(bool, save);
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    const int channels = CurrentParams().Header.ChannelCount;
    const ScreenState before = ScreenState::Of(screen);
    const RecordHeader operatorHeader = CurrentParams().Header;

    QByteArray selfCheckFrame;
    TraceSet noise;
    ModalDriver driver;
    driver.Expect([&](ModalDialog &d) {
        auto *check = qobject_cast<CDlgAutoCheck *>(d.Widget());
        QVERIFY(check);
        const SelfCheckRound &round = check->Round();
        // A whole round taken, and none under way: what the dialog shows now is what Save keeps.
        QVERIFY(QTest::qWaitFor(
            [&] { return !round.IsRunning() && !round.Noise()[channels - 1].isEmpty(); }, ScaledTimeout(5000)));
        selfCheckFrame = m_sim->LastParaFrame();
        noise = round.Noise();
        QVERIFY(d.Click(save ? QStringLiteral("btnSave") : QStringLiteral("btnExit")));
    });
    QTest::keyClick(&screen, Qt::Key_C, Qt::AltModifier);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    // Self-check mode, 125 µs (code 250), 1024 samples, 72 dB in every
    // group, the 512 Hz filter.
    QCOMPARE(selfCheckFrame.size(), 25);
    QCOMPARE(int(selfCheckFrame[9]), 3);
    QCOMPARE(qFromLittleEndian<quint16>(selfCheckFrame.constData() + 5), quint16(250));
    QCOMPARE(qFromLittleEndian<quint16>(selfCheckFrame.constData() + 7), quint16(1024));
    QCOMPARE(selfCheckFrame.mid(17, 4), QByteArray(4, char(0x77)));
    QCOMPARE(selfCheckFrame.mid(21, 4), QByteArray(4, char(3)));

    // Either way the unit is back on the operator's parameters.
    QCOMPARE(m_sim->LastParaFrame(), SetParaFrame(BackupParams(), false));
    QCOMPARE(m_sim->LastParaFrame().at(9), char(operatorHeader.TriggerMethod));
    QCOMPARE(BackupParams().Header.SampleInterval, operatorHeader.SampleInterval);
    if (save) {
        QCOMPARE(Store().AcqState, int(AcqSelfCheckShown));
        for (int c = 0; c < channels; ++c)
            QVERIFY2(SameBits(Store().Traces[c], noise[c]), qPrintable(QString::number(c + 1)));
        QCOMPARE(Store().Traces[0].size(), 1024);
        // Shown, and saved, with the parameters it was taken with.
        QCOMPARE(CurrentParams().Header.SampleInterval, 125.0f);
        QCOMPARE(ButtonText(screen, "btnShow2"), QStringLiteral("T:125us"));
        QCOMPARE(EnabledCommands(screen), QStringLiteral("0111101111"));
    } else {
        const ScreenState after = ScreenState::Of(screen);
        QVERIFY(SameBits(after.Traces, before.Traces));
        QCOMPARE(after.AcqState, before.AcqState);
        QCOMPARE(after.Commands, before.Commands);
        QCOMPARE(after.Fields, before.Fields);
        const RecordHeader &h = CurrentParams().Header;
        QCOMPARE(h.SampleInterval, operatorHeader.SampleInterval);
        QCOMPARE(h.SampleLength, operatorHeader.SampleLength);
        QCOMPARE(h.Filter, operatorHeader.Filter);
        QCOMPARE(h.Delay, operatorHeader.Delay);
        QCOMPARE(CurrentParams().Gains, BackupParams().Gains);
    }
}

// ---------------------------------------------------------------- upload

void TstScreensTogether::normalUploadOfTheShotOnScreen()
{
    NormalUploadServer server;
    QVERIFY(server.Start());
    CurrentParams().ServerAddress = {127, 0, 0, 1};
    CurrentParams().ServerPort = server.Port();
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    QVERIFY(TakeShot(screen));
    const ScreenState before = ScreenState::Of(screen);

    ModalDriver driver;
    driver.Expect([](ModalDialog &c) {
        QCOMPARE(c.Title(), QStringLiteral("数据上传"));
        QVERIFY(c.Click(QStringLiteral("btnUpLoad1")));
    });
    driver.Expect([](ModalDialog &u) {
        QCOMPARE(u.Title(), QStringLiteral("数据上传"));
        QVERIFY(u.Click(QStringLiteral("btnIMNum")));
        QVERIFY(u.Click(QStringLiteral("btnSerialNum")));
        QVERIFY(u.Click(QStringLiteral("BtnOK")));
        // It closes itself once the server has taken the end frame.
        QVERIFY(QTest::qWaitFor([&] { return !u.IsOpen(); }, ScaledTimeout(30000)));
    });
    driver.Expect(Keypad(QStringLiteral("测试仪编号"), QStringLiteral("ZEB7")));
    driver.Expect(Keypad(QStringLiteral("流水号"), QStringLiteral("SN42")));
    QTest::mouseClick(FindButton(screen, "btnUpLoad"), Qt::LeftButton);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(server.Completed());
    const int channels = CurrentParams().Header.ChannelCount;
    QCOMPARE(server.ChannelCount(), channels);
    QCOMPARE(server.SampleLength(), CurrentParams().Header.SampleLength);
    for (int c = 0; c < channels; ++c)
        QVERIFY2(SameBits(server.Trace(c), Store().Traces[c]), qPrintable(QString::number(c + 1)));
    QCOMPARE(CurrentParams().UploadMode, 0);
    const ScreenState after = ScreenState::Of(screen);
    QVERIFY(SameBits(after.Traces, before.Traces));
    QCOMPARE(after.Commands, before.Commands);
}

void TstScreensTogether::witnessUploadAtTheGateway()
{
    WitnessUploadServer server;
    QVERIFY(server.Start());
    // The gateway of the interface that carries the local address, from the
    // (fake) routing table: the test server's address. The port is the
    // parameter set's.
    (*m_platform)->SetInterfaceAddresses({{QStringLiteral("eth0"), {QStringLiteral("10.1.2.3")}}});
    (*m_platform)->SetRoutingTable(
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0100007F\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
    QVERIFY(CurrentParams().WitnessGateway.isEmpty());
    CurrentParams().WitnessPort = server.Port();
    m_screen = OpenScreen();
    QVERIFY(m_screen);
    CDlgMain &screen = *m_screen;
    QVERIFY(TakeShot(screen));
    const ScreenState before = ScreenState::Of(screen);

    ModalDriver driver;
    driver.Expect([](ModalDialog &c) { QVERIFY(c.Click(QStringLiteral("btnUpLoad2"))); });
    driver.Expect([](ModalDialog &w) {
        QCOMPARE(w.Title(), QStringLiteral("上传设置"));
        auto *dialog = qobject_cast<CDlgAssitantLoad *>(w.Widget());
        QVERIFY(dialog);
        QVERIFY(w.Click(QStringLiteral("btnSerialNum")));
        QVERIFY(w.Click(QStringLiteral("btnLink")));
        QVERIFY(QTest::qWaitFor([&] { return w.Text(QStringLiteral("labelPrompt")) == QUpLoadCtrl::DoneText(); },
                                ScaledTimeout(20000)));
        QVERIFY(QTest::qWaitFor([&] { return !dialog->IsRunning(); }, ScaledTimeout(5000)));
        QVERIFY(w.Click(QStringLiteral("btnQuit")));
    });
    driver.Expect(Keypad(QStringLiteral("流水号"), QStringLiteral("SN42")));
    QTest::mouseClick(FindButton(screen, "btnUpLoad"), Qt::LeftButton);
    QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));

    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(server.Completed());
    const int channels = CurrentParams().Header.ChannelCount;
    QCOMPARE(server.ChannelCount(), channels);
    for (int c = 0; c < channels; ++c)
        QVERIFY2(SameBits(server.Trace(c), Store().Traces[c]), qPrintable(QString::number(c + 1)));
    QCOMPARE(CurrentParams().UploadMode, 1);
    const ScreenState after = ScreenState::Of(screen);
    QVERIFY(SameBits(after.Traces, before.Traces));
    QCOMPARE(after.Commands, before.Commands);
}

QTEST_MAIN(TstScreensTogether)
#include "tst_screens_together.moc"
