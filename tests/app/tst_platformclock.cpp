#include "platform/Platform.h"

#include "support/FakePlatform.h"

#include <QtTest>

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
    QTest::addColumn<bool>("set");
    QTest::addColumn<QStringList>("commands");
    const QString hwclock = QStringLiteral("hwclock --systohc");
    QTest::newRow("earliest") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << 0 << true
                              << QStringList{"date -s 2000-01-01 00:00:00", hwclock};
    QTest::newRow("latest") << QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59)) << 0 << true
                            << QStringList{"date -s 2100-12-31 23:59:59", hwclock};
    QTest::newRow("date refused") << QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9)) << 1 << false
                                  << QStringList{"date -s 2024-02-29 13:05:09"};
    QTest::newRow("date cannot run") << QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9)) << -1 << false
                                     << QStringList{"date -s 2024-02-29 13:05:09"};
    QTest::newRow("before 2000") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << 0 << false << QStringList{};
    QTest::newRow("after 2100") << QDateTime(QDate(2101, 1, 1), QTime(0, 0)) << 0 << false << QStringList{};
    QTest::newRow("invalid") << QDateTime() << 0 << false << QStringList{};
}

void TestPlatformClock::setClock()
{
    QFETCH(QDateTime, when);
    QFETCH(int, dateExit);
    QFETCH(bool, set);
    QFETCH(QStringList, commands);
    ScopedFakePlatform fake;
    fake->SetExitCode(QStringLiteral("date"), dateExit);
    QCOMPARE(CurrentPlatform().SetClock(when), set);
    QCOMPARE(fake->CommandLines(), commands);
}

void TestPlatformClock::harmlessPlatformNeverSetsTheClock()
{
    SetPlatform(nullptr);
    QVERIFY(!CurrentPlatform().SetClock(QDateTime(QDate(2024, 1, 1), QTime(12, 0))));
}

QTEST_MAIN(TestPlatformClock)
#include "tst_platformclock.moc"
