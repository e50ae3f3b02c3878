#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "params/TextCodec.h"
#include "platform/Wait.h"
#include "support/FakePlatform.h"
#include "support/TestProgramDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

namespace {

// Builds the expected settings bytes by hand (Qt 4.0 stream rules), so the
// tests do not trust the code under test to define the format.
class Bytes
{
public:
    Bytes &text(const QString &s)
    {
        if (s.isNull())
            return u32(0xFFFFFFFFu);
        u32(quint32(s.size() * 2));
        for (QChar c : s)
            u16(c.unicode());
        return *this;
    }
    Bytes &i32(qint32 v) { return u32(quint32(v)); }
    Bytes &u32(quint32 v)
    {
        char b[4];
        qToBigEndian(v, b);
        m_data.append(b, 4);
        return *this;
    }
    Bytes &u16(quint16 v)
    {
        char b[2];
        qToBigEndian(v, b);
        m_data.append(b, 2);
        return *this;
    }
    Bytes &f32(float f)
    {
        quint32 v;
        memcpy(&v, &f, 4);
        return u32(v);
    }
    Bytes &u8(quint8 v)
    {
        m_data.append(char(v));
        return *this;
    }
    Bytes &colour(int r, int g, int b)
    {
        // spec Rgb (1), alpha, red, green, blue as 16-bit, then a 16-bit pad
        return u8(1).u16(0xFFFF).u16(quint16(r * 0x101)).u16(quint16(g * 0x101)).u16(quint16(b * 0x101)).u16(0);
    }
    QByteArray data() const { return m_data; }

private:
    QByteArray m_data;
};

struct Sample
{
    QString project = QStringLiteral("工程A");
    QString unit = QStringLiteral("单位");
    QString tester = QStringLiteral("张三");
    QString profile = QStringLiteral("P-07");
    int method = 3, channels = 24;
    float interval = 62.5f;
    int length = 4096, order = 2;
    float spacing = 1.5f, offset = 12.5f, delay = 20.0f, filter = 1024.0f;
    int trigMethod = 0, trigLevel = 2;
    int gains[24];
    int sensorType = 0, metering = 0, setting = 1;
    float sens[24];
    int theme = 1;
    bool meteringOn = true;
    QString instNo = QStringLiteral("INST-9"), serial = QString(), upProfile = QStringLiteral("剖面1");
    float lon = 100.25f, lat = -12.5f;
    int port = 6001;
    qint8 addr[4] = {127, 0, 0, -2};

    Sample()
    {
        for (int i = 0; i < 24; ++i) {
            gains[i] = (i / 6) * 12 + 12;
            sens[i] = 0.5f + i;
        }
    }

    QByteArray file(const QString &tag = QStringLiteral("1.0.10720")) const
    {
        Bytes b;
        b.text(tag).text(project).text(unit).text(tester).text(profile);
        b.i32(method).i32(channels).f32(interval).i32(length).i32(order);
        b.f32(spacing).f32(offset).f32(delay).f32(filter).i32(trigMethod).i32(trigLevel);
        b.colour(10, 20, 30).colour(40, 50, 60).colour(70, 80, 90);
        for (int g : gains)
            b.i32(g);
        b.i32(sensorType).i32(metering).i32(setting);
        for (float f : sens)
            b.f32(f);
        b.i32(theme).u8(meteringOn ? 1 : 0);
        b.text(instNo).text(serial).text(upProfile);
        b.f32(lon).f32(lat).i32(port);
        for (qint8 a : addr)
            b.u8(quint8(a));
        return b.data();
    }

    void apply(ParamSet &p) const
    {
        auto &h = p.Header;
        h.ProjectName = project;
        h.TestUnit = unit;
        h.Tester = tester;
        h.ProfileNumber = profile;
        h.SurveyMethod = method;
        h.ChannelCount = channels;
        h.SampleInterval = interval;
        h.SampleLength = length;
        h.TraceOrder = order;
        h.TraceSpacing = spacing;
        h.Offset = offset;
        h.Delay = delay;
        h.Filter = filter;
        h.TriggerMethod = trigMethod;
        h.TriggerLevel = trigLevel;
        p.Colours.Background = QColor(10, 20, 30);
        p.Colours.Baseline = QColor(40, 50, 60);
        p.Colours.Fill = QColor(70, 80, 90);
        std::copy(std::begin(gains), std::end(gains), p.Gains.begin());
        p.Sensor.SensorType = sensorType;
        p.Sensor.MeteringSignal = metering;
        p.Sensor.SettingMethod = setting;
        std::copy(std::begin(sens), std::end(sens), p.Sensor.Sensitivity.begin());
        p.ColourTheme = theme;
        p.MeteringOn = meteringOn;
        p.InstrumentNumber = instNo;
        p.SerialNumber = serial;
        p.UploadProfileNumber = upProfile;
        p.Longitude = lon;
        p.Latitude = lat;
        p.ServerPort = port;
        std::copy(std::begin(addr), std::end(addr), p.ServerAddress.begin());
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Compares every saved field of two sets.
void compareSaved(const ParamSet &a, const ParamSet &b)
{
    QCOMPARE(a.Header.ProjectName, b.Header.ProjectName);
    QCOMPARE(a.Header.TestUnit, b.Header.TestUnit);
    QCOMPARE(a.Header.Tester, b.Header.Tester);
    QCOMPARE(a.Header.ProfileNumber, b.Header.ProfileNumber);
    QCOMPARE(a.Header.SurveyMethod, b.Header.SurveyMethod);
    QCOMPARE(a.Header.ChannelCount, b.Header.ChannelCount);
    QCOMPARE(a.Header.SampleInterval, b.Header.SampleInterval);
    QCOMPARE(a.Header.SampleLength, b.Header.SampleLength);
    QCOMPARE(a.Header.TraceOrder, b.Header.TraceOrder);
    QCOMPARE(a.Header.TraceSpacing, b.Header.TraceSpacing);
    QCOMPARE(a.Header.Offset, b.Header.Offset);
    QCOMPARE(a.Header.Delay, b.Header.Delay);
    QCOMPARE(a.Header.Filter, b.Header.Filter);
    QCOMPARE(a.Header.TriggerMethod, b.Header.TriggerMethod);
    QCOMPARE(a.Header.TriggerLevel, b.Header.TriggerLevel);
    QCOMPARE(a.Colours.Background, b.Colours.Background);
    QCOMPARE(a.Colours.Baseline, b.Colours.Baseline);
    QCOMPARE(a.Colours.Fill, b.Colours.Fill);
    QCOMPARE(a.Gains, b.Gains);
    QCOMPARE(a.Sensor.SensorType, b.Sensor.SensorType);
    QCOMPARE(a.Sensor.MeteringSignal, b.Sensor.MeteringSignal);
    QCOMPARE(a.Sensor.SettingMethod, b.Sensor.SettingMethod);
    QCOMPARE(a.Sensor.Sensitivity, b.Sensor.Sensitivity);
    QCOMPARE(a.ColourTheme, b.ColourTheme);
    QCOMPARE(a.MeteringOn, b.MeteringOn);
    QCOMPARE(a.InstrumentNumber, b.InstrumentNumber);
    QCOMPARE(a.SerialNumber, b.SerialNumber);
    QCOMPARE(a.UploadProfileNumber, b.UploadProfileNumber);
    QCOMPARE(a.Longitude, b.Longitude);
    QCOMPARE(a.Latitude, b.Latitude);
    QCOMPARE(a.ServerPort, b.ServerPort);
    QCOMPARE(a.ServerAddress, b.ServerAddress);
}

} // namespace

class TstParamSet : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAndMissingFile();
    void loadFillsEverySavedField();
    void saveWritesExactBytes();
    void saveEqualisesGainGroups();
    void loadEqualisesGainGroups();
    void foreignTagIsDiscarded();
    void damagedFileChangesNothing();
    void dateAndTimeAreNotStored();
    void outOfListValuesRoundTrip();
    void unwritableFileIsReported();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void damagedFileFallsBackToTheLastSave();
    void copyAcquisitionCopiesTheRecordBlocks();
    void resetWorkStateKeepsRecordBlocks();
    void recordTitle_data();
    void recordTitle();
    void byteSumIsUnsigned();
    void gb2312RoundTrip();
    void waitKeepsEventsFlowing();
};

void TstParamSet::defaultsAndMissingFile()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    QCOMPARE(p.LoadSettings(), 1);
    QCOMPARE(p.DataRoot, dir.path() + "/QDW-FILE");
    QVERIFY(QFileInfo(p.DataRoot).isDir());
    QVERIFY(!QFile::exists(dir.file("ZEB.ini")));

    QCOMPARE(p.Header.ChannelCount, 12);
    QCOMPARE(p.Header.SampleInterval, 500.0f);
    QCOMPARE(p.Header.ProjectName, QStringLiteral("QUARTZON"));
    QCOMPARE(p.Gains[0], 0);
    QCOMPARE(p.Gains[6], 24);
    QCOMPARE(p.Gains[12], 48);
    QCOMPARE(p.Gains[23], 60);
    QCOMPARE(p.LayoutSizes[3], 60);
    QCOMPARE(p.LayoutSizes[14], 24);
    QCOMPARE(p.Fonts[1].pointSize(), 26);
    QCOMPARE(p.Fonts[0].family(), QStringLiteral("yaheikr"));
    QCOMPARE(p.Colours.Fill, QColor(0, 0, 0));
    QCOMPARE(p.InstrumentPort, QStringLiteral("6543"));
}

void TstParamSet::loadFillsEverySavedField()
{
    TestProgramDir dir;
    const Sample s;
    writeFile(dir.file("ZEB.ini"), s.file());

    ParamSet &p = CurrentParams();
    QCOMPARE(p.LoadSettings(), 1);
    ParamSet expected;
    s.apply(expected);
    compareSaved(p, expected);
    QVERIFY(p.SerialNumber.isNull());
}

void TstParamSet::saveWritesExactBytes()
{
    TestProgramDir dir;
    const Sample s;
    ParamSet &p = CurrentParams();
    p.LoadSettings();
    s.apply(p);
    QCOMPARE(p.SaveSettings(), 1);
    const QByteArray written = readFile(dir.file("ZEB.ini"));
    const QByteArray expected = s.file();
    QCOMPARE(written.size(), expected.size());
    QCOMPARE(written.toHex(), expected.toHex());
}

void TstParamSet::saveEqualisesGainGroups()
{
    TestProgramDir dir;
    Sample s;
    ParamSet &p = CurrentParams();
    s.apply(p);
    p.Gains[1] = 72;  // group 1 disagrees with its first channel
    p.Gains[13] = 0;  // so does group 3
    p.SaveSettings();
    QCOMPARE(p.Gains[1], s.gains[0]);
    QCOMPARE(p.Gains[13], s.gains[12]);
    QCOMPARE(readFile(dir.file("ZEB.ini")).toHex(), s.file().toHex());
}

void TstParamSet::loadEqualisesGainGroups()
{
    // The unit is programmed with channels 1, 7, 13 and 19; a file whose
    // groups disagree must not leave the other channels converted with their own gains.
    TestProgramDir dir;
    Sample s;
    s.gains[1] = 72;
    s.gains[17] = 0;
    const QByteArray bytes = s.file();
    writeFile(dir.file("ZEB.ini"), bytes);
    ParamSet &p = CurrentParams();
    QCOMPARE(p.LoadSettings(), 1);
    for (int ch = 0; ch < kMaxChannels; ++ch)
        QCOMPARE(p.Gains[ch], s.gains[ch - ch % kGainGroupSize]);
    QCOMPARE(readFile(dir.file("ZEB.ini")), bytes); // loading writes nothing
}

void TstParamSet::foreignTagIsDiscarded()
{
    TestProgramDir dir;
    Sample s;
    writeFile(dir.file("ZEB.ini"), s.file(QStringLiteral("1.0.10719")));
    ParamSet &p = CurrentParams();
    p.ColourTheme = 0;
    QCOMPARE(p.LoadSettings(), -1);
    QVERIFY(!QFile::exists(dir.file("ZEB.ini")));
    compareSaved(p, ParamSet()); // nothing was taken from the file
    QCOMPARE(p.SaveSettings(), 1);
    QCOMPARE(readFile(dir.file("ZEB.ini")).left(22), Bytes().text(QStringLiteral("1.0.10720")).data());
    ResetParamSets();
    QCOMPARE(CurrentParams().LoadSettings(), 1);
}

void TstParamSet::damagedFileChangesNothing()
{
    TestProgramDir dir;
    const QByteArray full = Sample().file();
    // Every cut short of the whole file leaves the defaults and drops the file.
    for (int cut = 0; cut < full.size(); ++cut) {
        ResetParamSets();
        writeFile(dir.file("ZEB.ini"), full.left(cut));
        ParamSet &p = CurrentParams();
        const int r = p.LoadSettings();
        if (r != -1)
            QFAIL(qPrintable(QStringLiteral("cut at %1 of %2 was accepted").arg(cut).arg(full.size())));
        compareSaved(p, ParamSet());
        QVERIFY(!QFile::exists(dir.file("ZEB.ini")));
    }
    // A text whose length runs far past the end of the file.
    QByteArray bogus = Bytes().text(QStringLiteral("1.0.10720")).u32(0x7FFFFFF0u).data();
    writeFile(dir.file("ZEB.ini"), bogus);
    QCOMPARE(CurrentParams().LoadSettings(), -1);
    // Bytes behind a complete file are never read and do no harm.
    writeFile(dir.file("ZEB.ini"), full + QByteArray(17, '\xAB'));
    QCOMPARE(CurrentParams().LoadSettings(), 1);
}

void TstParamSet::dateAndTimeAreNotStored()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    const QString date = p.Header.Date, time = p.Header.Time;
    QVERIFY(!date.isEmpty());
    p.Header.Date = QStringLiteral("1999-01-01");
    p.Header.Time = QStringLiteral("01:02:03");
    p.SaveSettings();
    const QByteArray bytes = readFile(dir.file("ZEB.ini"));
    QVERIFY(!bytes.contains(Bytes().text(QStringLiteral("1999-01-01")).data().mid(4)));

    ResetParamSets();
    ParamSet &q = CurrentParams();
    const QString builtDate = q.Header.Date, builtTime = q.Header.Time;
    QCOMPARE(q.LoadSettings(), 1);
    QCOMPARE(q.Header.Date, builtDate);
    QCOMPARE(q.Header.Time, builtTime);
}

void TstParamSet::outOfListValuesRoundTrip()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    p.Header.SampleInterval = 123.4f;
    p.Header.Filter = 5000.0f;
    p.Header.TriggerLevel = 7;
    p.Header.TriggerMethod = -3;
    p.Header.ChannelCount = 99;
    p.Header.SampleLength = -5;
    p.SaveSettings();
    ResetParamSets();
    ParamSet &q = CurrentParams();
    QCOMPARE(q.LoadSettings(), 1);
    QCOMPARE(q.Header.SampleInterval, 123.4f);
    QCOMPARE(q.Header.Filter, 5000.0f);
    QCOMPARE(q.Header.TriggerLevel, 7);
    QCOMPARE(q.Header.TriggerMethod, -3);
    QCOMPARE(q.Header.ChannelCount, 99);
    QCOMPARE(q.Header.SampleLength, -5);
    // What code may index with stays inside the channels and never negative.
    QCOMPARE(q.ChannelsInUse(), 24);
    QCOMPARE(q.SampleLengthInUse(), 0);
    q.Header.ChannelCount = -1;
    QCOMPARE(q.ChannelsInUse(), 0);
}

void TstParamSet::unwritableFileIsReported()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    // A directory in the way of the settings file: nothing can be written.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ZEB.ini")));
    QCOMPARE(p.SaveSettings(), kSettingsNotSaved);
    QCOMPARE(ParamSet::SaveResultText(kSettingsNotSaved), QStringLiteral("无法保存设置文件！"));
    QVERIFY(QFileInfo(dir.file("ZEB.ini")).isDir());
}

void TstParamSet::failedSaveKeepsTheOldFile_data()
{
    using Step = FakePlatform::FileStep;
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<int>("result");
    QTest::newRow("create") << int(Step::Create) << false << kSettingsNotSaved;
    QTest::newRow("write") << int(Step::Write) << false << kSettingsNotSaved;
    QTest::newRow("disk full") << int(Step::Write) << true << kSettingsDiskFull;
    QTest::newRow("flush") << int(Step::Sync) << false << kSettingsNotSaved;
    QTest::newRow("rename") << int(Step::Rename) << false << kSettingsNotSaved;
}

void TstParamSet::failedSaveKeepsTheOldFile()
{
    QFETCH(int, step);
    QFETCH(bool, diskFull);
    QFETCH(int, result);
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    QCOMPARE(p.SaveSettings(), 1);
    const QByteArray before = readFile(dir.file("ZEB.ini"));
    ScopedFakePlatform platform;
    platform->FailFileStep(FakePlatform::FileStep(step), 1, diskFull);
    p.Header.ProjectName = QStringLiteral("NEW");
    QCOMPARE(p.SaveSettings(), result);
    QCOMPARE(readFile(dir.file("ZEB.ini")), before);
    QCOMPARE(readFile(p.SettingsCopyPath()), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
    QCOMPARE(ParamSet::SaveResultText(result).contains(QStringLiteral("磁盘空间不足")), diskFull);
}

// A damaged file is put aside and the copy of the last good save loaded,
// the operator told so; without a copy the defaults stand.
void TstParamSet::damagedFileFallsBackToTheLastSave()
{
    TestProgramDir dir;
    Sample s;
    s.apply(CurrentParams());
    QCOMPARE(CurrentParams().SaveSettings(), 1);
    const ParamSet saved = CurrentParams();
    const QByteArray full = readFile(dir.file("ZEB.ini"));
    QCOMPARE(readFile(CurrentParams().SettingsCopyPath()), full);
    for (const int cut : {0, 3, 30, int(full.size()) / 2, int(full.size()) - 1}) {
        ResetParamSets();
        writeFile(dir.file("ZEB.ini"), full.left(cut));
        ParamSet &p = CurrentParams();
        QCOMPARE(p.LoadSettings(), kSettingsRestored);
        compareSaved(p, saved);
        QVERIFY(!QFile::exists(dir.file("ZEB.ini")));
        QCOMPARE(readFile(p.SetAsideSettingsPath()), full.left(cut));
    }
    QCOMPARE(ParamSet::LoadResultText(kSettingsRestored), QStringLiteral("设置文件已损坏，已恢复上次保存的设置"));
    // A damaged copy is no better than none.
    writeFile(CurrentParams().SettingsCopyPath(), full.left(40));
    writeFile(dir.file("ZEB.ini"), full.left(41));
    ResetParamSets();
    QCOMPARE(CurrentParams().LoadSettings(), -1);
    compareSaved(CurrentParams(), ParamSet());
    QVERIFY(!ParamSet::LoadResultText(-1).isEmpty());
    QVERIFY(ParamSet::LoadResultText(1).isEmpty());
}

void TstParamSet::copyAcquisitionCopiesTheRecordBlocks()
{
    ParamSet source, target;
    Sample().apply(source);
    source.Header.Date = QStringLiteral("2020-02-02");
    source.Header.Time = QStringLiteral("02:02:02");
    target.Header.Date = QStringLiteral("2021-01-01");
    target.Header.Time = QStringLiteral("01:01:01");
    ParamSet::CopyAcquisition(target, source);
    QCOMPARE(target.Header.ProjectName, source.Header.ProjectName);
    QCOMPARE(target.Header.TriggerLevel, source.Header.TriggerLevel);
    QCOMPARE(target.Header.Filter, source.Header.Filter);
    QCOMPARE(target.Colours.Baseline, source.Colours.Baseline);
    QCOMPARE(target.Gains, source.Gains);
    QCOMPARE(target.Sensor.Sensitivity, source.Sensor.Sensitivity);
    QCOMPARE(target.Sensor.SettingMethod, source.Sensor.SettingMethod);
    QCOMPARE(target.Header.Date, QStringLiteral("2021-01-01"));
    QCOMPARE(target.Header.Time, QStringLiteral("01:01:01"));
    // Not an acquisition block: stays.
    QCOMPARE(target.ColourTheme, 2);
    QCOMPARE(target.MeteringOn, false);
    QVERIFY(target.InstrumentNumber.isNull());
}

void TstParamSet::resetWorkStateKeepsRecordBlocks()
{
    TestProgramDir dir;
    ParamSet &p = CurrentParams();
    Sample().apply(p);
    p.CurrentChannel = 7;
    p.LowPassLimit = 50;
    p.BrowserPage = 4;
    p.CurrentRecordPath = QStringLiteral("/x/y.QDW");
    p.UploadMode = 1;
    p.LayoutSizes[3] = 1;
    Store().StackingOn = true;
    Store().StackCount = 5;
    Store().ChannelLocks[3] = true;
    Store().SelfCheckRunning = true;
    p.ResetWorkState();
    QCOMPARE(p.CurrentChannel, 1);
    QCOMPARE(p.LowPassLimit, 10000);
    QCOMPARE(p.BrowserPage, 1);
    QVERIFY(p.CurrentRecordPath.isEmpty());
    QCOMPARE(p.UploadMode, 0);
    QCOMPARE(p.LayoutSizes[3], 60);
    QCOMPARE(p.ColourTheme, 2);
    QVERIFY(!Store().StackingOn);
    QCOMPARE(Store().StackCount, 0);
    QVERIFY(!Store().ChannelLocks[3]);
    QVERIFY(!Store().SelfCheckRunning);
    ParamSet expected;
    Sample().apply(expected);
    expected.ColourTheme = 2;
    compareSaved(p, expected);
}

void TstParamSet::recordTitle_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plain") << "/d/QDW-FILE/A.PRO/REC1.QDW" << "REC1";
    QTest::newRow("first dot") << "/d/x.PRO/a.b.QDW" << "a";
    QTest::newRow("no folder") << "SHOT.QDW" << "SHOT";
    QTest::newRow("no dot") << "/d/SHOT" << "SHOT";
}

void TstParamSet::recordTitle()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    ParamSet p;
    p.CurrentRecordPath = path;
    QCOMPARE(p.RecordTitle(), title);
}

void TstParamSet::byteSumIsUnsigned()
{
    const char buf[] = {'\x01', '\xFF', '\x80', '\x7F', '\x10'};
    QCOMPARE(ByteSum(buf, 1, 3), quint32(0xFF + 0x80 + 0x7F));
    QCOMPARE(ByteSum(buf, 0, 0), quint32(0));
}

void TstParamSet::gb2312RoundTrip()
{
    const QString text = QStringLiteral("面波采集程序 ABC");
    const QByteArray bytes = ToGb2312(text);
    QCOMPARE(bytes.left(2), QByteArray("\xC3\xE6"));
    QCOMPARE(bytes.size(), 6 * 2 + 4);
    QCOMPARE(FromGb2312(bytes), text);
}

void TstParamSet::waitKeepsEventsFlowing()
{
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QElapsedTimer clock;
    clock.start();
    WaitMs(120);
    QVERIFY(clock.elapsed() >= 120);
    QVERIFY(ticks > 0);

    bool flag = false;
    QTimer::singleShot(20, [&] { flag = true; });
    QVERIFY(WaitUntil([&] { return flag; }, ScaledTimeout(5000)));
    QVERIFY(!WaitUntil([] { return false; }, 10));
}

QTEST_MAIN(TstParamSet)
#include "tst_paramset.moc"
