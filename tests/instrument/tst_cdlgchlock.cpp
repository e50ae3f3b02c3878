// The channel lock dialog: arrow moves with their wrap-around, toggling by
// key and by touch, the colours, Esc and confirming.
#include "instrument/CDlgCHLock.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QPushButton>
#include <QtTest>

namespace {

QPushButton *channelButton(const CDlgCHLock &d, int channel)
{
    return d.findChild<QPushButton *>(QStringLiteral("btnCH%1").arg(channel));
}

QString colourOf(const QPushButton *b)
{
    const QString sheet = b->styleSheet();
    if (sheet.contains(QLatin1String("255, 0, 0")))
        return QStringLiteral("red");
    if (sheet.contains(QLatin1String("0, 255, 255")))
        return QStringLiteral("cyan");
    if (sheet.contains(QLatin1String("255, 255, 255")))
        return QStringLiteral("white");
    return sheet;
}

} // namespace

class TstCDlgCHLock : public QObject
{
    Q_OBJECT

private slots:
    void moves_data();
    void moves();
    void arrowsMoveTheWayTheButtonsSit_data();
    void arrowsMoveTheWayTheButtonsSit();
    void togglesColoursAndEscape();
    void twelveChannels();
};

void TstCDlgCHLock::moves_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("highlight");
    // The dialog opens with confirm highlighted (index = channel count).
    QTest::newRow("down from confirm to channel 1") << 24 << QList<int>{Qt::Key_Down} << 0;
    QTest::newRow("up from confirm to channel 24") << 24 << QList<int>{Qt::Key_Up} << 23;
    QTest::newRow("up from channel 1 wraps") << 24 << QList<int>{Qt::Key_Down, Qt::Key_Up} << 23;
    QTest::newRow("left wraps by the count") << 24 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Left} << 19;
    QTest::newRow("right a row down") << 24 << QList<int>{Qt::Key_Down, Qt::Key_Right} << 6;
    QTest::newRow("12: right from channel 10 wraps to 4")
        << 12 << QList<int>{Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Right} << 3;
    QTest::newRow("12: down from channel 12 to 1") << 12 << QList<int>{Qt::Key_Up, Qt::Key_Down} << 0;
}

void TstCDlgCHLock::moves()
{
    QFETCH(int, channels);
    QFETCH(QList<int>, keys);
    QFETCH(int, highlight);
    TestProgramDir dir;
    CurrentParams().Header.ChannelCount = channels;
    CDlgCHLock d;
    QCOMPARE(d.HighlightIndex(), channels);
    for (int key : keys)
        QTest::keyClick(&d, Qt::Key(key));
    QCOMPARE(d.HighlightIndex(), highlight);
    QCOMPARE(d.focusWidget(), channelButton(d, highlight + 1));
    QCOMPARE(colourOf(channelButton(d, highlight + 1)), QStringLiteral("cyan"));
    QCOMPARE(colourOf(d.findChild<QPushButton *>(QStringLiteral("btnOK"))), QStringLiteral("white"));
}

void TstCDlgCHLock::arrowsMoveTheWayTheButtonsSit_data()
{
    QTest::addColumn<int>("channels");
    QTest::newRow("24 channels") << 24;
    QTest::newRow("12 channels") << 12;
}

void TstCDlgCHLock::arrowsMoveTheWayTheButtonsSit()
{
    QFETCH(int, channels);
    TestProgramDir dir;
    CurrentParams().Header.ChannelCount = channels;
    CDlgCHLock d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const auto at = [&d](int index) { return channelButton(d, index + 1)->geometry().center(); };
    // Channels 1 to 6 run down the first column.
    QVERIFY(at(0).y() < at(1).y() && at(0).x() == at(5).x());
    // Every move that does not wrap lands on the neighbour the key points to:
    // ahead along the key's direction, not aside.
    const struct
    {
        Qt::Key key, back;
        int step;
        QPoint ahead;
    } moves[] = {{Qt::Key_Down, Qt::Key_Up, 1, {0, 1}},
                 {Qt::Key_Up, Qt::Key_Down, -1, {0, -1}},
                 {Qt::Key_Right, Qt::Key_Left, 6, {1, 0}},
                 {Qt::Key_Left, Qt::Key_Right, -6, {-1, 0}}};
    QTest::keyClick(&d, Qt::Key_Down); // from confirm to channel 1
    for (int from = 0; from < channels; ++from) {
        QCOMPARE(d.HighlightIndex(), from);
        for (const auto &m : moves) {
            const int to = from + m.step;
            if (to < 0 || to >= channels || (m.ahead.x() == 0 && to / 6 != from / 6))
                continue; // a wrap
            QTest::keyClick(&d, m.key);
            QCOMPARE(d.HighlightIndex(), to);
            QTest::keyClick(&d, m.back);
            const QPoint moved = at(to) - at(from);
            const int along = moved.x() * m.ahead.x() + moved.y() * m.ahead.y();
            const int aside = moved.x() * m.ahead.y() + moved.y() * m.ahead.x();
            QVERIFY2(along > 0 && aside == 0,
                     qPrintable(QStringLiteral("from channel %1 to %2").arg(from + 1).arg(to + 1)));
        }
        QTest::keyClick(&d, Qt::Key_Down);
    }
}

void TstCDlgCHLock::togglesColoursAndEscape()
{
    TestProgramDir dir;
    CurrentParams().Header.ChannelCount = 24;
    CDlgCHLock d;
    d.locks[4] = true;
    d.Refresh();
    d.show();
    QCOMPARE(colourOf(d.findChild<QPushButton *>(QStringLiteral("btnOK"))), QStringLiteral("cyan"));
    QCOMPARE(colourOf(channelButton(d, 5)), QStringLiteral("red"));
    QCOMPARE(colourOf(channelButton(d, 6)), QStringLiteral("white"));

    // A touch toggles and highlights; Enter toggles the focused channel.
    QTest::mouseClick(channelButton(d, 9), Qt::LeftButton);
    QVERIFY(d.locks[8]);
    QCOMPARE(d.HighlightIndex(), 8);
    QTest::keyClick(&d, Qt::Key_Down);
    QTest::keyClick(&d, Qt::Key_Return);
    QVERIFY(d.locks[9]);
    QTest::keyClick(&d, Qt::Key_Return);
    QVERIFY(!d.locks[9]);
    QCOMPARE(colourOf(channelButton(d, 10)), QStringLiteral("cyan"));

    // Esc unlocks everything and leaves the dialog open.
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(d.isVisible());
    for (bool locked : d.locks)
        QVERIFY(!locked);
    d.locks[0] = true;
    QTest::keyClick(&d, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.isVisible());
    QVERIFY(d.locks[0]);
}

void TstCDlgCHLock::twelveChannels()
{
    TestProgramDir dir;
    CurrentParams().Header.ChannelCount = 12;
    CDlgCHLock d;
    QCOMPARE(d.ItemCount(), 12);
    QVERIFY(!channelButton(d, 12)->isHidden());
    QVERIFY(channelButton(d, 13)->isHidden());
    QVERIFY(channelButton(d, 24)->isHidden());
    d.locks.fill(true);
    d.findChild<QPushButton *>(QStringLiteral("btnUnLockAll"))->click();
    for (bool locked : d.locks)
        QVERIFY(!locked); // all 24, not only the twelve shown
    QCOMPARE(d.result(), 0);
}

QTEST_MAIN(TstCDlgCHLock)
#include "tst_cdlgchlock.moc"
