#include "platform/Platform.h"

#include "support/FakePlatform.h"

#include <QtTest>

Q_DECLARE_METATYPE(ClockResult)

class TestPlatformClock : public QObject
{
    Q_OBJECT

private slots:
    void setClock_data();
    void setClock();
    void harmlessPlatformNeverSetsTheClock();

};

void TestPlatformClock::setClock_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<int>("dateExit");
    QTest::addColumn<int>("hwclockExit");
    QTest::addColumn<ClockResult>("result");
    QTest::addColumn<QStringList>("commands");
    const QString hwclock = QStringLiteral("hwclock --systohc");
    const QDateTime leapDay(QDate(2024, 2, 29), QTime(13, 5, 9));
    const QString date = QStringLiteral("date -s 2024-02-29 13:05:09");
    const auto set = ClockResult::Set;
    const auto failed = ClockResult::Failed;
    QTest::newRow("earliest") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << 0 << 0 << set
                              << QStringList{"date -s 2000-01-01 00:00:00", hwclock};
    QTest::newRow("latest") << QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59)) << 0 << 0 << set
                            << QStringList{"date -s 2100-12-31 23:59:59", hwclock};
    QTest::newRow("date refused") << leapDay << 1 << 0 << failed << QStringList{date};
    QTest::newRow("date cannot run") << leapDay << -1 << 0 << failed << QStringList{date};
    QTest::newRow("date timed out") << leapDay << kCommandTimedOut << 0 << failed << QStringList{date};
    // The system clock has the new time: not the same as nothing set.
    QTest::newRow("hwclock fails") << leapDay << 0 << 1 << ClockResult::HardwareClockFailed
                                   << QStringList{date, hwclock};
    QTest::newRow("hwclock timed out") << leapDay << 0 << kCommandTimedOut << ClockResult::HardwareClockFailed
                                       << QStringList{date, hwclock};
    QTest::newRow("before 2000") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << 0 << 0 << failed
                                 << QStringList{};
    QTest::newRow("after 2100") << QDateTime(QDate(2101, 1, 1), QTime(0, 0)) << 0 << 0 << failed << QStringList{};
    QTest::newRow("invalid") << QDateTime() << 0 << 0 << failed << QStringList{};
}

void TestPlatformClock::setClock()
{
    QFETCH(QDateTime, when);
    QFETCH(int, dateExit);
    QFETCH(int, hwclockExit);
    QFETCH(ClockResult, result);
    QFETCH(QStringList, commands);
    ScopedFakePlatform fake;
    fake->SetExitCode(QStringLiteral("date"), dateExit);
    fake->SetExitCode(QStringLiteral("hwclock"), hwclockExit);
    QCOMPARE(CurrentPlatform().SetClock(when), result);
    QCOMPARE(fake->CommandLines(), commands);
    for (const FakePlatform::Command &c : fake->Commands())
        QCOMPARE(c.TimeoutMs, 10000); // ten seconds each
}

void TestPlatformClock::harmlessPlatformNeverSetsTheClock()
{
    SetPlatform(nullptr);
    QCOMPARE(CurrentPlatform().SetClock(QDateTime(QDate(2024, 1, 1), QTime(12, 0))), ClockResult::Failed);
    QCOMPARE(CurrentPlatform().RunCommand(QStringLiteral("date"), {}, 10), -1);
}

QTEST_MAIN(TestPlatformClock)
#include "tst_platformclock.moc"
