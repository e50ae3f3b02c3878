// The check of every shot over many simulated shots: each fault the crew
// could plant (an open geophone, a phone on the plate, a reversed phone, a
// ground loop, a loose phone, two crossed cables) found on its own channel,
// and a good channel never blamed, also in the shots that catch a checker
// out: a strong arrival in the pre-trigger window, a far quiet channel, 12
// channels, a short record.
#include "QcShots.h"

#include <QtTest>

#include <map>
#include <random>

namespace {

enum class Kind { Dead, Clipped, Reversed, Hum, Noisy, Swapped };

/// The flags a planted fault must raise.
unsigned FlagsOf(const SensorFault &f)
{
    return (f.Dead ? QcDead : 0u) | (f.Overdrive > 0 ? QcClipped : 0u) | (f.Reversed ? QcReversed : 0u)
           | (f.HumMv > 0 ? QcHum : 0u) | (f.NoiseMv > 0 ? QcNoisy : 0u) | (f.SwapWith > 0 ? QcSwapped : 0u);
}

/// A fault the shot model plays at its weakest in the random set, so that a
/// pass means the stated thresholds hold with room.
SensorFault FaultOf(Kind k, std::mt19937 &g)
{
    SensorFault f;
    std::uniform_real_distribution<double> u(0.0, 1.0);
    switch (k) {
    case Kind::Dead: f.Dead = true; break;
    case Kind::Clipped: f.Overdrive = 1.2 + 2.8 * u(g); break;
    case Kind::Reversed: f.Reversed = true; break;
    case Kind::Hum: f.HumMv = 0.2 + 1.8 * u(g); break;          // ground noise is 0.08 mV
    case Kind::Noisy: f.NoiseMv = 0.5 + 2.5 * u(g); break;
    case Kind::Swapped: break;
    }
    return f;
}

struct Planted
{
    std::map<int, unsigned> Expected; ///< 1-based channel → flags it must carry
};

/// Plants 1–3 faults on distinct random channels of model (a swap takes two).
Planted PlantFaults(ShotModel &model, int channels, std::mt19937 &g)
{
    Planted p;
    std::uniform_int_distribution<int> kinds(0, 5), count(1, 3), channel(1, channels);
    const int n = count(g);
    for (int i = 0; i < n; ++i) {
        const Kind k = static_cast<Kind>(kinds(g));
        int a = channel(g);
        while (p.Expected.count(a))
            a = channel(g);
        if (k == Kind::Swapped) {
            int b = channel(g);
            while (b == a || p.Expected.count(b))
                b = channel(g);
            model.SwapChannels(a, b);
            p.Expected[a] = p.Expected[b] = QcSwapped;
            continue;
        }
        const SensorFault f = FaultOf(k, g);
        model.SetSensorFault(a, f);
        p.Expected[a] = FlagsOf(f);
    }
    return p;
}

/// A field shot with varied sampling, gains and spread.
UnitParams RandomParams(std::mt19937 &g)
{
    UnitParams p;
    p.Channels = std::uniform_int_distribution<int>(0, 3)(g) ? 24 : 12;
    const int lengths[] = {1024, 2048, 4096};
    const double intervals[] = {250.0, 500.0, 1000.0};
    p.SampleLength = lengths[std::uniform_int_distribution<int>(0, 2)(g)];
    p.IntervalUs = intervals[std::uniform_int_distribution<int>(0, 2)(g)];
    p.TriggerMethod = 1;
    for (int &gain : p.GroupGainDb)
        gain = 12 * std::uniform_int_distribution<int>(0, 3)(g);
    return p;
}

struct Tally
{
    int Shots = 0;
    int Planted = 0;
    int Found = 0;
    int CleanChannels = 0;
    int Blamed = 0;      ///< clean channels with any flag
    int ExtraFlags = 0;  ///< faulty channels with a flag beyond their fault
    int Railed = 0;      ///< channels the converter clipped without a planted fault
    QStringList Misses;
};

/// Railed channels count as planted clips: the shot model's own near phones
/// overdrive a high gain now and then, and that is a clip the crew must see.
void Judge(const QcReport &report, Planted planted, const std::vector<bool> &railed, int shot, Tally &t)
{
    ++t.Shots;
    for (int c = 1; c <= static_cast<int>(report.Channels.size()); ++c) {
        if (railed[c - 1]) {
            planted.Expected[c] |= QcClipped;
            ++t.Railed;
        }
        const unsigned got = report.Channels[c - 1].Flags;
        const auto it = planted.Expected.find(c);
        if (it == planted.Expected.end()) {
            ++t.CleanChannels;
            if (got) {
                ++t.Blamed;
                t.Misses << QStringLiteral("shot %1 ch %2 clean but %3").arg(shot).arg(c).arg(QcFlagNames(got));
            }
            continue;
        }
        ++t.Planted;
        if ((got & it->second) == it->second)
            ++t.Found;
        else
            t.Misses << QStringLiteral("shot %1 ch %2 %3 missed (got '%4')")
                            .arg(shot).arg(c).arg(QcFlagNames(it->second), QcFlagNames(got));
        if (got & ~it->second) {
            ++t.ExtraFlags;
            t.Misses << QStringLiteral("shot %1 ch %2 %3 also %4")
                            .arg(shot).arg(c).arg(QcFlagNames(it->second), QcFlagNames(got & ~it->second));
        }
    }
}

constexpr int kShotsEach = 200;

} // namespace

class TestShotQuality : public QObject
{
    Q_OBJECT

private slots:
    void plantedFaultsFoundCleanChannelsLeft();
    void hardShots_data();
    void hardShots();
    void flagNames();
};

// 200 shots with planted faults and 200 clean ones, seeds fixed: every fault on
// its channel, no flag anywhere else.
void TestShotQuality::plantedFaultsFoundCleanChannelsLeft()
{
    std::mt19937 g(20250611);
    Tally faulty, clean;
    for (int shot = 0; shot < 2 * kShotsEach; ++shot) {
        const bool withFaults = shot < kShotsEach;
        ShotModel model(7000 + shot);
        const double offset = std::uniform_real_distribution<double>(2.0, 12.0)(g);
        const double spacing = std::uniform_real_distribution<double>(1.0, 3.0)(g);
        model.SetGeometry(offset, spacing);
        const UnitParams params = RandomParams(g);
        const Planted planted = withFaults ? PlantFaults(model, params.Channels, g) : Planted{};
        std::vector<bool> railed;
        const QcReport report = CheckShotQuality(QcShotOfModel(model, params, shot, spacing, &railed));
        Judge(report, planted, railed, shot, withFaults ? faulty : clean);
    }
    qInfo("faulty shots: %d, faulty channels %d (of them railed %d), found %d, clean channels %d, "
          "blamed %d, extra flags %d",
          faulty.Shots, faulty.Planted, faulty.Railed, faulty.Found, faulty.CleanChannels, faulty.Blamed,
          faulty.ExtraFlags);
    qInfo("clean shots: %d, railed channels %d, found %d, clean channels %d, blamed %d", clean.Shots,
          clean.Planted, clean.Found, clean.CleanChannels, clean.Blamed);
    for (const QString &m : faulty.Misses + clean.Misses)
        qInfo("%s", qPrintable(m));
    for (const Tally *t : {&faulty, &clean}) {
        QCOMPARE(t->Found, t->Planted);
        QCOMPARE(t->Blamed, 0);
        QCOMPARE(t->ExtraFlags, 0);
    }
}

void TestShotQuality::hardShots_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("samples");
    QTest::addColumn<double>("offsetM");
    QTest::addColumn<double>("spacingM");
    QTest::addColumn<int>("gainDb");
    QTest::addColumn<QString>("faults"); // channel:kind,… (kinds as the flags are named)

    // The nearest phone half a metre from the plate: its arrival fills the
    // pre-trigger window whose mean is taken off, clipped and not.
    QTest::newRow("strong arrival at the trigger") << 24 << 2048 << 0.5 << 1.0 << 24 << "";
    QTest::newRow("strong arrival clipped") << 24 << 2048 << 0.5 << 1.0 << 24 << "1:clipped,2:clipped";
    // 100 m out at high gain the far channels carry little more than the
    // ground's noise: quieter than a dead channel's offset, but alive.
    QTest::newRow("quiet far channels") << 24 << 4096 << 30.0 << 3.0 << 60 << "";
    QTest::newRow("quiet far channel beside a dead one") << 24 << 4096 << 30.0 << 3.0 << 60 << "23:dead";
    QTest::newRow("12 channels") << 12 << 2048 << 4.0 << 2.0 << 24 << "3:reversed,7:hum,12:noisy";
    QTest::newRow("1024 samples") << 24 << 1024 << 4.0 << 2.0 << 24 << "5:hum,6:reversed,18:dead";
    QTest::newRow("adjacent swap at the end") << 24 << 2048 << 4.0 << 2.0 << 36 << "1:swapped2,2:swapped1";
    QTest::newRow("hum on a reversed phone") << 24 << 2048 << 4.0 << 2.0 << 36 << "9:reversed+hum";
}

void TestShotQuality::hardShots()
{
    QFETCH(int, channels);
    QFETCH(int, samples);
    QFETCH(double, offsetM);
    QFETCH(double, spacingM);
    QFETCH(int, gainDb);
    QFETCH(QString, faults);

    ShotModel model(41);
    model.SetGeometry(offsetM, spacingM);
    UnitParams params;
    params.Channels = channels;
    params.SampleLength = samples;
    params.IntervalUs = 500.0;
    params.TriggerMethod = 1;
    params.GroupGainDb = {{gainDb, gainDb, gainDb, gainDb}};

    std::map<int, unsigned> expected;
    for (const QString &item : faults.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int channel = item.section(QLatin1Char(':'), 0, 0).toInt();
        SensorFault f;
        for (const QString &kind : item.section(QLatin1Char(':'), 1).split(QLatin1Char('+'))) {
            if (kind == QLatin1String("dead"))
                f.Dead = true;
            else if (kind == QLatin1String("clipped"))
                f.Overdrive = 1.5;
            else if (kind == QLatin1String("reversed"))
                f.Reversed = true;
            else if (kind == QLatin1String("hum"))
                f.HumMv = 0.3;
            else if (kind == QLatin1String("noisy"))
                f.NoiseMv = 1.0;
            else if (kind.startsWith(QLatin1String("swapped")))
                f.SwapWith = kind.mid(7).toInt();
        }
        expected[channel] = FlagsOf(f);
        model.SetSensorFault(channel, f);
    }
    const QcReport report = CheckShotQuality(QcShotOfModel(model, params, 1, spacingM));
    QCOMPARE(static_cast<int>(report.Channels.size()), channels);
    for (int c = 1; c <= channels; ++c) {
        const unsigned want = expected.count(c) ? expected[c] : 0u;
        QVERIFY2(report.Channels[c - 1].Flags == want,
                 qPrintable(QStringLiteral("channel %1: '%2', expected '%3'")
                                .arg(c)
                                .arg(QcFlagNames(report.Channels[c - 1].Flags), QcFlagNames(want))));
    }
    QCOMPARE(report.FaultyCount(), static_cast<int>(expected.size()));
}

void TestShotQuality::flagNames()
{
    QCOMPARE(QcFlagNames(0), QString());
    QCOMPARE(QcFlagNames(QcNoisy | QcDead | QcHum), QStringLiteral("dead;hum;noisy"));
}

QTEST_GUILESS_MAIN(TestShotQuality)
#include "tst_shotquality.moc"
